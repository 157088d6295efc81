#pragma once

#include "ActivationPolicy.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWindow>

namespace rubbly {

// The "Dock icon" setting on Linux: whether our windows appear in the taskbar and pager. Windows are
// registered as they are created; hidden ones become tool windows, which taskbars leave out.
class TaskbarPolicy final : public QObject, public ActivationPolicy {
    Q_OBJECT
public:
    using QObject::QObject;

    void applyHideInDock(bool hideInDock) override;
    // Applies the current policy to `window` now and whenever it changes.
    void registerWindow(QWindow* window);

private:
    void apply(QWindow* window) const;

    QList<QPointer<QWindow>> m_windows;
    bool m_hide = true;
};

} // namespace rubbly
