#include "TaskbarPolicy.h"

namespace rubbly {

void TaskbarPolicy::applyHideInDock(bool hideInDock)
{
    m_hide = hideInDock;
    m_windows.removeIf([](const QPointer<QWindow>& w) { return w.isNull(); });
    for (const QPointer<QWindow>& window : std::as_const(m_windows))
        apply(window);
}

void TaskbarPolicy::registerWindow(QWindow* window)
{
    if (!window || m_windows.contains(window))
        return;
    m_windows.append(window);
    apply(window);
}

void TaskbarPolicy::apply(QWindow* window) const
{
    // Qt::Tool windows are _NET_WM_WINDOW_TYPE_UTILITY on X11 and are left out of taskbars and
    // pagers by every common panel; Wayland shells treat them likewise.
    window->setFlag(Qt::Tool, m_hide);
}

} // namespace rubbly
