#include "UpdateService.h"
#include "ArchiveBuilder.h"
#include "BlockingWait.h"
#include "HttpTestServer.h"
#include "MemoryDefaults.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using Kind = UpdateStatus::Kind;

namespace {

QList<ArchiveEntry> goodBundle()
{
    return {{"Rubbly.app/AppRun", "#!/bin/sh\necho new\n", 0755},
            {"Rubbly.app/usr/bin/rubbly", QByteArray(200000, 'x'), 0755}};
}

// A service configuration for tests: version 1, its work folder below `temporaryDirectory`.
UpdateService::Config testConfig(const QString& temporaryDirectory,
                                 QUrl baseURL = QUrl(QStringLiteral("https://example.invalid/")))
{
    UpdateService::Config config;
    config.baseURL = std::move(baseURL);
    config.currentVersion = QStringLiteral("1");
    config.temporaryDirectory = temporaryDirectory;
    return config;
}

struct Rig {
    TempHome home;
    HttpTestServer server;
    VirtualScheduler clock;
    MemoryDefaults defaults;
    QNetworkAccessManager network;
    std::unique_ptr<UpdateService> service;

    explicit Rig(QString version = QStringLiteral("1.2.9"))
    {
        UpdateService::Config config;
        config.baseURL = server.url(QStringLiteral("/site/"));
        config.currentVersion = std::move(version);
        // Reached through a link, as with a linked ~/.cache or /home -> /var/home.
        TreeBuilder(QFile::encodeName(home.root())).dir("var/tmp").symlink("tmp", "var/tmp");
        config.temporaryDirectory = home.root() + QStringLiteral("/tmp");
        config.checkTimeout = 300ms;
        config.downloadTimeout = 2000ms;
        service = std::make_unique<UpdateService>(defaults, clock, network, config);
    }
    void manifest(const QByteArray& json, int status = 200)
    {
        server.route(QStringLiteral("/site/version.json"), {status, json, "application/json"});
    }
    UpdateStatus check(bool manual)
    {
        blockingWait(service->checkForUpdates(manual));
        return service->status();
    }
};

} // namespace

class UpdateServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionComparison_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("newer");
        QTest::newRow("equal with a trailing zero") << "1.2"
                                                    << "1.2.0" << false;
        QTest::newRow("numeric, not textual") << "1.10"
                                              << "1.9" << true;
        QTest::newRow("major wins") << "2.0"
                                    << "1.99.99" << true;
        QTest::newRow("beta pieces count") << "1.2.0-beta.1"
                                           << "1.2.0" << true;
        QTest::newRow("rc drops to the major") << "1.3-rc"
                                               << "1.2.0" << false;
        QTest::newRow("empty pieces dropped") << "1..2"
                                              << "1.2" << false;
        QTest::newRow("both empty") << ""
                                    << "" << false;
        QTest::newRow("signs allowed") << "+2"
                                       << "1" << true;
        QTest::newRow("beyond 64 bits is dropped") << "1.99999999999999999999"
                                                   << "1.0" << false;
    }
    void versionComparison()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, newer);
        QCOMPARE(UpdateService::isVersion(a, b), newer);
    }

    void manifestDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::newRow("version only") << QByteArray(R"({"version":"v1.3.0"})") << true;
        QTest::newRow("nulls are absent") << QByteArray(R"({"version":"1","build":null,"title":null})") << true;
        QTest::newRow("unknown keys ignored") << QByteArray(R"({"version":"1","extra":[1,2]})") << true;
        QTest::newRow("build as a string") << QByteArray(R"({"version":"1","build":"42"})") << false;
        QTest::newRow("fractional build") << QByteArray(R"({"version":"1","build":4.5})") << false;
        QTest::newRow("notes as a number") << QByteArray(R"({"version":"1","releaseNotes":3})") << false;
        QTest::newRow("version missing") << QByteArray(R"({"build":1})") << false;
        QTest::newRow("version a number") << QByteArray(R"({"version":1.3})") << false;
        QTest::newRow("an array") << QByteArray("[]") << false;
        QTest::newRow("invalid UTF-8") << QByteArray("{\"version\":\"\xff\xfe\"}") << false;
        QTest::newRow("deep nesting") << QByteArray(100000, '[') << false;
    }
    void manifestDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        QCOMPARE(RemoteVersionManifest::decode(json).has_value(), valid);
    }

    void aNewerVersionIsOfferedWithDefaults()
    {
        Rig rig;
        rig.manifest(R"({"version":"v1.3.0"})");
        const UpdateStatus status = rig.check(true);
        QCOMPARE(status.kind(), Kind::UpdateAvailable);
        QCOMPARE(status.info().version, QStringLiteral("1.3.0"));
        QCOMPARE(status.info().releaseNotes, QStringLiteral("包含稳定性优化与功能增强。"));
        QCOMPARE(status.info().downloadURL, rig.server.url(QStringLiteral("/site/downloads/Rubbly.zip")));
        QVERIFY(status.info().publishedAt == std::optional(rig.clock.now()));
        const QList<QByteArray> headers = rig.server.requestHeaders(QStringLiteral("/site/version.json"));
        QVERIFY(headers.contains("Accept: application/json"));
        QVERIFY(headers.contains("User-Agent: Rubbly-App"));
    }

    void checkOutcomes_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("same version") << 200 << QByteArray(R"({"version":"1.2.9"})") << int(Kind::UpToDate) << "";
        QTest::newRow("older") << 200 << QByteArray(R"({"version":"1.2"})") << int(Kind::UpToDate) << "";
        QTest::newRow("bad downloadURL falls back")
            << 200 << QByteArray(R"({"version":"2","downloadURL":"not a url"})") << int(Kind::UpdateAvailable) << "";
        QTest::newRow("build as a string")
            << 200 << QByteArray(R"({"version":"2","build":"7"})") << int(Kind::Error) << "更新信息解析失败";
        QTest::newRow("no manifest yet") << 404 << QByteArray("gone") << int(Kind::UpToDate) << "";
        QTest::newRow("no content") << 204 << QByteArray() << int(Kind::Error) << "暂时无法连接到更新服务器";
        QTest::newRow("redirect not followed") << 301 << QByteArray() << int(Kind::Error) << "暂时无法连接到更新服务器";
        QTest::newRow("server error") << 500 << QByteArray("oops") << int(Kind::Error) << "暂时无法连接到更新服务器";
    }
    void checkOutcomes()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, message);
        Rig rig;
        rig.manifest(body, httpStatus);
        const UpdateStatus status = rig.check(false);
        QCOMPARE(int(status.kind()), kind);
        QCOMPARE(status.message(), message);
        if (status.kind() == Kind::UpdateAvailable)
            QCOMPARE(status.info().downloadURL, rig.server.url(QStringLiteral("/site/downloads/Rubbly.zip")));
    }

    void aServerThatNeverAnswersTimesOut()
    {
        Rig rig;
        rig.server.route(QStringLiteral("/site/version.json"), {200, {}, "application/json", true, true});
        QCOMPARE(rig.check(true), UpdateStatus::error(QStringLiteral("网络连接失败，请稍后重试")));
        rig.clock.advance(25h);
        QCOMPARE(rig.check(false), UpdateStatus::idle()); // silent: no message
    }

    void silentChecksAreThrottledForADay()
    {
        Rig rig;
        rig.manifest(R"({"version":"1.2.9"})");
        QVERIFY(!rig.service->lastCheckDate());
        QCOMPARE(rig.check(false).kind(), Kind::UpToDate);
        QVERIFY(rig.service->lastCheckDate() == std::optional(rig.clock.now()));
        QVERIFY(rig.defaults.dateValue(UpdateService::kLastCheckDateKey) == rig.service->lastCheckDate());
        const auto stamped = rig.service->lastCheckDate();
        rig.clock.advance(23h);
        rig.manifest(R"({"version":"9"})");
        QCOMPARE(rig.check(false).kind(), Kind::UpToDate); // skipped, unchanged
        QVERIFY(rig.service->lastCheckDate() == stamped);
        QCOMPARE(rig.server.requestCount(QStringLiteral("/site/version.json")), 1);
        rig.clock.advance(1min);
        QCOMPARE(rig.check(true).kind(), Kind::UpdateAvailable); // manual: never throttled
        rig.clock.advance(1h + 1min);
        QCOMPARE(rig.server.requestCount(QStringLiteral("/site/version.json")), 2);
    }

    void aSecondCheckWhileOneRunsIsSkipped()
    {
        Rig rig;
        rig.manifest(R"({"version":"2"})");
        auto first = rig.service->checkForUpdates(true);
        QCOMPARE(rig.service->status().kind(), Kind::Checking);
        auto second = rig.service->checkForUpdates(true);
        QVERIFY(second.isReady());
        blockingWait(std::move(first));
        QCOMPARE(rig.server.requestCount(QStringLiteral("/site/version.json")), 1);
    }

    void downloadsWithProgressAndUnpacks()
    {
        Rig rig;
        const QByteArray zip = makeArchive(goodBundle(), true);
        rig.server.route(QStringLiteral("/dl/Rubbly.ZIP"), {200, zip});
        QList<double> progress;
        connect(rig.service.get(), &UpdateService::statusChanged, rig.service.get(), [&] {
            if (rig.service->status().kind() == Kind::Downloading)
                progress.append(rig.service->status().progress());
        });
        const UpdateInfo info{QStringLiteral("2.0"), {}, rig.server.url(QStringLiteral("/dl/Rubbly.ZIP")), {}};
        blockingWait(rig.service->downloadUpdate(info));
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
        const QString bundle = rig.service->workFolder() + QStringLiteral("/Rubbly.app");
        QCOMPARE(rig.service->status().newAppPath(), QFile::encodeName(bundle));
        QVERIFY(QFileInfo(bundle + QStringLiteral("/AppRun")).isExecutable());
        QVERIFY(QFile::exists(rig.service->workFolder() + QStringLiteral("/update.zip")));
        QCOMPARE(progress.first(), 0.05);
        for (int i = 1; i < progress.size(); ++i)
            QVERIFY(progress[i] > progress[i - 1] + 0.02 || progress[i] == 0.99);
        for (double p : progress)
            QVERIFY(p <= 0.99);
    }

    void withoutALengthProgressStaysAtTheStart()
    {
        Rig rig;
        HttpTestServer::Response response{200, makeArchive(goodBundle(), false)};
        response.sendLength = false;
        rig.server.route(QStringLiteral("/dl/update.tar.gz"), response);
        QList<double> progress;
        connect(rig.service.get(), &UpdateService::statusChanged, rig.service.get(), [&] {
            if (rig.service->status().kind() == Kind::Downloading)
                progress.append(rig.service->status().progress());
        });
        blockingWait(rig.service->downloadUpdate(
            {QStringLiteral("2"), {}, rig.server.url(QStringLiteral("/dl/update.tar.gz")), {}}));
        QCOMPARE(progress, QList<double>{0.05});
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
        QVERIFY(!QFile::exists(rig.service->workFolder() + QStringLiteral("/mount")));
    }

    void unusableArchivesAreExtractionErrors_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("zip");
        QTest::newRow("a 404 page served as the archive") << QByteArray("<html>not found</html>") << true;
        QTest::newRow("an empty body") << QByteArray() << true;
        QTest::newRow("the bundle under another name") << makeArchive({{"Other.app/AppRun", "x", 0755}}, true) << true;
        QTest::newRow("AppRun not executable") << makeArchive({{"Rubbly.app/AppRun", "x", 0644}}, true) << true;
        QTest::newRow("zip slip after the bundle")
            << makeArchive(goodBundle() + QList<ArchiveEntry>{{"../../escaped.txt", "pwned"}}, true) << true;
        QTest::newRow("absolute path") << makeArchive({{"/tmp/rubbly-absolute-test", "pwned"}}, false) << false;
        QTest::newRow("symlink pointing out")
            << makeArchive(goodBundle() + QList<ArchiveEntry>{{"Rubbly.app/etc", {}, 0777, "../../../../etc"}}, false)
            << false;
        QTest::newRow("absolute symlink")
            << makeArchive(goodBundle() + QList<ArchiveEntry>{{"Rubbly.app/etc", {}, 0777, "/etc"}}, false) << false;
    }
    void unusableArchivesAreExtractionErrors()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, zip);
        Rig rig;
        const QString path = zip ? QStringLiteral("/dl/Rubbly.zip") : QStringLiteral("/dl/Rubbly.tar.gz");
        rig.server.route(path, {zip ? 200 : 404, body});
        blockingWait(rig.service->downloadUpdate({QStringLiteral("2"), {}, rig.server.url(path), {}}));
        QCOMPARE(rig.service->status(), UpdateStatus::error(QStringLiteral("更新包提取失败，请重试或在官网下载")));
        QVERIFY(!QFile::exists(rig.home.root() + QStringLiteral("/escaped.txt")));
        QVERIFY(!QFile::exists(rig.home.root() + QStringLiteral("/tmp/escaped.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/rubbly-absolute-test")));
    }

    void aWorkFolderThatIsALinkIsNeverClearedThrough()
    {
        Rig rig;
        TreeBuilder victim(QFile::encodeName(rig.home.root()) + "/victim");
        victim.file("precious.txt", 10);
        TreeBuilder(QFile::encodeName(rig.home.root()) + "/tmp").symlink("Rubbly-Update", victim.root());
        rig.server.route(QStringLiteral("/dl/Rubbly.zip"), {200, makeArchive(goodBundle(), true)});
        blockingWait(rig.service->downloadUpdate(
            {QStringLiteral("2"), {}, rig.server.url(QStringLiteral("/dl/Rubbly.zip")), {}}));
        QVERIFY(TreeBuilder::exists(victim.path("precious.txt")));
        QVERIFY(!QFileInfo(rig.service->workFolder()).isSymLink());
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
    }

    void aRefusedConnectionIsADownloadError()
    {
        Rig rig;
        QUrl dead = rig.server.url(QStringLiteral("/x.zip"));
        dead.setPort(1); // nothing listens there
        blockingWait(rig.service->downloadUpdate({QStringLiteral("2"), {}, dead, {}}));
        QCOMPARE(rig.service->status(), UpdateStatus::error(QStringLiteral("自动下载失败，建议在浏览器中下载")));
    }

    void oversizedBodiesAreRefused()
    {
        TempHome home;
        HttpTestServer server;
        server.route(QStringLiteral("/big.zip"), {200, QByteArray(300000, 'z')});
        VirtualScheduler clock;
        MemoryDefaults defaults;
        QNetworkAccessManager network;
        UpdateService::Config config = testConfig(home.root(), server.url(QStringLiteral("/")));
        config.maxDownloadBytes = 100000;
        UpdateService service(defaults, clock, network, config);
        blockingWait(service.downloadUpdate({QStringLiteral("2"), {}, server.url(QStringLiteral("/big.zip")), {}}));
        QCOMPARE(service.status(), UpdateStatus::error(QStringLiteral("自动下载失败，建议在浏览器中下载")));
    }

    void onlyABundleTheUserOwnsIsReplaceable()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("apps/Rubbly.app/AppRun", 10)
            .chmod("apps/Rubbly.app/AppRun", 0755)
            .file("apps/Rubbly.app/usr/bin/rubbly", 10);
        QCOMPARE(UpdateService::replaceableBundle(QFile::decodeName(tree.path("apps/Rubbly.app/usr/bin/rubbly"))),
                 QFile::decodeName(tree.path("apps/Rubbly.app")));
        QVERIFY(UpdateService::replaceableBundle(QStringLiteral("/usr/bin/rubbly")).isEmpty());
        tree.file("build/bin/rubbly", 10);
        QVERIFY(UpdateService::replaceableBundle(QFile::decodeName(tree.path("build/bin/rubbly"))).isEmpty());
    }

    void theRelaunchScriptReplacesTheBundleWhateverThePaths()
    {
        TempHome home;
        // Hostile characters in all three paths.
        const QByteArray odd = "we\"ird $(touch PWNED) `id` $HOME\nline";
        const QByteArray root = QFile::encodeName(home.root()) + "/" + odd;
        TreeBuilder tree(root);
        const QByteArray marker = QFile::encodeName(home.root()) + "/started";
        const QByteArray appRun = "#!/bin/sh\necho started > '" + marker + "'\n";
        tree.file("installed " + odd + "/Rubbly.app/AppRun", 1).chmod("installed " + odd + "/Rubbly.app/AppRun", 0755);
        tree.file("installed " + odd + "/Rubbly.app/old-only", 1);
        QFile::remove(QFile::decodeName(tree.path("installed " + odd + "/Rubbly.app/AppRun")));
        {
            QFile f(QFile::decodeName(tree.path("tmp " + odd + "/Rubbly-Update/Rubbly.app/AppRun")));
            QDir().mkpath(QFileInfo(f).absolutePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(appRun);
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        tree.file("tmp " + odd + "/Rubbly-Update/Rubbly.app/new-only", 1);
        tree.file("bystander", 1);

        QProcess old; // the "old" program the script waits for
        old.start(QStringLiteral("sleep"), {QStringLiteral("0.3")});
        QVERIFY(old.waitForStarted());

        VirtualScheduler clock;
        MemoryDefaults defaults;
        QNetworkAccessManager network;
        UpdateService::Config config = testConfig(QFile::decodeName(tree.path("tmp " + odd)));
        config.runningBundle = QFile::decodeName(tree.path("installed " + odd + "/Rubbly.app"));
        config.processId = old.processId();
        UpdateService service(defaults, clock, network, config);
        const QByteArray source = tree.path("tmp " + odd + "/Rubbly-Update/Rubbly.app");
        QVERIFY(service.installAndRelaunch(source));

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(marker)), 15000);
        QVERIFY(old.state() == QProcess::NotRunning || old.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!TreeBuilder::exists(tree.path("tmp " + odd + "/Rubbly-Update")), 5000);
        QVERIFY(TreeBuilder::exists(tree.path("installed " + odd + "/Rubbly.app/new-only")));
        QVERIFY(!TreeBuilder::exists(tree.path("installed " + odd + "/Rubbly.app/old-only")));
        QVERIFY(TreeBuilder::exists(tree.path("bystander")));
        QVERIFY(!QFile::exists(QStringLiteral("PWNED")));
        QVERIFY(!QFile::exists(home.root() + QStringLiteral("/PWNED")));
    }

    void withoutAReplaceableBundleNothingIsReplaced()
    {
        TempHome home;
        VirtualScheduler clock;
        MemoryDefaults defaults;
        QNetworkAccessManager network;
        UpdateService service(defaults, clock, network,
                              testConfig(home.root())); // a test binary runs from no Rubbly.app
        const QByteArray marker = QFile::encodeName(home.root()) + "/started";
        TreeBuilder tree(QFile::encodeName(home.root()) + "/Rubbly-Update/Rubbly.app");
        {
            QFile f(QFile::decodeName(tree.path("AppRun")));
            QDir().mkpath(QFileInfo(f).absolutePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\necho started > '" + marker + "'\n");
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        QVERIFY(!service.installAndRelaunch(tree.root()));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(marker)), 5000); // started in place
        QVERIFY(TreeBuilder::exists(tree.path("AppRun")));
    }
};

QTEST_GUILESS_MAIN(UpdateServiceTest)
#include "UpdateServiceTest.moc"
