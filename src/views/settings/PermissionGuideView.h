#pragma once

#include <QWidget>

#include <functional>

namespace rubbly {

class Workspace;

// Shown in place of the Trash when it cannot be read: why, three steps, a button that opens where
// access is granted, and one that asks for a new attempt.
class PermissionGuideView final : public QWidget {
    Q_OBJECT
public:
    PermissionGuideView(Workspace& workspace, std::function<void()> onRefresh, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The system orange the guide and the permissions pane use.
QColor systemOrange();

} // namespace rubbly
