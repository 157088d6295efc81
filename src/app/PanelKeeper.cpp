#include "PanelKeeper.h"

#include "PanelWindow.h"
#include "Scheduler.h"

#include <QPixmapCache>

#include <malloc.h>

namespace rubbly {

PanelKeeper::PanelKeeper(Scheduler& scheduler, Factory factory, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_releaseTimer(scheduler.createTimer(this))
{
    m_releaseTimer->setSingleShot(true);
    connect(m_releaseTimer, &Timer::timeout, this, &PanelKeeper::release);
}

PanelKeeper::~PanelKeeper() = default;

PanelWindow& PanelKeeper::window()
{
    if (m_window)
        return *m_window;
    m_window = m_factory();
    m_window->setLastAnchor(m_lastAnchor);
    connect(m_window.get(), &PanelWindow::opened, m_releaseTimer, &Timer::stop);
    connect(m_window.get(), &PanelWindow::closed, this, [this] { m_releaseTimer->start(kReleaseAfter); });
    Q_EMIT made(m_window.get());
    return *m_window;
}

void PanelKeeper::release()
{
    m_releaseTimer->stop();
    if (!m_window || m_window->isOpen() || m_window->mode() != PanelWindow::Mode::Popup)
        return;
    m_lastAnchor = m_window->lastAnchor();
    m_window.reset();
    // What the panel's pictures left in Qt's shared cache, and the heap pages its widgets used: the
    // tray program keeps one malloc arena, so trimming it gives them back to the system.
    QPixmapCache::clear();
    malloc_trim(0);
    Q_EMIT released();
}

} // namespace rubbly
