// The self-updater on real application folders. Folder B is this build as scripts/package packs it (the
// PackageBuild fixture), signed again with the key this build trusts and announced by a manifest of a
// higher version on the local test server; folder A, in a user's ~/Applications, is B with one more
// file. A's `AppRun update install` runs the real check, download, signature check, install and
// relaunch: the relaunch script waits for A to end, puts B in A's place and starts it, and B's tray
// application comes up on the private bus.

#include "ApplicationBus.h"
#include "ArchiveExtractor.h"
#include "FakeStatusNotifierWatcher.h"
#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "StatusNotifierItem.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "UpdateSigning.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

const QString kDist = QStringLiteral(RUBBLY_PACKAGE_DIST);

// Every entry below `root` but the `skipped` subtrees, keyed by relative path: its kind, permission
// bits and content (files) or target (links).
QMap<QString, QByteArray> describeTree(const QString& root, const QStringList& skipped = {})
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        if (std::any_of(skipped.begin(), skipped.end(),
                        [&relative](const QString& s) { return relative == s || relative.startsWith(s + u'/'); }))
            continue;
        const QFileInfo info(path);
        const QByteArray mode = QByteArray::number(int(info.permissions()), 16);
        if (info.isSymLink())
            entries.insert(relative, "link " + QFile::encodeName(info.symLinkTarget()));
        else if (info.isDir())
            entries.insert(relative, "dir " + mode);
        else
            entries.insert(relative,
                           "file " + mode + ' ' +
                               QCryptographicHash::hash(TreeBuilder::read(path), QCryptographicHash::Sha256).toHex());
    }
    return entries;
}

// Every living process below this one, once the ended ones are collected. The test makes itself a
// child subreaper, so the relaunch script and what it starts stay below it when their parents end, and
// those it collects do not stay zombies.
QList<pid_t> descendants()
{
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    QHash<pid_t, pid_t> parentOf;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        const QByteArray stat = TreeBuilder::read(u"/proc/"_s + entry + u"/stat"_s);
        // "pid (name) state ppid …", where the name may hold blanks and parentheses.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (entry.toInt() > 0 && fields.size() > 1 && fields[0] != "Z")
            parentOf.insert(entry.toInt(), fields[1].toInt());
    }
    QList<pid_t> found;
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        pid_t parent = it.value();
        for (int depth = 0; parent > 1 && parent != ::getpid() && depth < 64; ++depth)
            parent = parentOf.value(parent, 0);
        if (parent == ::getpid())
            found.append(it.key());
    }
    return found;
}

// Higher than this build's by one more piece.
const QString kHigherVersion = QStringLiteral(RUBBLY_VERSION ".1");

} // namespace

class UpdateEndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0); }

    void cleanup()
    {
        // Whatever a failed case left running ends here, so no test leaves a process behind.
        for (const pid_t pid : descendants())
            ::kill(pid, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(descendants().isEmpty(), 5000);
    }

    // A home with folder A in ~/Applications beside another folder, and B on the test server. Where A
    // lies and the cache folder, both of which the relaunch script is given, have hostile names. The
    // update is refused while a tray application runs; once it has quit, B replaces A and starts.
    void updateReplacesTheApplicationFolderAndStartsTheNewVersion()
    {
        TempHome home;
        EnvGuard env;
        HttpTestServer server;
        const QString apps = home.home() + u"/Applications we\"ird $(touch PWNED) `id` $HOME\nline"_s;
        const QString appFolder = apps + u"/Rubbly.app"_s;
        const QString cache = home.root() + u"/cache we\"ird $(touch PWNED) `id` $HOME"_s;
        const QString work = cache + u"/rubbly/Rubbly-Update"_s;
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(u"/"_s).toString().toUtf8());
        env.set("RUBBLY_MOUNTINFO", "/dev/null"); // B's trash engine sees no real volume
        env.set("QT_QPA_PLATFORM", "offscreen");
        env.set("XDG_CACHE_HOME", QFile::encodeName(cache));
        QVERIFY(QDir().mkpath(cache));
        TreeBuilder(QFile::encodeName(apps)).write("Other.app/AppRun", "#!/bin/sh\n");
        TreeBuilder(QFile::encodeName(home.dataHome())).dir("Trash/files").dir("Trash/info");
        const QString archive = kDist + u"/downloads/Rubbly.zip"_s;
        const auto unpacked = ArchiveExtractor::extract(QFile::encodeName(archive), QFile::encodeName(apps));
        QVERIFY2(unpacked, qPrintable(unpacked ? QString() : unpacked.error()));
        const QMap<QString, QByteArray> treeB = describeTree(appFolder);
        const QByteArray archiveB = TreeBuilder::read(archive);
        server.route(u"/downloads/Rubbly.zip"_s, {200, archiveB});
        const SigningKey key = SigningKey::ofThisBuild();
        QVERIFY2(!key.secretKeyFile.isEmpty(), "this build trusts no test key (RUBBLY_TEST_UPDATE_KEY)");
        server.route(u"/downloads/Rubbly.zip.minisig"_s, {200, key.sign(archiveB, kHigherVersion)});
        // A file B does not have, so a copy over A instead of a replacement shows.
        TreeBuilder(QFile::encodeName(appFolder)).write("old-only", {});
        // The release's own manifest, announcing a higher version whose archive is B.
        QJsonObject manifest = QJsonDocument::fromJson(TreeBuilder::read(kDist + u"/version.json"_s)).object();
        manifest[u"version"_s] = kHigherVersion;
        manifest[u"downloadURL"_s] = server.url(u"/downloads/Rubbly.zip"_s).toString();
        server.route(u"/version.json"_s, {200, QJsonDocument(manifest).toJson()});

        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService(ApplicationBus::kServiceName));
        const ProcessResult refused = runProcess(appFolder + u"/AppRun"_s, {u"update"_s, u"install"_s});
        bus.unregisterService(ApplicationBus::kServiceName);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("tray application is running"), refused.err.constData());
        QCOMPARE(server.requestCount(u"/version.json"_s), 0);

        FakeStatusNotifierWatcher watcher;
        QVERIFY(watcher.start());
        const QString root = home.root();
        const QStringList own = {QDir(root).relativeFilePath(appFolder), QDir(root).relativeFilePath(work)};
        QMap<QString, QByteArray> before = describeTree(root, own);

        const ProcessResult install = runProcess(appFolder + u"/AppRun"_s, {u"update"_s, u"install"_s});
        QVERIFY2(install.exitCode == 0, install.err.constData());
        // It prints the folder it unpacked B into, then what it installs.
        QVERIFY2(
            install.out.contains(QFile::encodeName(work) + "/Rubbly.app\nInstalling Rubbly " + kHigherVersion.toUtf8()),
            install.out.constData());

        // B's tray application registers its status item: B was started, from the replaced folder.
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.registrations.isEmpty(), 30000);
        const uint pid = bus.interface()->servicePid(watcher.registrations.first().sender).value();
        QCOMPARE(QFileInfo(u"/proc/%1/exe"_s.arg(pid)).symLinkTarget(),
                 QFileInfo(appFolder + u"/bin/rubbly-tray"_s).canonicalFilePath());
        QCOMPARE(describeTree(appFolder), treeB);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(work), 10000);

        // Its own menu quits it; then nothing the update started is left.
        QDBusMessage quit =
            QDBusMessage::createMethodCall(watcher.registrations.first().service, StatusNotifierItem::kMenuPath,
                                           u"com.canonical.dbusmenu"_s, u"Event"_s);
        quit.setArguments({5, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u}); // 退出 Rubbly
        bus.call(quit, QDBus::Block, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(descendants().isEmpty(), 10000);
        QCOMPARE(server.requestCount(u"/downloads/Rubbly.zip"_s), 1);

        // Outside the two folders only the program's own state changed: its settings file, which
        // records the check, with the lock its saves take, and the folder that held the work folder,
        // left empty (anything left in it would be new in `after`).
        QMap<QString, QByteArray> after = describeTree(root, own);
        for (const QString& state :
             {QDir(root).relativeFilePath(cache + u"/rubbly"_s), u"home/.config/rubbly"_s,
              u"home/.config/rubbly/defaults.json"_s, u"home/.config/rubbly/defaults.json.lock"_s}) {
            QVERIFY2(before.take(state) != after.take(state), qPrintable(state));
        }
        QCOMPARE(after, before);
        QVERIFY(!QFile::exists(u"PWNED"_s)); // where the processes ran
    }
};

QTEST_GUILESS_MAIN(UpdateEndToEndTest)
#include "UpdateEndToEndTest.moc"
