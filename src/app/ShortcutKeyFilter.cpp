#include "ShortcutKeyFilter.h"

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

ShortcutKeyFilter::ShortcutKeyFilter(GlobalShortcutService& service, QObject* parent)
    : QObject(parent)
    , m_service(service)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

ShortcutKeyFilter::~ShortcutKeyFilter()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool ShortcutKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    const bool keyEvent = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (!keyEvent || !m_service.isStarted() || !isTheCombination(static_cast<QKeyEvent*>(event)))
        return QObject::eventFilter(watched, event);
    // Claim it before any widget's shortcut does, then swallow the press itself.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
        m_service.handleLocalPress();
    return true;
}

} // namespace rubbly
