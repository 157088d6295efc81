#include "GlobalShortcutService.h"

namespace rubbly {

GlobalShortcutService::GlobalShortcutService(KeyGrabber* grabber, QObject* parent)
    : QObject(parent)
    , m_grabber(grabber)
{
    if (m_grabber) {
        connect(m_grabber, &KeyGrabber::activated, this, [this] {
            if (m_started)
                fire();
        });
        connect(m_grabber, &KeyGrabber::statusChanged, this, &GlobalShortcutService::statusChanged);
    }
}

GlobalShortcutService::~GlobalShortcutService()
{
    stop();
}

void GlobalShortcutService::start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_grabber)
        m_grabber->start();
}

void GlobalShortcutService::stop()
{
    if (!m_started)
        return;
    m_started = false;
    if (m_grabber)
        m_grabber->stop();
}

KeyGrabber::Status GlobalShortcutService::status() const
{
    return m_grabber ? m_grabber->status() : KeyGrabber::Status::Unavailable;
}

void GlobalShortcutService::handleLocalPress()
{
    if (m_started)
        fire();
}

void GlobalShortcutService::fire()
{
    // Queued: the trigger may open windows or start long work, which must not happen inside the
    // key handler that reported the press.
    QMetaObject::invokeMethod(this, &GlobalShortcutService::triggered, Qt::QueuedConnection);
}

} // namespace rubbly
