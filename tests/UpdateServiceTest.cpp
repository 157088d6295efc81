#include "UpdateService.h"
#include "ArchiveBuilder.h"
#include "ArchiveExtractor.h"
#include "BlockingWait.h"
#include "HttpTestServer.h"
#include "MemoryDefaults.h"
#include "MountGuard.h"
#include "StoredKeys.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "UpdateSigning.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <archive_entry.h>
#include <qendian.h>
#include <unistd.h>

#include <functional>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Kind = UpdateStatus::Kind;

namespace {

// The program is noise, so the archive is as large as its content and arrives in several pieces.
QList<ArchiveEntry> goodAppFolder()
{
    QByteArray program(200000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(program.data()), program.size() / 4);
    return {{"Rubbly.app/AppRun", "#!/bin/sh\necho new\n", 0755}, {"Rubbly.app/usr/bin/rubbly", program, 0755}};
}

const QByteArray& goodZip()
{
    static const QByteArray zip = makeArchive(goodAppFolder(), true);
    return zip;
}

// One key pair for the whole run, the one every rig trusts unless told otherwise.
const SigningKey& trustedKey()
{
    static const QTemporaryDir folder;
    static const SigningKey key = SigningKey::make(folder.path());
    return key;
}

// `zip` with every size of its unpacked data that its headers give set to 10, as a bomb would lie.
QByteArray understated(QByteArray zip)
{
    for (const auto& [signature, at] : {std::pair{"PK\x03\x04", 22}, std::pair{"PK\x01\x02", 24}})
        for (qsizetype i = zip.indexOf(signature); i >= 0; i = zip.indexOf(signature, i + 4))
            qToLittleEndian<quint32>(10, zip.data() + i + at);
    return zip;
}

struct Rig {
    TempHome home;
    HttpTestServer server;
    VirtualScheduler clock;
    MemoryDefaults defaults;
    QNetworkAccessManager network;
    std::unique_ptr<UpdateService> service;
    int quits = 0;

    explicit Rig(const std::function<void(UpdateService::Config&)>& adjust = {})
    {
        // The cache folder is reached through a link, as with a linked ~/.cache or /home -> /var/home.
        QDir(home.cacheHome()).removeRecursively();
        TreeBuilder(QFile::encodeName(home.root())).dir("var/cache").symlink("home/.cache", "../var/cache");
        UpdateService::Config config = UpdateService::Config::defaults();
        config.baseURL = server.url(u"/site/"_s);
        config.currentVersion = u"1.2.9"_s;
        config.checkTimeout = 300ms;
        config.downloadTimeout = 2000ms;
        config.quit = [this] { ++quits; };
        config.trustedKeys = UpdateService::parseKeys(QString::fromLatin1(trustedKey().publicKey));
        if (adjust)
            adjust(config);
        service = std::make_unique<UpdateService>(defaults, clock, network, config);
    }
    // Serves `response` at `path` and, beside it, its signature by the trusted key as version 2.
    void serve(const QString& path, const HttpTestServer::Response& response, bool legacySignature = false)
    {
        server.route(path, response);
        server.route(path + u".minisig"_s, {200, trustedKey().sign(response.body, u"2"_s, legacySignature)});
    }
    void redirect(const QString& path, const QByteArray& to)
    {
        server.route(path, {302, {}, true, -1, {{"Location", to}}});
    }
    UpdateStatus download(const QUrl& url)
    {
        blockingWait(service->downloadUpdate({u"2"_s, {}, url, {}}));
        return service->status();
    }
    QString workFile(const QString& name) const { return service->workFolder() + u'/' + name; }
};

} // namespace

class UpdateServiceTest : public QObject {
    Q_OBJECT
    bool m_privateMounts = false;

private Q_SLOTS:
    void initTestCase() { m_privateMounts = MountGuard::enterPrivateNamespace(); }

    void checkOutcomes_data()
    {
        QTest::addColumn<int>("httpStatus"); // 0: the head, then nothing for as long as the connection lasts
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("base"); // the update host; empty: the test server
        const auto row = [](const char* name, int status, const char* body, Kind kind, const char* base = "") {
            QTest::newRow(name) << status << QByteArray(body) << int(kind) << QString::fromUtf8(base);
        };
        row("a manifest that does not decode", 200, R"({"version":"2","build":"7"})", Kind::Error);
        row("no manifest yet", 404, "gone", Kind::UpToDate);
        row("server error", 500, "oops", Kind::Error);
        // Silent: no message. A check that never ended would hold back every later one.
        row("a server that stalls times out", 0, "", Kind::Idle);
        // Silent checks too: the fallback archive must not stand in for an address refused.
        row("a manifest naming http elsewhere", 200,
            "{\"version\":\"2\",\"downloadURL\":\"http://updates.invalid/Rubbly.zip\"}", Kind::Error);
        row("an update host in the clear", 200, R"({"version":"2"})", Kind::Error, "http://updates.invalid/");
    }
    void checkOutcomes()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, base);
        Rig rig([&](UpdateService::Config& config) {
            if (!base.isEmpty())
                config.baseURL = QUrl(base);
        });
        rig.server.route(u"/site/version.json"_s,
                         {httpStatus ? httpStatus : 200, body, httpStatus > 0, httpStatus ? -1 : 0});
        blockingWait(rig.service->checkForUpdates(false));
        const UpdateStatus status = rig.service->status();
        QCOMPARE(int(status.kind()), kind);
        QCOMPARE(status.message().isEmpty(), kind != int(Kind::Error));
        if (body.contains("http:") || !base.isEmpty())
            QVERIFY2(status.detail().contains(u"https"), qPrintable(status.detail()));
        QCOMPARE(rig.server.requestCount(u"/site/version.json"_s), base.isEmpty() ? 1 : 0);
    }

    // A silent check asks the server at most once a day, counted from the last check of either kind;
    // one asked for is never held back.
    void silentChecksAreThrottledForADay()
    {
        Rig rig;
        rig.server.route(u"/site/version.json"_s, {200, R"({"version":"1.2.9"})"});
        // After how long, whether asked for, how often the server has been asked by then.
        const std::tuple<std::chrono::minutes, bool, int> steps[] = {
            {0min, false, 1}, {23h + 59min, false, 1}, {0min, true, 2}, {23h, false, 2}, {1h, false, 3}};
        for (const auto& [after, manual, asked] : steps) {
            rig.clock.advance(after);
            blockingWait(rig.service->checkForUpdates(manual));
            QCOMPARE(rig.service->status().kind(), Kind::UpToDate);
            QCOMPARE(rig.server.requestCount(u"/site/version.json"_s), asked);
        }
        QVERIFY(rig.defaults.dateValue(kLastUpdateCheckDateKey) == std::optional(rig.clock.now()));
    }

    // Also the way from a check to a download: a manifest naming no address gets the host's own archive,
    // the version announced with a "v" is the one signed, the archive and its signature come through
    // redirects to a secure address, and what the work folder held before is gone. The signature is
    // minisign's legacy form (minisign -l), which is checked on the whole file rather than a hash of it.
    void aCheckWhileACheckOrADownloadRunsIsSkipped()
    {
        Rig rig;
        rig.server.route(u"/site/version.json"_s, {200, R"({"version":"v2","downloadURL":"not a url"})"});
        const char* skipped = "an update check or download is already running; this check is skipped";
        auto first = rig.service->checkForUpdates(true);
        QTest::ignoreMessage(QtDebugMsg, skipped);
        QVERIFY(rig.service->checkForUpdates(true).isReady());
        blockingWait(std::move(first));

        rig.serve(u"/mirror/Rubbly.zip"_s, {200, goodZip()}, true);
        for (const QString& file : {u"Rubbly.zip"_s, u"Rubbly.zip.minisig"_s})
            rig.redirect(u"/site/downloads/"_s + file, rig.server.url(u"/mirror/"_s + file).toEncoded());
        TreeBuilder(QFile::encodeName(rig.service->workFolder())).file("stale/old", 10);
        auto download = rig.service->downloadUpdate(rig.service->status().info());
        QTest::ignoreMessage(QtDebugMsg, skipped);
        QVERIFY(rig.service->checkForUpdates(true).isReady());
        blockingWait(std::move(download));
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
        QCOMPARE(rig.server.requestCount(u"/site/version.json"_s), 1);
        QVERIFY(!QFile::exists(rig.workFile(u"stale"_s)));
    }

    // The body goes to disk as it comes, into a fresh work folder: a link in the folder's place is
    // removed, never cleared through.
    void streamsIntoAFreshWorkFolderAndUnpacks()
    {
        Rig rig;
        const QByteArray victim = QFile::encodeName(rig.home.root()) + "/victim";
        TreeBuilder(victim).file("stale/old", 10);
        TreeBuilder(QFile::encodeName(rig.home.cacheHome())).symlink("rubbly/Rubbly-Update", victim);
        // A tar made inside the folder starts with "./", the folder itself: unpacked as nothing.
        // No set-uid, set-gid or sticky bit and no write access for others survives.
        const QByteArray body = makeArchive(
            QList<ArchiveEntry>{{"./", {}, 0700}, {"Rubbly.app/s", "x", 07777}, {"Rubbly.app/d/", {}, 07777}} +
                goodAppFolder(),
            false);
        rig.serve(u"/dl/update.tar.gz"_s, {200, body, true, body.size() / 2});
        auto download = rig.service->downloadUpdate({u"2"_s, {}, rig.server.url(u"/dl/update.tar.gz"_s), {}});
        // Half the body is on disk while the rest is due.
        QTRY_COMPARE(QFileInfo(rig.workFile(u"update.tar"_s)).size(), body.size() / 2);
        QVERIFY(!QFileInfo(rig.service->workFolder()).isSymLink() && TreeBuilder::exists(victim + "/stale/old"));
        rig.server.release();
        blockingWait(std::move(download));

        QCOMPARE(rig.service->status().newAppPath(), QFile::encodeName(rig.workFile(u"Rubbly.app"_s)));
        QVERIFY(!QFile::exists(rig.workFile(u"mount"_s)));
        for (const QString& name : {u"s"_s, u"d"_s})
            QCOMPARE(QFileInfo(rig.workFile(u"Rubbly.app/"_s + name)).permissions(), QFileDevice::Permissions(0x7755));
    }

    void unusableArchivesAreExtractionErrors_data()
    {
        QTest::addColumn<QByteArray>("body"); // a zip, or else a tar.gz
        const auto appFolderAnd = [](const QList<ArchiveEntry>& extra) { return goodAppFolder() + extra; };
        QTest::newRow("an empty body") << QByteArray();
        QTest::newRow("AppRun not executable") << makeArchive({{"Rubbly.app/AppRun", "x", 0644}}, true);
        QTest::newRow("zip slip after the application folder")
            << makeArchive(appFolderAnd({{"../../escaped.txt", "pwned"}}), true);
        QTest::newRow("absolute path") << makeArchive({{"/tmp/rubbly-absolute-test", "pwned"}}, false);
        QTest::newRow("absolute symlink") << makeArchive(appFolderAnd({{"Rubbly.app/etc", {}, 0777, "/etc"}}), false);
        QTest::newRow("a FIFO") << makeArchive(appFolderAnd({{"Rubbly.app/f", {}, 0644, {}, AE_IFIFO}}), false);
        QTest::newRow("a device") << makeArchive(appFolderAnd({{"Rubbly.app/d", {}, 0666, {}, AE_IFCHR}}), false);
    }
    void unusableArchivesAreExtractionErrors()
    {
        QFETCH(QByteArray, body);
        const bool zip = body.isEmpty() || body.startsWith("PK");
        Rig rig;
        const QString path = zip ? u"/dl/Rubbly.zip"_s : u"/dl/Rubbly.tar.gz"_s;
        rig.serve(path, {zip ? 200 : 404, body}); // the archive's status does not count, only its bytes
        QCOMPARE(rig.download(rig.server.url(path)).message(), u"更新包提取失败，请重试或在官网下载"_s);
        for (const QString& outside :
             {rig.home.root(), rig.home.cacheHome(), rig.home.cacheHome() + u"/rubbly"_s, rig.service->workFolder()})
            QVERIFY(!QFile::exists(outside + u"/escaped.txt"_s));
        QVERIFY(!QFile::exists(u"/tmp/rubbly-absolute-test"_s));
        QVERIFY(QDir(rig.service->workFolder()).isEmpty()); // nothing half-unpacked is kept
    }

    // Every answer is bounded while it arrives: one without end is cut off at its limit, one that
    // stalls at the deadline on the scheduler's clock; an archive announced too large is refused before
    // a byte of it is written.
    void answersAreBoundedWhileTheyArrive_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("how"); // "stalls": the head, then a silence the transfer timeout would not end
        for (const char* path : {"/site/version.json", "/dl/Rubbly.zip.minisig", "/dl/Rubbly.zip"}) {
            for (const char* how : {"never ends", "stalls"})
                QTest::addRow("%s %s", path, how) << QString::fromLatin1(path) << QByteArray(how);
        }
        QTest::newRow("/dl/Rubbly.zip announced too large") << u"/dl/Rubbly.zip"_s << "announced"_ba;
    }
    void answersAreBoundedWhileTheyArrive()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, how);
        Rig rig([](UpdateService::Config& config) {
            config.checkTimeout = config.downloadTimeout = 1h;
            config.maxDownloadBytes = 1 << 20;
        });
        rig.serve(u"/dl/Rubbly.zip"_s, {200, goodZip()});
        const bool stalls = how == "stalls";
        if (how == "announced")
            rig.server.route(path, {200, QByteArray((1 << 20) + 1, 'z')});
        else
            rig.server.route(path, {200, QByteArray(64 * 1024, 'x'), false, stalls ? 0 : -1, {}, !stalls});
        const UpdateInfo info{u"2"_s, {}, rig.server.url(u"/dl/Rubbly.zip"_s), {}};
        QCoro::Task<void> task =
            path.endsWith(u".json") ? rig.service->checkForUpdates(true) : rig.service->downloadUpdate(info);
        if (stalls) {
            QTRY_COMPARE(rig.server.requestCount(path), 1);
            rig.clock.advance(2h);
        }
        blockingWait(std::move(task));
        const QString detail = rig.service->status().detail();
        QVERIFY2(detail.contains(stalls ? u"did not complete within"_s : u"larger than"_s), qPrintable(detail));
        if (how == "announced")
            QCOMPARE(QFileInfo(rig.workFile(u"update.zip"_s)).size(), 0);
    }

    // Lexically: libarchive's own check would hide a fault here.
    void onlyPathsThatStayInsideAreContained()
    {
        for (const char* inside : {"Rubbly.app/usr/bin/rubbly", "./a/..b/.../c.."})
            QVERIFY2(ArchiveExtractor::isContainedPath(inside), inside);
        for (const char* outside : {"../x", "a/b/../../../x", "a/../b", "a//..", "/etc/passwd", ""})
            QVERIFY2(!ArchiveExtractor::isContainedPath(outside), outside);
    }

    // Too many entries, or more bytes than the limit even where the headers understate them, stop the
    // extraction before the disk holds more than the limit.
    void extractionStopsAtItsLimits()
    {
        const QTemporaryDir folder;
        const QByteArray root = QFile::encodeName(folder.path());
        const QByteArray bomb = makeArchive({{"f", QByteArray(1 << 20, '\0')}}, true);
        for (const QByteArray& archive : {makeArchive(QList<ArchiveEntry>(6, {"f", "x"}), true), understated(bomb)}) {
            TreeBuilder(root).write("archive", archive);
            const auto done = ArchiveExtractor::extract(root + "/archive", root + "/out", {5, 1 << 16});
            QVERIFY(!done && done.error().contains(u"more than"));
            QVERIFY(QFileInfo(folder.filePath(u"out/f"_s)).size() <= 1 << 16);
        }
    }

    void onlyHttpsOrTheLoopbackIsFetchedFrom()
    {
        for (const char* url :
             {"https://updates.example.com/Rubbly.zip", "HTTPS://Updates.Example.com/x",
              "http://127.0.0.1:8080/version.json", "http://127.4.5.6/x", "http://[::1]:99/x", "http://localhost/x"})
            QVERIFY2(UpdateService::isSecureURL(QUrl(QString::fromLatin1(url))), url);
        // Loopback only in name, no host, other schemes.
        for (const char* url :
             {"http://updates.example.com/Rubbly.zip", "http://192.168.1.1/x", "http://127.0.0.1.example.com/x",
              "https:///x", "ftp://127.0.0.1/x", "file:///tmp/Rubbly.zip"})
            QVERIFY2(!UpdateService::isSecureURL(QUrl(QString::fromLatin1(url))), url);
    }

    // Each way an archive can fail its signature, and the two ways it can be fetched in the clear: refused
    // (the detail says why), nothing unpacked, no archive left behind.
    void updatesWithoutAGoodSignatureAreRefused_data()
    {
        QTest::addColumn<QByteArray>("signature"); // empty: none is served
        QTest::addColumn<QString>("path");         // where the archive is asked for: on the test server, or a URL
        QTest::addColumn<QByteArray>("keys");      // the keys the build trusts
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("archiveFetched");
        const QByteArray good = trustedKey().sign(goodZip(), u"2"_s);
        const auto row = [](const char* name, const QByteArray& signature, const char* detail, bool fetched = false,
                            const QString& path = u"/dl/Rubbly.zip"_s,
                            const QByteArray& keys = trustedKey().publicKey) {
            QTest::newRow(name) << signature << path << keys << QString::fromUtf8(detail) << fetched;
        };
        row("unsigned", {}, "has no signature, the server answered HTTP 404");
        const QTemporaryDir otherFolder;
        row("signed by another key", SigningKey::make(otherFolder.path()).sign(goodZip(), u"2"_s),
            "which this build does not trust");
        row("a signature of other bytes", trustedKey().sign(goodZip() + "x", u"2"_s),
            "the archive does not match its signature", true);
        row("a page in place of the signature", "<html>not here</html>", "its signature is malformed");
        row("a trusted comment changed", QByteArray(good).replace("version:2", "version:3"),
            "trusted comment of its signature does not verify");
        row("signed as an older version", trustedKey().sign(goodZip(), u"1.0"_s),
            "signed as version 1.0, not the announced 2");
        row("http on another host", good, "updates are fetched over https only", false,
            u"http://updates.invalid/Rubbly.zip"_s);
        row("a redirect into the clear", good, "to http://updates.invalid/Rubbly.zip, which is not an https:// address",
            true, u"/moved/Rubbly.zip"_s);
        row("a build without a key", good, "this build has no update signing key", false, u"/dl/Rubbly.zip"_s, {});
    }
    void updatesWithoutAGoodSignatureAreRefused()
    {
        QFETCH(QByteArray, signature);
        QFETCH(QString, path);
        QFETCH(QByteArray, keys);
        QFETCH(QString, detail);
        QFETCH(bool, archiveFetched);
        Rig rig([&](UpdateService::Config& config) {
            config.trustedKeys = UpdateService::parseKeys(QString::fromLatin1(keys));
        });
        rig.server.route(u"/dl/Rubbly.zip"_s, {200, goodZip()});
        rig.redirect(u"/moved/Rubbly.zip"_s, "http://updates.invalid/Rubbly.zip");
        if (!signature.isEmpty())
            rig.server.route(path + u".minisig"_s, {200, signature});

        const UpdateStatus status = rig.download(path.startsWith(u'/') ? rig.server.url(path) : QUrl(path));
        QCOMPARE(status.kind(), Kind::Error);
        QVERIFY2(status.detail().contains(detail), qPrintable(status.detail()));
        QCOMPARE(rig.server.requestCount(path) > 0, archiveFetched);
        QVERIFY(!QFile::exists(rig.workFile(u"update.zip"_s)) && !QFile::exists(rig.workFile(u"Rubbly.app"_s)));
    }

    // The relaunch script run for real on two tiny application folders whose AppRun says which it is: wherever it
    // stops, one complete version is in place, or (killed between its renames) put back by a next run.
    void relaunchKeepsOneCompleteVersion_data()
    {
        QTest::addColumn<QByteArray>("stopAt");    // the step where it is killed, then run again; or what stops it
        QTest::addColumn<QByteArray>("installed"); // the version at the destination after the first run
        // A disk that fills during the copy, an old program that does not quit, or a kill at a step.
        for (const char* stop : {"", "full disk", "running", "copied", "aside", "swapped"})
            QTest::addRow("stopped by %s", *stop ? stop : "nothing")
                << QByteArray(stop) << (!*stop || *stop == 's' ? "new"_ba : "old"_ba);
    }
    void relaunchKeepsOneCompleteVersion()
    {
        QFETCH(QByteArray, stopAt);
        QFETCH(QByteArray, installed);
        const QTemporaryDir tmp;
        const QByteArray root = QFile::encodeName(tmp.path());
        MountGuard mounts;
        TreeBuilder(root).dir("apps");
        if (stopAt == "full disk" && !(m_privateMounts && mounts.tmpfs(root + "/apps", "256k")))
            QSKIP("a full disk needs root: a tmpfs in a private mount namespace");
        for (const QByteArray which : {"old", "new"}) {
            TreeBuilder(root + (which == "old" ? "/apps" : "/work") + "/Rubbly.app")
                .write("AppRun", "#!/bin/sh\necho " + which + " >> '" + root + "/started'\n")
                .chmod("AppRun", 0755)
                .file(which + "-only", which == "new" ? 1 << 20 : 1);
        }
        const auto run = [&](const QByteArray& stop) {
            QByteArray script = UpdateService::relaunchScript().toUtf8();
            TreeBuilder(root).write("relaunch.sh", script.replace("# step: " + stop + '\n', "kill -9 $$\n"));
            QProcess bash;
            bash.setWorkingDirectory(tmp.path());
            bash.start(u"bash"_s, u"relaunch.sh %1 work/Rubbly.app apps/Rubbly.app work 0 log"_s
                                      .arg(stop == "running" ? ::getpid() : 4194304) // above any pid_max
                                      .split(u' '));
            QVERIFY(bash.waitForFinished(20000));
            QCOMPARE(bash.exitStatus() == QProcess::CrashExit, script.contains("kill -9 $$"));
        };
        run(stopAt);
        const QString dest = tmp.filePath(u"apps/Rubbly.app"_s);
        const QString complete = QFileInfo::exists(dest) ? dest : dest + u".update-old"_s;
        QVERIFY(QFileInfo(complete + u"/AppRun"_s).isExecutable());
        QCOMPARE(QFileInfo::exists(complete + u"/old-only"_s), installed == "old");
        QCOMPARE(QFileInfo(complete + u"/new-only"_s).size(), installed == "new" ? 1 << 20 : 0);
        const bool refused = stopAt == "full disk" || stopAt == "running";
        if (refused)
            QVERIFY(TreeBuilder::read(root + "/log").startsWith("Rubbly was not updated"));
        else if (!stopAt.isEmpty())
            run({});
        // After a failed copy the old version starts again; one still running is left alone.
        QTRY_COMPARE(TreeBuilder::read(root + "/started"),
                     refused ? stopAt == "running" ? ""_ba : "old\n"_ba : "new\n"_ba);
        QCOMPARE(QFileInfo(dest + u"/new-only"_s).size(), refused ? 0 : 1 << 20);
        QCOMPARE(QDir(tmp.filePath(u"apps"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"Rubbly.app"_s});
        QCOMPARE(QFile::exists(tmp.filePath(u"work"_s)), refused);
    }

    // When the relaunch script cannot be written (here the work folder it goes in is missing), nothing
    // is replaced: the new version starts from where it was unpacked and this one keeps running.
    void withoutARelaunchTheNewVersionStartsInPlace()
    {
        Rig rig([](UpdateService::Config& config) {
            config.runningApplicationFolder = config.temporaryDirectory + u"/installed/Rubbly.app"_s;
        });
        const QByteArray marker = QFile::encodeName(rig.home.root()) + "/started";
        const QByteArray source = QFile::encodeName(rig.home.root()) + "/unpacked/Rubbly.app";
        TreeBuilder(source).write("AppRun", "#!/bin/sh\necho started > '" + marker + "'\n").chmod("AppRun", 0700);
        QVERIFY(!rig.service->installAndRelaunch(source));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(marker)), 5000);
        QVERIFY(TreeBuilder::exists(source + "/AppRun"));
        QCOMPARE(rig.quits, 0);
    }
};

QTEST_GUILESS_MAIN(UpdateServiceTest)
#include "UpdateServiceTest.moc"
