#pragma once

#include "TrashAccess.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace rubbly {

class GeekText;
class PushButton;
class Workspace;

// What the guide and the Permissions pane say about the trash folders: the sentence for the first
// problem found (its path and owner in plain words) or that all is well, and the repair command to
// copy, empty when there is none.
struct TrashAccessText {
    QString sentence;
    QString command;
};
TrashAccessText trashAccessText(const std::optional<TrashAccessProblem>& problem, const QByteArray& home);

// The check's result on screen, shared by the guide and the pane: the sentence, the command in the
// panel's monospaced font, and the buttons that copy the command and open the folder. Checks again
// each time it is shown and when asked.
class TrashAccessReport final : public QObject {
    Q_OBJECT
public:
    TrashAccessReport(Workspace& workspace, GeekText* sentence, GeekText* command, PushButton* copy,
                      PushButton* openFolder, QObject* parent);
    void check();
    const std::optional<TrashAccessProblem>& problem() const { return m_problem; }

Q_SIGNALS:
    void checked();

private:
    Workspace& m_workspace;
    GeekText* m_sentence;
    GeekText* m_command;
    PushButton* m_copy;
    PushButton* m_open;
    std::optional<TrashAccessProblem> m_problem;
};

// Shown in place of the Trash when it cannot be read: what is wrong with which folder, three steps, a
// button that copies the command that mends it, one that opens the folder, and one that checks again
// and asks for a new attempt. It never runs the command itself.
class PermissionGuideView final : public QWidget {
    Q_OBJECT
public:
    PermissionGuideView(Workspace& workspace, std::function<void()> onRefresh, QWidget* parent = nullptr);
    TrashAccessReport* report() const { return m_report; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent* event) override;

private:
    TrashAccessReport* m_report;
    QWidget* m_steps;
};

// The system orange the guide and the permissions pane use.
QColor systemOrange();

} // namespace rubbly
