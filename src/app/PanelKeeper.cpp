#include "PanelKeeper.h"

#include "AppIdentity.h"
#include "MappedFiles.h"
#include "PanelWindow.h"
#include "Scheduler.h"

#include <QLoggingCategory>
#include <QPixmapCache>

#include <malloc.h>

namespace rubbly {

Q_LOGGING_CATEGORY(lcPanelMemory, RUBBLY_APP_ID ".Panel.Memory")

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
    // What the glyphs drawn so far needed from the font files: Qt keeps the glyphs themselves, so
    // drawing the same text again maps back only a few pages (a quarter of a MB for forty CJK
    // glyphs, against 2.4 MB the first time).
    connect(m_window.get(), &PanelWindow::idle, this, [] {
        qCDebug(lcPanelMemory) << "idle panel: gave back" << mappedfiles::dropPages(&mappedfiles::isFontFile)
                               << "KiB of font file pages";
    });
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
    // tray program keeps one malloc arena, so trimming it gives them back to the system. Then the
    // pages of files the panel's drawing ran through: the font files (Qt keeps the font engines,
    // and FreeType the files mapped, for the whole run) and the libraries' code and constants
    // (Qt's widgets, painting, SVG, FreeType, HarfBuzz). They are clean copies of the files, so
    // whatever the idle program still runs through comes back from the page cache at once.
    QPixmapCache::clear();
    malloc_trim(0);
    const long given = mappedfiles::dropPages(
        [](const QByteArray& path) { return mappedfiles::isFontFile(path) || mappedfiles::isSharedLibrary(path); });
    qCDebug(lcPanelMemory) << "panel let go: gave back" << given << "KiB of font and library pages";
    Q_EMIT released();
}

} // namespace rubbly
