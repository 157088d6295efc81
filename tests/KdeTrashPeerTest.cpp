#include "KdeTrashPeer.h"
#include "BlockingWait.h"
#include "ProcessRunner.h"
#include "TrashFixture.h"
#include "TrashService.h"
#include "VirtualScheduler.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

// Records the KDirNotify signals on the test's private bus, as a file view of KDE's would get them.
class KDirNotifyLog final : public QObject {
    Q_OBJECT
public:
    KDirNotifyLog()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"kdirnotify-listener"_s))
    {
        for (const QString& member : {u"FilesAdded"_s, u"FilesRemoved"_s, u"FilesChanged"_s, u"FileMoved"_s})
            m_bus.connect({}, u"/"_s, u"org.kde.KDirNotify"_s, member, this, SLOT(record(QDBusMessage)));
        // A round trip: the bus has the match rules before anything is sent.
        m_bus.interface()->isServiceRegistered(u"org.freedesktop.DBus"_s);
    }
    ~KDirNotifyLog() override { QDBusConnection::disconnectFromBus(u"kdirnotify-listener"_s); }

    QStringList received;

public Q_SLOTS:
    void record(const QDBusMessage& message)
    {
        QStringList words{message.member()};
        for (const QVariant& argument : message.arguments())
            words.append(argument.canConvert<QStringList>() ? argument.toStringList().join(u',') : argument.toString());
        received.append(words.join(u' '));
    }

private:
    QDBusConnection m_bus;
};

QString fileUrl(const QByteArray& path)
{
    return QUrl::fromLocalFile(QFile::decodeName(path)).toString();
}

} // namespace

// What KDE's own trash does after each change, so its views stay right when we change the Trash.
class KdeTrashPeerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void statusIsSetKeepingTheRestOfTheFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<std::optional<QByteArray>>("after"); // none when the file already says so
        const auto row = [](const char* what, const QByteArray& before, bool empty,
                            const std::optional<QByteArray>& after) {
            QTest::newRow(what) << before << empty << after;
        };
        const QByteArray others =
            "# size rules\n[/home/u/.local/share/Trash]\nDays=7\nEmpty=true\n\n[Status]\nEmpty = ";
        row("already so", "[Status]\nEmpty=false\n", false, std::nullopt);
        row("other groups, comments, spaces and CRLF stay", others + "true \r\n[X]\nEmpty=1\n", false,
            others + "false \r\n[X]\nEmpty=1\n");
        row("a status group without the key", "[Status]\nOther=1\n", false, "[Status]\nEmpty=false\nOther=1\n");
        row("no key reads as empty", "[Status]\n", true, std::nullopt);
        row("no status group", "[General]\nx=1", false, "[General]\nx=1\n\n[Status]\nEmpty=false\n");
        row("an empty file", "", false, "[Status]\nEmpty=false\n");
    }
    void statusIsSetKeepingTheRestOfTheFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, empty);
        QFETCH(std::optional<QByteArray>, after);
        QCOMPARE(KdeTrashPeer::withEmptyStatus(before, empty), after);
    }

    void putsAndEmptyingsKeepKdeCurrent()
    {
        TrashFixture fx;
        const QString trashrc = fx.home().configHome() + u"/trashrc"_s;
        const QByteArray rest = "[" + fx.trashPath() + "]\nDays=7\nUseTimeLimit=false\n\n";
        TreeBuilder(QFile::encodeName(fx.home().configHome()))
            .write("trashrc", rest + "[Status]\nEmpty=true\n")
            .chmod("trashrc", 0644);
        fx.outside().file("a file.txt", 100).file("b", 100).file("c", 100).file("d", 100);
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        KDirNotifyLog log;
        QStringList expected;
        const auto told = [&](const QStringList& sent, const char* status) {
            expected += sent;
            QTRY_COMPARE(log.received, expected);
            QCOMPARE(TreeBuilder::read(QFile::encodeName(trashrc)), rest + "[Status]\nEmpty=" + status + '\n');
        };

        // A path that names nothing does not keep the one after it out.
        blockingWait(service.moveToTrash(
            {fx.outside().path("a file.txt"), fx.outside().path("missing"), fx.outside().path("b")}));
        told({u"FilesAdded trash:/"_s,
              u"FilesRemoved "_s + fileUrl(fx.outside().path("a file.txt")) + u',' + fileUrl(fx.outside().path("b"))},
             "false");
        struct stat st = {};
        QVERIFY(::stat(QFile::encodeName(trashrc).constData(), &st) == 0 && (st.st_mode & 07777) == 0644);
        // The age rule ran and removed nothing: nobody is disturbed.
        QCOMPARE(blockingWait(service.removeItems(30))->removedCount, 0);
        QCOMPARE(blockingWait(service.emptyTrash())->removedCount, 2);
        told({u"FilesAdded trash:/"_s, u"FilesChanged trash:/"_s}, "true");
        QVERIFY(!QFile::exists(trashrc + u".lock"_s));

        // A restore tells the folder the entry went back to, and that the Trash is empty again.
        blockingWait(service.restore(blockingWait(service.moveToTrash({fx.outside().path("c")})).entries, false));
        told({u"FilesAdded trash:/"_s, u"FilesRemoved "_s + fileUrl(fx.outside().path("c")), u"FilesAdded trash:/"_s,
              u"FilesAdded "_s + fileUrl(fx.outside().root()), u"FilesChanged trash:/"_s},
             "true");

        // The command line tells KDE before it exits.
        EnvGuard env;
        env.set("RUBBLY_MOUNTINFO", fx.mountInfoPath());
        const ProcessResult put = runProcess(QStringLiteral(RUBBLY_BINARY),
                                             {u"trash"_s, u"put"_s, QFile::decodeName(fx.outside().path("d"))});
        QCOMPARE(put.exitCode, 0);
        told({u"FilesAdded trash:/"_s, u"FilesRemoved "_s + fileUrl(fx.outside().path("d"))}, "false");
    }

    void nothingOfKdesIsMadeWhereKdeIsNotUsed()
    {
        TrashFixture fx;
        // A linked trashrc (a dotfiles repository) is not ours to replace by a file.
        const QByteArray elsewhere = fx.outside().path("dotfiles-trashrc");
        fx.outside().write("dotfiles-trashrc", "[Status]\nEmpty=true\n").file("a", 100).file("b", 100);
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        const auto config = [&fx] {
            return QDir(fx.home().configHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        QCOMPARE(blockingWait(service.moveToTrash({fx.outside().path("a")})).movedCount, 1);
        QCOMPARE(config(), QStringList());

        TreeBuilder(QFile::encodeName(fx.home().configHome())).symlink("trashrc", elsewhere);
        QCOMPARE(blockingWait(service.emptyTrash())->removedCount, 1);
        QCOMPARE(blockingWait(service.moveToTrash({fx.outside().path("b")})).movedCount, 1);
        QCOMPARE(TreeBuilder::read(elsewhere), "[Status]\nEmpty=true\n");
        QCOMPARE(config(), QStringList{u"trashrc"_s});
    }
};

QTEST_GUILESS_MAIN(KdeTrashPeerTest)
#include "KdeTrashPeerTest.moc"
