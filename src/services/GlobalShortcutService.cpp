#include "GlobalShortcutService.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace rubbly {

namespace {
bool isTheCombination(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers required = Qt::AltModifier | Qt::ShiftModifier;
    return key->key() == Qt::Key_Backspace && (key->modifiers() & required) == required;
}
} // namespace

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

void GlobalShortcutService::start(std::function<void()> onTrigger)
{
    stop();
    m_onTrigger = std::move(onTrigger);
    m_started = true;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (m_grabber)
        m_grabber->start();
}

void GlobalShortcutService::stop()
{
    if (!m_started)
        return;
    m_started = false;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    if (m_grabber)
        m_grabber->stop();
}

KeyGrabber::Status GlobalShortcutService::status() const
{
    return m_grabber ? m_grabber->status() : KeyGrabber::Status::Unavailable;
}

bool GlobalShortcutService::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isTheCombination(key)) {
            // Claim it before any widget's shortcut does, then swallow the press itself.
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            if (!key->isAutoRepeat())
                fire();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void GlobalShortcutService::fire()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_onTrigger)
                m_onTrigger();
        },
        Qt::QueuedConnection);
}

} // namespace rubbly
