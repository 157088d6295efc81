#pragma once

#include "TrashAccess.h"

#include <QObject>
#include <QString>

#include <optional>

class QHBoxLayout;

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
// panel's monospaced font, and a row of buttons that copy the command, open the folder and check
// again. Checks again each time it is shown and when asked.
class TrashAccessReport final : public QObject {
    Q_OBJECT
public:
    TrashAccessReport(Workspace& workspace, GeekText* sentence, GeekText* command, QObject* parent);
    void check();
    const std::optional<TrashAccessProblem>& problem() const { return m_problem; }
    // The buttons, for the owner to place (adding the row to a layout gives them their parent).
    QHBoxLayout* buttonRow() const { return m_buttons; }
    PushButton* recheckButton() const { return m_recheck; }

Q_SIGNALS:
    void checked();

private:
    Workspace& m_workspace;
    GeekText* m_sentence;
    GeekText* m_command;
    QHBoxLayout* m_buttons;
    PushButton* m_copy;
    PushButton* m_open;
    PushButton* m_recheck;
    std::optional<TrashAccessProblem> m_problem;
};

} // namespace rubbly
