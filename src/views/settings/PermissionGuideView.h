#pragma once

#include "TrashAccessReport.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace rubbly {

class Workspace;

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
    bool m_allWell = false; // the last check found nothing to repair
};

} // namespace rubbly
