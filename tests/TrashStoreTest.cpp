#include "TrashStore.h"
#include "ProcessRunner.h"
#include "TestTime.h"
#include "TrashFixture.h"
#include "TrashInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

// The names in `path` as readdir gives them, or sorted.
QList<QByteArray> readdirOrder(const QByteArray& path, bool sorted = false)
{
    QList<QByteArray> names;
    for (const auto& entry : std::filesystem::directory_iterator(path.toStdString()))
        names.append(QByteArray::fromStdString(entry.path().filename().native()));
    if (sorted)
        std::sort(names.begin(), names.end());
    return names;
}

// Every entry as the full listing streams it, and the status it began with.
struct Listing {
    TrashStatus status;
    QList<TrashItemDetail> entries;
};
Listing listAll(TrashStore& store)
{
    // A failed listing streams nothing, which every comparison below then shows.
    Listing listing;
    (void)store.list(
        TrashEntryOrder::LargestFirst, [&](const TrashStatus& status) { listing.status = status; },
        [&](const TrashItemDetail& item) { listing.entries.append(item); });
    return listing;
}

// Dates the trash folder's files/ and info/ an hour back, as if nothing had changed there since.
void settle(TrashFixture& fx)
{
    const qint64 anHourAgo = QDateTime::currentSecsSinceEpoch() - 3600;
    TreeBuilder(fx.trashPath()).touch("files", anHourAgo).touch("info", anHourAgo);
}

} // namespace

// Fills a fixture's trash folders.
using Build = std::function<void(TrashFixture&)>;
Q_DECLARE_METATYPE(Build)

class TrashStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scanAgreesWithTheFullListing_data()
    {
        QTest::addColumn<Build>("build");
        QTest::newRow("more entries than the panel shows in two trash folders, sizes tied, hidden ones") << Build(
            [](TrashFixture& fx) {
                // Sizes and dates tie; "a" and "e" take no bytes.
                const QByteArrayList names{"a.txt", "b.mp4", "c.png", "d", "e.py", "f.zip", "g.pdf", "h.mp3", "i.txt"};
                for (int i = 0; i < names.size(); ++i)
                    fx.addFile(names[i], 4096 * (i % 4), "2026-03-0" + QByteArray::number(1 + i % 7) + "T10:00:00");
                // Hidden content is freed with its entry, so it counts; a dot entry is an entry like another.
                // Every folder's own blocks count, and an inode linked twice once.
                fx.files().file("project/src/main.c", 4096).file("project/.git/objects/big", 1 << 20);
                fx.files().hardLink("project/.git/objects/same", "project/.git/objects/big");
                fx.writeInfo("project", "/home/u/project", "2026-03-01T10:00:00");
                fx.addFile(".bashrc", 4096);
                TreeBuilder(fx.addVolume("vol")).file("files/volume-0", 4096).file("files/volume-1", 8192);
            });
        // A long listing reads its info files on two threads, each into a buffer of its own.
        QTest::newRow("more entries than one thread reads the info files of, in two trash folders")
            << Build([](TrashFixture& fx) {
                   TreeBuilder trashes[] = {TreeBuilder(fx.trashPath()), TreeBuilder(fx.addVolume("vol"))};
                   for (int i = 0; i < 2500; ++i) {
                       const QByteArray name = "e" + QByteArray::number(i);
                       const QByteArray date = QString::asprintf("2026-03-01T10:%02d:%02d", i / 60, i % 60).toLatin1();
                       trashes[i % 2].file("files/" + name, 1);
                       if (i % 7)
                           trashes[i % 2].write("info/" + name + ".trashinfo",
                                                "[Trash Info]\nPath=" + QByteArray(i % 2 ? "docs/" : "/home/u/") +
                                                    name + "\nDeletionDate=" + date + "\n");
                   }
               });
    }
    void scanAgreesWithTheFullListing()
    {
        // The status keeps the totals and the largest entries only; the listing streams every entry.
        // Both must say what a status holding every entry said.
        QFETCH(Build, build);
        TrashFixture fx;
        build(fx);
        // Reading only, the panel's first listing walks no folder and writes no directorysizes.
        TrashStore reader(fx.locations(), {}, kTestZone);
        const TrashEntryListResult known = reader.entryList(TrashListSizing::KnownOnly);
        QVERIFY(known && reader.walks() == 0 && !TreeBuilder::exists(fx.trashPath() + "/directorysizes"));
        const TrashStatusResult compact = TrashStore(fx.locations(), {}, kTestZone).scan();
        QVERIFY(compact);
        // The listing measures the folders itself.
        for (const TrashDirectory& folder : fx.locations().trashDirectories())
            QVERIFY(::unlink((folder.path + "/directorysizes").constData()) == 0 || errno == ENOENT);
        TrashStore lister(fx.locations(), {}, kTestZone);
        const Listing full = listAll(lister);
        QCOMPARE(full.status, *compact);

        // In listing order: trash folders in order, each as readdir lists it. Each entry comes with
        // what its own info file says, if it has one.
        QHash<QByteArray, TrashItemDetail> byPath;
        for (const TrashItemDetail& item : full.entries)
            byPath.insert(item.path, item);
        QList<TrashItemDetail> listed;
        qint64 total = 0;
        for (const TrashDirectory& folder : fx.locations().trashDirectories()) {
            for (const QByteArray& name : readdirOrder(folder.filesPath())) {
                const QByteArray path = folder.filesPath() + '/' + name;
                const TrashItemDetail item = byPath.value(path);
                const TrashInfo info =
                    TrashInfo::parse(TreeBuilder::read(folder.infoPath() + '/' + name + ".trashinfo"), kTestZone);
                const QByteArray top = folder.isHome ? QByteArray() : folder.topDir + '/';
                QVERIFY2(item.path == path && item.deletionDate == info.deletionDate, name.constData());
                QCOMPARE(item.originalPath, info.path ? std::optional(top + *info.path) : std::nullopt);
                QCOMPARE(item.size, TreeBuilder::diskUsage(path));
                // A folder entry's date comes from the walk that measured it.
                struct stat st = {};
                QVERIFY(::lstat(path.constData(), &st) == 0);
                QCOMPARE(item.modificationDate, std::optional(fromTimespec(st.st_mtim)));
                total += item.size;
                listed.append(item);
            }
        }
        QList<TrashItemDetail> largest = listed;
        std::stable_sort(largest.begin(), largest.end(), [](const auto& a, const auto& b) { return a.size > b.size; });
        QCOMPARE(full.entries, largest);
        QCOMPARE(compact->totalSize, total);
        QCOMPARE(compact->itemCount, static_cast<int>(listed.size()));
        QCOMPARE(compact->topItems, largest.first(std::min(largest.size(), TrashStatus::kTopItemLimit)));
        // Listed again, the folders' sizes come from directorysizes and their dates from a stat.
        QCOMPARE(listAll(lister).entries, full.entries);

        // The panel's listing holds the same entries in the same orders; the one that only read knew
        // the size of every entry but the folders.
        const TrashEntryListResult measured = lister.entryList(TrashListSizing::Measured);
        QVERIFY(measured && measured->size() == full.entries.size() && known->size() == full.entries.size());
        for (std::size_t i = 0; i < static_cast<std::size_t>(full.entries.size()); ++i) {
            const quint32 at = measured->ordered(TrashListOrder::LargestFirst)[i];
            const TrashItemDetail& item = full.entries[static_cast<qsizetype>(i)];
            QVERIFY2(measured->dataPath(at) == item.path && measured->entrySize(at) == item.size,
                     item.path.constData());
            QVERIFY(measured->originalPath(at) == item.originalPath && measured->deletionDate(at) == item.deletionDate);
            const quint32 k = known->ordered(TrashListOrder::NewestFirst)[i];
            const quint32 m = measured->ordered(TrashListOrder::NewestFirst)[i];
            QCOMPARE(known->dataPath(k), measured->dataPath(m));
            QCOMPARE(known->entrySize(k),
                     known->isDirectory(k) ? TrashEntryList::kUnknownSize : measured->entrySize(m));
        }
    }

    // The listing index answers a listing whole only while every trash folder is as it was stamped
    // (even with the folders' mtimes set back). After a change it still answers for each entry whose
    // info file is the one read then: only new or rewritten info files are read, and the listing is
    // what a fresh one finds. Another zone or a damaged file: everything is read.
    void theListingIndexAnswersForWhatIsUnchanged_data()
    {
        QTest::addColumn<Build>("change");
        QTest::addColumn<int>("reads");
        QTest::newRow("unchanged") << Build([](TrashFixture&) {}) << 0;
        QTest::newRow("an entry added") << Build([](TrashFixture& fx) {
            fx.addFile("new.txt", 10);
            settle(fx);
        }) << 1;
        // Past the few names looked for at the index's cursor: its table by name finds the rest.
        QTest::newRow("seventy entries added") << Build([](TrashFixture& fx) {
            for (int i = 0; i < 70; ++i)
                fx.addFile("new-" + QByteArray::number(i) + ".txt", 10);
            settle(fx);
        }) << 70;
        QTest::newRow("an entry added just now") << Build([](TrashFixture& fx) { fx.addFile("new.txt", 10); }) << 1;
        QTest::newRow("an info file replaced") << Build([](TrashFixture& fx) {
            const QByteArray info = fx.infoPath() + "/a.txt.trashinfo";
            TreeBuilder(fx.infoPath()).write(".swap", "[Trash Info]\nPath=/moved/a.txt\n");
            QVERIFY(::rename((fx.infoPath() + "/.swap").constData(), info.constData()) == 0);
            settle(fx);
        }) << 1;
        QTest::newRow("an info file written in place") << Build([](TrashFixture& fx) {
            const QByteArray path = fx.infoPath() + "/a.txt.trashinfo";
            struct stat before = {};
            QVERIFY(::stat(path.constData(), &before) == 0);
            QFile info(QFile::decodeName(path));
            QVERIFY(info.open(QIODevice::ReadWrite));
            const QByteArray moved = info.readAll().replace("2026-03-01", "2025-03-01");
            QVERIFY(info.seek(0) && info.write(moved) == moved.size());
            info.close();
            // The same inode and size: only the mtime tells, here a second on (a write within the
            // file system's clock tick of the first could leave it as it was).
            const timespec times[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
            QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
            settle(fx);
        }) << 1;
        QTest::newRow("put back and trashed anew") << Build([](TrashFixture& fx) {
            QVERIFY(::unlink((fx.infoPath() + "/a.txt.trashinfo").constData()) == 0 &&
                    ::unlink((fx.filesPath() + "/a.txt").constData()) == 0);
            fx.addFile("a.txt", 3 * 4096, "2026-04-01T10:00:00");
            settle(fx);
        }) << 1;
        QTest::newRow("the folder's line gone") << Build([](TrashFixture& fx) {
            QVERIFY(::unlink((fx.trashPath() + "/directorysizes").constData()) == 0);
            settle(fx);
        }) << 1;
        QTest::newRow("the index cut short") << Build([](TrashFixture& fx) {
            const QByteArray index = QFile::encodeName(fx.home().cacheHome()) + "/index";
            QVERIFY(::truncate(index.constData(), QFileInfo(QFile::decodeName(index)).size() - 3) == 0);
        }) << 2;
    }
    void theListingIndexAnswersForWhatIsUnchanged()
    {
        QFETCH(Build, change);
        QFETCH(int, reads);
        TrashFixture fx;
        fx.addFile("a.txt", 4096);
        fx.files().file("folder/inner", 8192);
        fx.writeInfo("folder", "/home/u/folder", "2026-03-02T10:00:00");
        settle(fx);
        const auto store = [&fx] {
            auto made = std::make_unique<TrashStore>(fx.locations(), WalkOptions{}, kTestZone);
            made->setListingIndexPath(QFile::encodeName(fx.home().cacheHome()) + "/index");
            return made;
        };
        // Reading alone knows no folder's size: only the measured listing is whole, and writes one.
        QVERIFY(store()->entryList(TrashListSizing::KnownOnly));
        QVERIFY(!TreeBuilder::exists(QFile::encodeName(fx.home().cacheHome()) + "/index"));
        QVERIFY(store()->entryList(TrashListSizing::Measured));
        change(fx);
        const auto reader = store();
        const TrashEntryListResult listed = reader->entryList(TrashListSizing::Measured);
        const TrashEntryListResult fresh =
            TrashStore(fx.locations(), {}, kTestZone).entryList(TrashListSizing::Measured);
        QVERIFY(listed && fresh);
        // The info files read for the entries: a new store also reads those of the largest few for
        // the status of a pass that listed.
        const auto entryReads = [&fresh](const TrashStore& store) {
            const auto top = std::min<qsizetype>(fresh->size(), TrashStatus::kTopItemLimit);
            return store.infoReads() - (store.listings() > 0 ? static_cast<int>(top) : 0);
        };
        QCOMPARE(entryReads(*reader), reads);
        QCOMPARE(listed->size(), fresh->size());
        for (quint32 i = 0; i < static_cast<quint32>(fresh->size()); ++i) {
            const quint32 at = fresh->ordered(TrashListOrder::NewestFirst)[i];
            const quint32 got = listed->ordered(TrashListOrder::NewestFirst)[i];
            QCOMPARE(listed->dataPath(got), fresh->dataPath(at));
            QCOMPARE(listed->originalPath(got), fresh->originalPath(at));
            QCOMPARE(listed->entrySize(got), fresh->entrySize(at));
            QVERIFY(listed->deletionDate(got) == fresh->deletionDate(at));
        }
        // What that listing wrote answers for every entry of the next one, also when a folder had
        // changed too lately for the index to be taken whole.
        const auto next = store();
        QVERIFY(next->entryList(TrashListSizing::KnownOnly));
        QCOMPARE(entryReads(*next), 0);
    }

    void awkwardNamesAndLinksSurvivePutListAndEmpty()
    {
        // A ~/.local/share (or anything else above the home trash) that the user made a link to another
        // disk is the user's own choice and keeps working; only the trash folder's own parts must be
        // real folders (TrashSafetyTest).
        TrashFixture fx;
        const QByteArray dataHome = QFile::encodeName(fx.home().dataHome());
        const QByteArray elsewhere = QFile::encodeName(fx.home().root()) + "/other-disk/share";
        TreeBuilder(elsewhere).dir({});
        QVERIFY(::rename(dataHome.constData(), elsewhere.constData()) == 0 &&
                ::symlink(elsewhere.constData(), dataHome.constData()) == 0);
        TrashStore store(fx.locations(), {}, kTestZone);
        // A link goes as a link: trashed and emptied, what it points at stays.
        fx.outside().file("target/file", 100).symlink("link", fx.outside().path("target"));
        QSet<QByteArray> originals{fx.outside().path("link")};
        for (const QByteArray& name : TreeBuilder::awkwardNames())
            originals.insert(fx.outside().file(name + "/inner", 100).path(name));
        for (const QByteArray& original : std::as_const(originals))
            QVERIFY2(store.put(original, localTime(2026, 3, 2, 9, 0, 0)) && !TreeBuilder::exists(original),
                     original.constData());
        const TrashStatusResult status = store.scan();
        QSet<QByteArray> listed;
        for (const TrashItemDetail& item : listAll(store).entries)
            listed.insert(item.originalPath.value_or("none"));
        QCOMPARE(listed, originals);
        // Their directorysizes lines are percent-encoded and read back by a new process.
        const QByteArray sizes = TreeBuilder::read(fx.trashPath() + "/directorysizes");
        for (const QByteArray& name : readdirOrder(fx.filesPath()))
            QVERIFY2(name == "link" || sizes.contains(' ' + name.toPercentEncoding() + '\n'), name.constData());
        TrashStore again(fx.locations(), {}, kTestZone);
        QCOMPARE(again.scan()->topItems, status->topItems);
        QCOMPARE(again.walks(), 0);

        QCOMPARE(store.emptyAll()->removedCount, originals.size());
        QVERIFY(readdirOrder(elsewhere + "/Trash/files").isEmpty() &&
                readdirOrder(elsewhere + "/Trash/info").isEmpty());
        QVERIFY(TreeBuilder::exists(fx.outside().path("target/file")));
    }

    void anUnchangedTrashIsListedAgainByNeitherScanNorAgeRule()
    {
        // The scan runs every minute and the age rule after every scan. Each answers from its last
        // pass while no trash folder changed and the folders had settled then (the age rule while its
        // cut-off cannot reach the oldest entry); anything that may have changed is listed again.
        TrashFixture fx;
        for (int i = 0; i < 5; ++i) {
            const QByteArray name = "dir" + QByteArray::number(i);
            fx.files().file(name + "/f", 4096 * (i + 1));
            fx.writeInfo(name, "/home/u/" + name, "2026-0" + QByteArray::number(i + 3) + "-01T10:00:00");
        }
        fx.addFile("undated", 10, "sometime");
        fx.files().file("no-info", 10);
        const TrashStatusResult a = TrashStore(fx.locations(), {}, kTestZone).scan();
        // A new process trusts the directorysizes written by the first, but for an entry trashed anew
        // since: each size in its place, whichever way it was found.
        TreeBuilder(fx.infoPath()).touch("dir3.trashinfo", 1772355601);
        TrashStore store(fx.locations(), {}, kTestZone);
        QCOMPARE(store.scan()->topItems, a->topItems);
        QCOMPARE(store.walks(), 1);
        // Listed again (the folders changed just now), but no info file is read again.
        const int reads = store.infoReads();
        QCOMPARE(store.scan()->topItems, a->topItems);
        QVERIFY(store.listings() == 2 && store.infoReads() == reads);

        bool twoUndated = true; // "undated" and "no-info", whether a pass lists or answers from the last
        const auto removed = [&](Timestamp cutoff) {
            const TrashCleanupOutcome outcome = store.removeDeletedBefore(cutoff);
            twoUndated = twoUndated && outcome->undatedCount == 2;
            return outcome->removedCount;
        };
        const Timestamp april = localTime(2026, 4, 1, 0, 0, 0);
        settle(fx);
        QCOMPARE(removed(localTime(2026, 3, 1, 10, 0, 0)), 0); // not strictly before the oldest date
        QCOMPARE(store.scan()->topItems, a->topItems);
        QCOMPARE(store.scan()->topItems, a->topItems);
        QCOMPARE(removed(localTime(2026, 2, 1, 0, 0, 0)), 0);
        QCOMPARE(store.listings(), 4);
        // A cut-off that reaches the oldest entry lists, the info files known by their stamps.
        const int known = store.infoReads();
        QCOMPARE(removed(april), 1);
        QCOMPARE(store.infoReads(), known);
        settle(fx);
        QCOMPARE(removed(april), 0);
        QCOMPARE(store.scan()->itemCount, 6);
        // Another program trashes something dated long ago; entries without a date never go.
        fx.addFile("from-another-trasher", 10, "2025-01-01T00:00:00");
        QCOMPARE(store.scan()->itemCount, 7);
        QCOMPARE(removed(april), 1);
        QCOMPARE(readdirOrder(fx.filesPath(), true),
                 (QList<QByteArray>{"dir1", "dir2", "dir3", "dir4", "no-info", "undated"}));
        QVERIFY(twoUndated);
    }

    void sizeLinesCountOnlyAsMeasurementsOfTheSameInfoFile_data()
    {
        // The info file's mtime is 1772355600.25 s; "$size" stands for the folder's size as du -B1 counts
        // it. Ours carry two leading zeros; ours from before folders' blocks counted carry one or none.
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* what, const char* line, const char* after) {
            QTest::newRow(what) << QByteArray(line) << QByteArray(after);
        };
        row("ours, seconds, this info file", "00777 1772355600 dir", "00777 1772355600 dir");
        row("ours, seconds, an older info file", "00777 1772355599 dir", "00$size 1772355600 dir");
        row("seconds, another writer's or ours without folders", "777 1772355600 dir", "00$size 1772355600 dir");
        row("KDE's: milliseconds and apparent bytes", "777 1772355600250 dir", "00$size 1772355600250 dir");
        row("ours in milliseconds, without folders", "0777 1772355600250 dir", "00$size 1772355600250 dir");
        row("ours in milliseconds", "00777 1772355600250 dir", "00777 1772355600250 dir");
        row("ours in milliseconds, an older info file", "00777 1772355599000 dir", "00$size 1772355600250 dir");
    }
    void sizeLinesCountOnlyAsMeasurementsOfTheSameInfoFile()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, after);
        TrashFixture fx;
        fx.files().file("dir/a", 3000).file("dir/b", 100).file("dir/sub/c", 100);
        fx.writeInfo("dir", "/home/u/dir", "2026-03-01T10:00:00");
        TreeBuilder(fx.infoPath()).touch("dir.trashinfo", 1772355600, 250'000'000);
        TreeBuilder(fx.trashPath()).write("directorysizes", line + '\n');
        const qint64 size = TreeBuilder::diskUsage(fx.filesPath() + "/dir");
        const ProcessResult du = runProcess(u"du"_s, {u"-B1"_s, u"-s"_s, QFile::decodeName(fx.filesPath() + "/dir")});
        QCOMPARE(du.out.left(du.out.indexOf('\t')).toLongLong(), size);
        const bool trusted = !after.contains("$size");
        after.replace("$size", QByteArray::number(size));
        // Data without an info file gets no line: walked at every scan, its freed bytes counted as removed.
        const qint64 unlisted = TreeBuilder::diskUsage(fx.files().file("no-info/sub/f", 100).path("no-info"));

        TrashStore store(fx.locations());
        // 777 only from the line, `size` only from a walk.
        QCOMPARE(store.scan()->totalSize, (trusted ? 777 : size) + unlisted);
        // Rewritten in the unit it had: KDE only ever matches milliseconds.
        QCOMPARE(TreeBuilder::read(fx.trashPath() + "/directorysizes"), after + '\n');
        // Measured once: the next process trusts the line, and emptying frees what it says.
        TrashStore next(fx.locations());
        QVERIFY(next.scan() && next.walks() == 1);
        QCOMPARE(next.emptyAll()->freedBytes, (trusted ? 777 : size) + unlisted);
    }

    void putNamesEntriesWithoutClashesAndWithinTheNameLimit()
    {
        TrashFixture fx;
        TrashStore store(fx.locations(), {}, kTestZone);
        // Data without an info file also holds its name; a name too long to end in ".trashinfo" is
        // shortened, keeping its extension.
        fx.files().file("taken.txt", 1);
        const QByteArray longName = QByteArray(240, 'x') + ".jpeg";
        for (const QByteArray& name : QByteArrayList{"report.pdf", "report.pdf", "report.pdf", "archive.tar.gz",
                                                     "noext", "again/noext", "taken.txt", longName, longName})
            QVERIFY(store.put(fx.outside().file(name, 100).path(name), localTime(2026, 3, 2, 9, 30, 0)));

        const QList<QByteArray> files = readdirOrder(fx.filesPath(), true);
        QCOMPARE(files.first(8), (QList<QByteArray>{"archive.tar.gz", "noext", "noext.2", "report.2.pdf",
                                                    "report.3.pdf", "report.pdf", "taken.2.txt", "taken.txt"}));
        QCOMPARE(TreeBuilder::read(fx.infoPath() + "/report.2.pdf.trashinfo"),
                 "[Trash Info]\nPath=" + fx.outside().path("report.pdf").toPercentEncoding("/") +
                     "\nDeletionDate=2026-03-02T09:30:00\n");
        QVERIFY(!TreeBuilder::exists(fx.infoPath() + "/taken.txt.trashinfo"));
        QCOMPARE(files.size(), 10);
        for (const QByteArray& name : files.mid(8))
            QVERIFY2(name.endsWith(".jpeg") && TreeBuilder::exists(fx.infoPath() + '/' + name + ".trashinfo") &&
                         name.size() + 10 <= 255,
                     name.constData());
        for (const TrashItemDetail& item : listAll(store).entries)
            QVERIFY(!item.name.startsWith(u'x') || item.originalPath == fx.outside().path(longName));
    }

    void putRefusesWhatWouldHurtAndLeavesNoInfoBehind_data()
    {
        // $outside, $trash, $volumeTrash, $data and $home stand for the fixture's folders.
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("a missing file") << QByteArray("$outside/nope");
        QTest::newRow("the trash itself") << QByteArray("$trash");
        QTest::newRow("an entry already trashed") << QByteArray("$trash/files/already");
        QTest::newRow("an entry of a volume's trash") << QByteArray("$volumeTrash/files/there");
        QTest::newRow("a volume's trash") << QByteArray("$volumeTrash");
        QTest::newRow("the folder holding the trash") << QByteArray("$data");
        QTest::newRow("the home folder") << QByteArray("$home/");
        QTest::newRow("a volume without a trash") << QByteArray("/proc/self/status");
        QTest::newRow("a dot path") << QByteArray("$outside/.");
    }
    void putRefusesWhatWouldHurtAndLeavesNoInfoBehind()
    {
        QFETCH(QByteArray, path);
        TrashFixture fx;
        fx.addFile("already", 10);
        const QByteArray volumeTrash = fx.addVolume("volume");
        TreeBuilder(volumeTrash + "/files").file("there", 10);
        TrashStore store(fx.locations());
        path.replace("$volumeTrash", volumeTrash)
            .replace("$outside", fx.outside().root())
            .replace("$trash", fx.trashPath())
            .replace("$data", QFile::encodeName(fx.home().dataHome()))
            .replace("$home", QFile::encodeName(fx.home().home()));
        const TrashPutResult result = store.put(path, {});
        QVERIFY(!result && result.error().message.contains(QFile::decodeName(path)));
        QCOMPARE(readdirOrder(fx.infoPath()) + readdirOrder(fx.filesPath()),
                 (QList<QByteArray>{"already.trashinfo", "already"}));
    }

    // A trash folder whose files/ cannot be listed fails the scan when it is the home trash, and is a
    // problem named beside the other entries when it is a volume's: never an empty trash folder. A
    // folder inside an entry that cannot be read still counts, with a size that is not kept (it would
    // be trusted while the info file stays), and emptying gets in by giving the owner access back.
    void unreadableFoldersAreNamedOrCounted_data()
    {
        QTest::addColumn<bool>("volume");
        QTest::newRow("the home trash") << false;
        QTest::newRow("a volume's trash") << true;
    }
    void unreadableFoldersAreNamedOrCounted()
    {
        QFETCH(bool, volume);
        if (geteuid() == 0)
            QSKIP("running as root: permission checks do not apply");
        TrashFixture fx;
        fx.files().file("locked/a", 4096).chmod("locked", 0);
        fx.writeInfo("locked", "/home/u/locked", "2026-03-01T10:00:00");
        const QByteArray trash = volume ? fx.addVolume("stick") : fx.trashPath();
        TreeBuilder(trash).file("files/b", 10).chmod("files", 0300);
        TrashStore store(fx.locations());
        const TrashStatusResult status = store.scan();
        const TrashCleanupOutcome emptied = store.emptyAll();
        TreeBuilder(trash).chmod("files", 0700);
        QVERIFY(TreeBuilder::exists(trash + "/files/b"));
        if (!volume) {
            QVERIFY(!status && status.error().kind == TrashServiceError::PermissionDenied);
            return;
        }
        QVERIFY(status && status->itemCount == 1 && emptied && !emptied->complete());
        QCOMPARE(status->folderProblems.value(0).path, trash);
        QVERIFY(!TreeBuilder::read(fx.trashPath() + "/directorysizes").contains("locked"));
        QVERIFY(emptied->removedCount == 1 && !TreeBuilder::exists(fx.filesPath() + "/locked"));
    }
};

QTEST_GUILESS_MAIN(TrashStoreTest)
#include "TrashStoreTest.moc"
