// Interface timings and the helpers of bench/app-bench.
//   AppBench panel     in-process under X: the panel's open-to-paint time, cold and warm, the slim tab's
//                      open and expand-all times, and resident memory before and after the first open
//   AppBench watcher   a minimal StatusNotifierWatcher with a host, printing when an item registers and
//                      when its label first shows something other than the scanning ellipsis
//   AppBench list      in-process under X: the list of every entry, from opening it to the first rows
//                      painted, each keystroke of a search to the repaint of its matches, and resident
//                      memory with it open, after closing it and once the panel was let go
//   AppBench list-at-start  the list opened as soon as a fresh start lets it: to its first rows, and
//                      to every size in
//   AppBench seed N    stores a slim result of all 49 categories with N paths in all, as a scan would
// Run through bench/app-bench, which prepares a private HOME, X server and session bus.

#include "AllItemsView.h"
#include "BinwellApp.h"
#include "BinwellViewModel.h"
#include "DesktopWorkspace.h"
#include "DiskSlimView.h"
#include "JsonFileDefaultsStore.h"
#include "MenuBarView.h"
#include "Motion.h"
#include "PanelKeeper.h"
#include "PanelWindow.h"
#include "Scheduler.h"
#include "SlimViewModel.h"
#include "StoredRecords.h"
#include "TrashEntryFilterModel.h"
#include "TrashTabViews.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace rubbly;

namespace {

// A line of /proc/self/status in KiB: VmRSS (all resident memory), RssAnon (the heap and other
// private memory) or RssFile (mapped files: libraries, fonts).
long statusKiB(const QByteArray& field = "VmRSS")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

long residentKiB()
{
    return statusKiB();
}

// The mapped files holding the most resident memory, "name KiB, ...": where the file-backed part is.
QByteArray topFiles(int count = 6)
{
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QHash<QByteArray, long> perFile;
    QByteArray current;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 5 && fields[1].size() == 4 && fields[0].contains('-'))
            current = fields.value(5).startsWith('/') ? fields[5].mid(fields[5].lastIndexOf('/') + 1) : QByteArray();
        else if (!current.isEmpty() && line.startsWith("Rss:"))
            perFile[current] += fields.value(1).toLong();
    }
    QList<std::pair<long, QByteArray>> sorted;
    for (auto it = perFile.cbegin(); it != perFile.cend(); ++it)
        sorted.append({it.value(), it.key()});
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QByteArray result;
    for (qsizetype i = 0; i < std::min<qsizetype>(count, sorted.size()); ++i)
        result += (i ? ", " : "") + sorted[i].second + ' ' + QByteArray::number(qlonglong(sorted[i].first));
    return result;
}

// "N KiB (anonymous A, files F; malloc in use U, free F)": whether anonymous memory is live objects
// or what the allocator keeps of freed ones.
QByteArray resident()
{
    const struct mallinfo2 heap = mallinfo2();
    return QByteArray::number(qlonglong(statusKiB())) + " KiB (anonymous " +
           QByteArray::number(qlonglong(statusKiB("RssAnon"))) + ", files " +
           QByteArray::number(qlonglong(statusKiB("RssFile"))) + "; malloc in use " +
           QByteArray::number(qulonglong((heap.uordblks + heap.hblkhd) / 1024)) + ", free " +
           QByteArray::number(qulonglong(heap.fordblks / 1024)) + ")";
}

// CPU time of the whole process so far: what an open costs however loaded the machine is.
double cpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Runs the event loop until `done` (checked after each event) or `limitMs` have passed, sleeping
// between events as the tray's own loop does. processEvents() with a time limit never sleeps (it drops
// WaitForMoreEvents): looping on it kept a core busy that the threads being measured needed.
void waitUntil(const std::function<bool()>& done, qint64 limitMs)
{
    QTimer wake; // bounds the wait when no event comes
    wake.start(20);
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Milliseconds from `action` until the widget that `target` names after it (the last one a change
// repaints, e.g. the slim list made by opening its tab) has received its paint event. A paint pass
// goes from parents to children, so the last widget's paint ends the frame but for its own drawing.
class PaintClock final : public QObject {
public:
    double measure(const std::function<void()>& action, const std::function<QWidget*()>& target)
    {
        m_painted = false;
        m_timer.start();
        action();
        m_target = target();
        m_target->installEventFilter(this);
        waitUntil([this] { return m_painted; }, 60000);
        m_target->removeEventFilter(this);
        return m_elapsed;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_target && event->type() == QEvent::Paint && !m_painted) {
            m_elapsed = static_cast<double>(m_timer.nsecsElapsed()) / 1e6;
            m_painted = true;
        }
        return false;
    }

private:
    QWidget* m_target = nullptr;
    QElapsedTimer m_timer;
    bool m_painted = false;
    double m_elapsed = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

int panel()
{
    motion::setEnabled(true);
    BinwellApp app;
    // Let the first scan finish: the panel never waits for one, but a scan landing mid-measurement
    // would be counted as the panel's work.
    while (app.viewModel().state().kind() == BinwellState::Kind::Scanning)
        settle(50);
    settle(1500);
    PaintClock clock;
    // The empty button is the last widget of the trash tab to paint.
    const auto lastOfPanel = [&app] { return app.panelView()->findChild<TrashTabView*>()->emptyButton(); };
    const auto open = [&app] { app.panelWindow().open(QPoint(900, 10)); };
    const long before = residentKiB();
    const QByteArray beforeText = resident();
    // APPBENCH_FILES=1: which mapped files hold the file-backed part, before and with either tab.
    const bool files = qEnvironmentVariableIsSet("APPBENCH_FILES");
    QByteArrayList fileStages{files ? "before: " + topFiles() : QByteArray()};
    const double cold = clock.measure(open, lastOfPanel);
    settle(300);
    const QByteArray openTrash = resident();
    if (files)
        fileStages.append("trash tab: " + topFiles());
    // Left open: once it stops repainting, the font pages its glyphs needed go.
    settle(2500);
    const QByteArray openTrashIdle = resident();
    if (files)
        fileStages.append("trash tab, idle: " + topFiles());
    app.panel()->close();
    settle(300);
    const QByteArray after = resident();
    QList<double> warm;
    for (int i = 0; i < 10; ++i) {
        warm.append(clock.measure(open, lastOfPanel));
        settle(200);
        app.panel()->close();
        settle(200);
    }
    std::printf("panel: open to first paint cold %.1f ms, warm median %.1f ms (min %.1f, max %.1f) over 10\n", cold,
                median(warm), *std::min_element(warm.begin(), warm.end()), *std::max_element(warm.begin(), warm.end()));

    // The slim tab on the stored snapshot the script prepared.
    const int items = static_cast<int>(app.slimViewModel().diskSlimItems().size());
    qsizetype paths = 0;
    for (const DiskSlimItem& item : app.slimViewModel().diskSlimItems())
        paths += item.subItems.size();
    open();
    settle(300);
    MenuBarView* view = app.panelView();
    QList<double> opens;
    QList<double> expands;
    QByteArray openSlim;
    QByteArray openSlimIdle;
    for (int i = 0; i < 10; ++i) {
        view->selectTab(MenuBarTab::Trash);
        settle(200);
        const auto list = [view] { return view->findChild<DiskSlimView*>()->listCanvas(); };
        opens.append(clock.measure([&] { view->selectTab(MenuBarTab::Slim); }, list));
        settle(200);
        if (i == 0) {
            openSlim = resident(); // as a user first sees it, folded
            if (files)
                fileStages.append("slim tab: " + topFiles());
            settle(2500);
            openSlimIdle = resident();
        }
        expands.append(clock.measure(
            [&] {
                for (const DiskSlimItem& item : app.slimViewModel().diskSlimItems())
                    view->findChild<DiskSlimView*>()->setExpanded(item.category, true);
            },
            list));
        settle(200);
    }
    std::printf("slim: %d categories, %lld paths; opening the tab %.1f ms, expanding every category %.1f ms "
                "(medians of 10)\n",
                items, static_cast<long long>(paths), median(opens), median(expands));
    const QByteArray openSlimExpanded = resident();
    app.panel()->close();
    settle(300);
    const QByteArray closed = resident();

    // Left closed: the panel is let go after its delay, on the real clock.
    const auto released = [&app] { return app.panel() == nullptr; };
    QElapsedTimer waited;
    waited.start();
    while (!released() && waited.elapsed() < 40000)
        settle(500);
    settle(500);
    const long afterRelease = residentKiB();
    const QByteArray afterReleaseText = resident();
    if (files)
        fileStages.append("let go: " + topFiles());
    QList<double> reopen;
    for (int i = 0; i < 10; ++i) {
        reopen.append(clock.measure(open, lastOfPanel));
        settle(200);
        app.panel()->close();
        settle(200);
        app.panelKeeper().release();
        settle(200);
    }
    std::printf("memory: resident before the first open %s\n", beforeText.constData());

    std::printf("memory: open on the trash tab %s just painted, %s idle; after closing it %s\n", openTrash.constData(),
                openTrashIdle.constData(), after.constData());
    std::printf("memory: open on the slim tab %s just painted, %s idle; every category unfolded %s, after closing it "
                "%s\n",
                openSlim.constData(), openSlimIdle.constData(), openSlimExpanded.constData(), closed.constData());
    std::printf("release: %s %lld s after closing; resident %s, %+ld KiB against before the first open; "
                "reopening from there: first paint median %.1f ms (max %.1f) over 10\n",
                released() ? "let go" : "NOT let go", static_cast<long long>(PanelKeeper::kReleaseAfter.count()),
                afterReleaseText.constData(), afterRelease - before, median(reopen),
                *std::max_element(reopen.begin(), reopen.end()));
    for (const QByteArray& stage : fileStages) {
        if (!stage.isEmpty())
            std::printf("memory: files, KiB, %s\n", stage.constData());
    }
    return 0;
}

// Milliseconds from `action` to the end of the first paint of `list`'s rows that shows `ready()`.
// With `since`, from when that timer started instead.
double untilRowsPainted(QListView* list, const std::function<void()>& action, const std::function<bool()>& ready,
                        const QElapsedTimer* since = nullptr)
{
    struct Filter final : QObject {
        std::function<bool()> ready;
        const QElapsedTimer* since = nullptr;
        QElapsedTimer timer;
        double elapsed = -1;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && elapsed < 0 && ready())
                elapsed = static_cast<double>((since ? since : &timer)->nsecsElapsed()) / 1e6;
            return false;
        }
    } filter;
    filter.ready = ready;
    filter.since = since;
    list->viewport()->installEventFilter(&filter);
    filter.timer.start();
    action();
    list->viewport()->update();
    waitUntil([&filter] { return filter.elapsed >= 0; }, 60000);
    list->viewport()->removeEventFilter(&filter);
    return filter.elapsed;
}

// Closes the list as a click on its back button would. Called from outside any event loop, a
// deleteLater() would wait for the end of the program; in the running tray the view, and with it the
// listing, go as soon as the click has been handled.
void closeList(TrashTabView* tab)
{
    tab->closeAllItems();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The list opened as soon as the tray can show it: right after the start's first scan, with
// whatever the start queued after it still running.
int listAtStart()
{
    motion::setEnabled(true);
    QElapsedTimer started;
    started.start();
    BinwellApp app;
    // Opened at once: the list reads beside the first scan and does not wait for it.
    app.panelWindow().open(QPoint(900, 10));
    QElapsedTimer opened;
    opened.start();
    const double cpuBefore = cpuMs();
    TrashTabView* tab = app.panelView()->findChild<TrashTabView*>();
    tab->openAllItems();
    QListView* view = tab->allItemsView()->listView();
    const auto nothing = [] {};
    const auto listed = [view] { return view->model()->rowCount() > 0; };
    const double first = untilRowsPainted(view, nothing, listed, &opened);
    const double cpu = cpuMs() - cpuBefore;
    waitUntil([&app] { return app.viewModel().state().kind() != BinwellState::Kind::Scanning; }, 600000);
    const double scanned = static_cast<double>(started.nsecsElapsed()) / 1e6;
    // And once every size is in (the same listing when no folder was left unmeasured).
    QElapsedTimer sized;
    sized.start();
    waitUntil([&app] { return app.viewModel().allEntries() && !app.viewModel().isListingAllEntries(); }, 600000);
    std::printf("list at start: list opened at start, first rows painted after %.1f ms (process CPU %.0f ms); "
                "first scan done %.0f ms after start; every size in %.1f ms after opening\n",
                first, cpu, scanned, first + static_cast<double>(sized.nsecsElapsed()) / 1e6);
    return 0;
}

int list()
{
    motion::setEnabled(true);
    BinwellApp app;
    while (app.viewModel().state().kind() == BinwellState::Kind::Scanning)
        settle(50);
    settle(1500);
    const long before = residentKiB();
    const QByteArray beforeText = resident();
    app.panelWindow().open(QPoint(900, 10));
    settle(500);
    const QByteArray panelOpen = resident();
    TrashTabView* tab = app.panelView()->findChild<TrashTabView*>();
    // Opening: the listing is asked for then, and the first rows wait for it.
    QList<double> opens;
    QList<double> openCpu;
    QByteArray listOpen;
    QByteArray listIdle;
    int entries = 0;
    for (int i = 0; i < 5; ++i) {
        closeList(tab);
        settle(300);
        QElapsedTimer opened;
        opened.start();
        const double cpuBefore = cpuMs();
        tab->openAllItems();
        QListView* view = tab->allItemsView()->listView();
        const auto nothing = [] {};
        const auto listed = [view] { return view->model()->rowCount() > 0; };
        opens.append(untilRowsPainted(view, nothing, listed, &opened));
        openCpu.append(cpuMs() - cpuBefore);
        if (i == 0) {
            listOpen = resident();
            settle(2500);
            listIdle = resident();
            entries = static_cast<int>(tab->allItemsView()->model()->entries()->size());
        }
    }
    // Once more after the Trash changed, as a put by any program changes it: one entry more, its
    // info file written first. The listing index no longer answers as a whole; what it knew of each
    // unchanged entry still may. The entry goes again at the end, so the next run starts as this one.
    double changedOpen = 0;
    double changedCurrent = 0;
    QByteArray changedResident;
    const QByteArray trash = qgetenv("XDG_DATA_HOME") + "/Trash";
    const QByteArray added = "bench-put-" + QByteArray::number(QCoreApplication::applicationPid()) + ".txt";
    {
        QFile info(QFile::decodeName(trash + "/info/" + added + ".trashinfo"));
        QFile data(QFile::decodeName(trash + "/files/" + added));
        if (!info.open(QIODevice::WriteOnly) || !data.open(QIODevice::WriteOnly))
            return 1;
        info.write("[Trash Info]\nPath=/home/bench/" + added + "\nDeletionDate=2026-12-02T10:00:00\n");
        data.write(QByteArray(4096, 'x'));
        closeList(tab);
        settle(300);
        QElapsedTimer opened;
        opened.start();
        tab->openAllItems();
        QListView* list = tab->allItemsView()->listView();
        const auto nothing = [] {};
        const auto hasRows = [list] { return list->model()->rowCount() > 0; };
        changedOpen = untilRowsPainted(list, nothing, hasRows, &opened);
        // What the last listing found is painted first; the current listing, which reads what
        // changed, replaces it.
        const auto current = [&app] {
            return app.viewModel().allEntries() && !app.viewModel().allEntries()->isEarlier() &&
                   !app.viewModel().isListingAllEntries();
        };
        changedCurrent = untilRowsPainted(list, nothing, current, &opened);
        changedResident = resident();
    }
    // Each keystroke of a search, then erasing it: to the repaint of its matches.
    AllItemsView* view = tab->allItemsView();
    QList<double> keys;
    QList<int> matches;
    const QString query = QStringLiteral("entry-4242");
    for (int round = 0; round < 3; ++round) {
        for (qsizetype i = 0; i < query.size() * 2; ++i) {
            const bool typing = i < query.size();
            keys.append(untilRowsPainted(
                view->listView(),
                [&] {
                    QKeyEvent key(QEvent::KeyPress, typing ? Qt::Key_unknown : Qt::Key_Backspace, Qt::NoModifier,
                                  typing ? QString(query[i]) : QString());
                    QCoreApplication::sendEvent(view->searchField(), &key);
                },
                [] { return true; }));
            if (round == 0 && typing)
                matches.append(view->model()->rowCount());
        }
    }
    view->setOrder(TrashListOrder::LargestFirst);
    const double reorder = untilRowsPainted(
        view->listView(), [view] { view->setOrder(TrashListOrder::NewestFirst); }, [] { return true; });
    const QByteArray typed = resident();
    closeList(tab);
    settle(500);
    const QByteArray closed = resident();
    app.panel()->close();
    QElapsedTimer waited;
    waited.start();
    while (app.panel() && waited.elapsed() < 40000)
        settle(500);
    settle(500);
    const long afterRelease = residentKiB();
    ::unlink((trash + "/files/" + added).constData());
    ::unlink((trash + "/info/" + added + ".trashinfo").constData());
    QStringList counts;
    for (const int count : matches)
        counts.append(QString::number(count));
    std::printf("list: %d entries; open to first rows painted: first %.1f ms, median %.1f ms (max %.1f) over %lld; "
                "process CPU median %.0f ms\n",
                entries, opens.first(), median(opens), *std::max_element(opens.begin(), opens.end()),
                static_cast<long long>(opens.size()), median(openCpu));
    std::printf("list: after one entry was put: first rows painted (the last listing's) %.1f ms, the current "
                "listing's %.1f ms after opening\n",
                changedOpen, changedCurrent);
    std::printf("list: keystroke to repaint: median %.2f ms, max %.2f ms over %lld keys (typing \"%s\" and erasing "
                "it; matches %s); order switch %.1f ms\n",
                median(keys), *std::max_element(keys.begin(), keys.end()), static_cast<long long>(keys.size()),
                qPrintable(query), qPrintable(counts.join(u' ')), reorder);
    std::printf("list memory: before the panel %s; panel open %s; list open %s just painted, %s idle, %s after "
                "searching; list closed %s; panel let go %s, %+ld KiB against before; with the current listing "
                "after the put %s; peak of the run %ld KiB\n",
                beforeText.constData(), panelOpen.constData(), listOpen.constData(), listIdle.constData(),
                typed.constData(), closed.constData(), resident().constData(), afterRelease - before,
                changedResident.constData(), statusKiB("VmHWM"));
    return 0;
}

// Just enough of a watcher for a host-less benchmark: takes registrations and says a host exists.
class Watcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ host)
    Q_PROPERTY(int ProtocolVersion READ version)
public:
    QStringList items() const { return m_items; }
    bool host() const { return true; }
    int version() const { return 0; }
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        m_items.append(service);
        QTextStream(stdout) << "registered " << QDateTime::currentMSecsSinceEpoch() << ' ' << service << Qt::endl;
        // The label may be in before the item registers: ask for it, without blocking the item's call.
        QDBusMessage get =
            QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("XAyatanaLabel");
        auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (reply.isValid())
                labelChanged(reply.value().variant().toString(), QString());
            call->deleteLater();
        });
    }
    // Prints the first label that is not the scanning ellipsis, once per registered item.
    void labelChanged(const QString& label, const QString&)
    {
        if (label.isEmpty() || label == QStringLiteral("…") || m_labelled == m_items.size())
            return;
        m_labelled = static_cast<int>(m_items.size());
        QTextStream(stdout) << "label " << QDateTime::currentMSecsSinceEpoch() << ' ' << label << Qt::endl;
    }
Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
    int m_labelled = 0;
};

int watcher()
{
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot own org.kde.StatusNotifierWatcher\n");
        return 1;
    }
    bus.connect(QString(), QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.kde.StatusNotifierItem"),
                QStringLiteral("XAyatanaNewLabel"), &watcher, SLOT(labelChanged(QString, QString)));
    QTextStream(stdout) << "ready" << Qt::endl;
    return QCoreApplication::exec();
}

int seed(int paths)
{
    JsonFileDefaultsStore defaults(JsonFileDefaultsStore::defaultFilePath());
    const Timestamp now = Scheduler::system()->now();
    DiskSlimSnapshot snapshot{now, {}};
    const int perCategory = std::max(1, paths / kDiskSlimCategoryCount);
    int made = 0;
    for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
        DiskSlimItem item{info.category, 0, 0, true, {}};
        const int count = info.category == diskSlimCatalogue().back().category ? paths - made : perCategory;
        for (int i = 0; i < count; ++i, ++made) {
            DiskSlimSubItem sub;
            sub.name = QStringLiteral("cache-folder-%1-with-a-longer-name").arg(i);
            sub.path = QByteArray("/home/bench/.cache/") + info.rowID + "/" + sub.name.toUtf8();
            sub.size = 1024 * (i + 1) * 37;
            sub.modificationDate = now - std::chrono::hours(i);
            item.size += sub.size;
            item.subItems.append(sub);
        }
        snapshot.items.append(item);
    }
    saveSlimSnapshot(defaults, snapshot);
    std::printf("stored %lld categories, %d paths\n", static_cast<long long>(snapshot.items.size()), made);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    // As the tray program does (main.cpp): one malloc arena for every thread.
    if (mode == "panel" || mode.startsWith("list"))
        mallopt(M_ARENA_MAX, 1);
    if (mode == "watcher") {
        QCoreApplication app(argc, argv);
        return watcher();
    }
    if (mode == "seed") {
        QCoreApplication app(argc, argv);
        return seed(argc > 2 ? std::atoi(argv[2]) : 2000);
    }
    if (mode == "panel") {
        QApplication app(argc, argv);
        return panel();
    }
    if (mode == "list") {
        QApplication app(argc, argv);
        return list();
    }
    if (mode == "list-at-start") {
        QApplication app(argc, argv);
        return listAtStart();
    }
    std::fprintf(stderr, "usage: AppBench panel | list | list-at-start | watcher | seed [PATHS]\n");
    return 2;
}

#include "AppBench.moc"
