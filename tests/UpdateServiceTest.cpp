#include "UpdateService.h"
#include "ArchiveBuilder.h"
#include "BlockingWait.h"
#include "HttpTestServer.h"
#include "MemoryDefaults.h"
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
#include <QTest>

#include <functional>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Kind = UpdateStatus::Kind;

namespace {

// The program is noise, so the archive is as large as its content and arrives in several pieces.
QList<ArchiveEntry> goodBundle()
{
    QByteArray program(200000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(program.data()), program.size() / 4);
    return {{"Rubbly.app/AppRun", "#!/bin/sh\necho new\n", 0755}, {"Rubbly.app/usr/bin/rubbly", program, 0755}};
}

// A Rubbly.app whose AppRun leaves `marker` behind when it starts.
void makeBundle(const QByteArray& bundle, const QByteArray& marker)
{
    TreeBuilder(bundle).write("AppRun", "#!/bin/sh\necho started > '" + marker + "'\n").chmod("AppRun", 0700);
}

struct Rig {
    TempHome home;
    SigningKey key = SigningKey::make(home.root());
    HttpTestServer server;
    VirtualScheduler clock;
    MemoryDefaults defaults;
    QNetworkAccessManager network;
    std::unique_ptr<UpdateService> service;
    // Every progress value published while downloading, in order.
    QList<double> progress;
    int quits = 0;

    explicit Rig(const std::function<void(UpdateService::Config&)>& adjust = {})
    {
        // The cache folder is reached through a link, as with a linked ~/.cache or /home -> /var/home.
        QDir(home.cacheHome()).removeRecursively();
        TreeBuilder(QFile::encodeName(home.root())).dir("var/cache").symlink("home/.cache", "../var/cache");
        UpdateService::Config config = UpdateService::Config::defaults();
        config.baseURL = server.url(QStringLiteral("/site/"));
        config.currentVersion = QStringLiteral("1.2.9");
        config.checkTimeout = 300ms;
        config.downloadTimeout = 2000ms;
        config.quit = [this] { ++quits; };
        config.trustedKeys = UpdateService::parseKeys(QString::fromLatin1(key.publicKey));
        if (adjust)
            adjust(config);
        service = std::make_unique<UpdateService>(defaults, clock, network, config);
        QObject::connect(service.get(), &UpdateService::statusChanged, service.get(), [this] {
            if (service->status().kind() == Kind::Downloading)
                progress.append(service->status().progress());
        });
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
    // Serves `response` at `path` and, beside it, its signature by the trusted key as version 2.
    void serve(const QString& path, const HttpTestServer::Response& response)
    {
        server.route(path, response);
        server.route(path + QStringLiteral(".minisig"), {200, key.sign(response.body, QStringLiteral("2"))});
    }
    UpdateStatus download(const QString& path) { return download(server.url(path)); }
    UpdateStatus download(const QUrl& url)
    {
        blockingWait(service->downloadUpdate({QStringLiteral("2"), {}, url, {}}));
        return service->status();
    }
    QString workFile(const QString& name) const { return service->workFolder() + QLatin1Char('/') + name; }
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
        const auto row = [](const char* name, const char* a, const char* b, bool newer) {
            QTest::newRow(name) << QString::fromUtf8(a) << QString::fromUtf8(b) << newer;
        };
        row("equal with a trailing zero", "1.2", "1.2.0", false);
        row("numeric, not textual", "1.10", "1.9", true);
        row("major wins", "2.0", "1.99.99", true);
        row("beta pieces count", "1.2.0-beta.1", "1.2.0", true);
        row("rc drops to the major", "1.3-rc", "1.2.0", false);
        row("empty pieces dropped", "1..2", "1.2", false);
        row("both empty", "", "", false);
        row("signs allowed", "+2", "1", true);
        row("beyond 64 bits is dropped", "1.99999999999999999999", "1.0", false);
    }
    void versionComparison()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, newer);
        QCOMPARE(UpdateService::isVersion(a, b), newer);
    }

    void manifestDecoding()
    {
        for (const char* json : {R"({"version":"v1.3.0"})", R"({"version":"1","build":null,"title":null})",
                                 R"({"version":"1","extra":[1,2]})"}) // nulls are absent, unknown keys ignored
            QVERIFY2(RemoteVersionManifest::decode(json).has_value(), json);
        for (const QByteArray& json :
             {R"({"version":"1","build":"42"})"_ba, R"({"version":"1","build":4.5})"_ba,
              R"({"version":"1","releaseNotes":3})"_ba, R"({"build":1})"_ba, R"({"version":1.3})"_ba, "[]"_ba,
              "{\"version\":\"\xff\xfe\"}"_ba, QByteArray(100000, '[')})
            QVERIFY2(!RemoteVersionManifest::decode(json).has_value(), json.left(40).constData());
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
        QTest::addColumn<QString>("base"); // the update host; empty: the test server
        const auto row = [](const char* name, int status, const char* body, Kind kind, const char* message,
                            const char* base = "") {
            QTest::newRow(name) << status << QByteArray(body) << int(kind) << QString::fromUtf8(message)
                                << QString::fromUtf8(base);
        };
        const char* unreachable = "暂时无法连接到更新服务器";
        row("same version", 200, R"({"version":"1.2.9"})", Kind::UpToDate, "");
        row("older", 200, R"({"version":"1.2"})", Kind::UpToDate, "");
        row("bad downloadURL falls back", 200, R"({"version":"2","downloadURL":"not a url"})", Kind::UpdateAvailable,
            "");
        row("build as a string", 200, R"({"version":"2","build":"7"})", Kind::Error, "更新信息解析失败");
        row("no manifest yet", 404, "gone", Kind::UpToDate, "");
        row("no content", 204, "", Kind::Error, unreachable);
        row("redirect not followed", 301, "", Kind::Error, unreachable);
        row("server error", 500, "oops", Kind::Error, unreachable);
        // Silent checks too: the fallback archive must not stand in for an address refused.
        row("a manifest naming http elsewhere", 200,
            R"({"version":"2","downloadURL":"http://updates.invalid/Rubbly.zip"})", Kind::Error,
            "更新地址未使用 HTTPS，已拒绝下载");
        row("an update host in the clear", 200, R"({"version":"2"})", Kind::Error, "无效的更新请求地址",
            "http://updates.invalid/");
    }
    void checkOutcomes()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(QString, base);
        Rig rig([&](UpdateService::Config& config) {
            if (!base.isEmpty())
                config.baseURL = QUrl(base);
        });
        rig.manifest(body, httpStatus);
        const UpdateStatus status = rig.check(false);
        QCOMPARE(int(status.kind()), kind);
        QCOMPARE(status.message(), message);
        if (status.kind() == Kind::UpdateAvailable)
            QCOMPARE(status.info().downloadURL, rig.server.url(QStringLiteral("/site/downloads/Rubbly.zip")));
        if (body.contains("http:") || !base.isEmpty())
            QVERIFY2(status.detail().contains(u"https"), qPrintable(status.detail()));
        QCOMPARE(rig.server.requestCount(QStringLiteral("/site/version.json")), base.isEmpty() ? 1 : 0);
    }

    void aServerThatNeverAnswersTimesOut()
    {
        Rig rig;
        rig.server.route(QStringLiteral("/site/version.json"), {200, {}, "application/json", true, true});
        QCOMPARE(rig.check(true).message(), QStringLiteral("网络连接失败，请稍后重试"));
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
        QVERIFY(rig.defaults.dateValue(kLastUpdateCheckDateKey) == rig.service->lastCheckDate());
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

    void aCheckWhileACheckOrADownloadRunsIsSkipped()
    {
        Rig rig;
        rig.manifest(R"({"version":"2"})");
        const char* skipped = "已有更新检查任务正在执行中，跳过本次调用";
        auto first = rig.service->checkForUpdates(true);
        QCOMPARE(rig.service->status().kind(), Kind::Checking);
        QTest::ignoreMessage(QtDebugMsg, skipped);
        QVERIFY(rig.service->checkForUpdates(true).isReady());
        blockingWait(std::move(first));

        rig.serve(QStringLiteral("/site/downloads/Rubbly.zip"), {200, makeArchive(goodBundle(), true)});
        auto download = rig.service->downloadUpdate(rig.service->status().info());
        QTest::ignoreMessage(QtDebugMsg, skipped);
        QVERIFY(rig.service->checkForUpdates(true).isReady());
        QCOMPARE(rig.service->status().kind(), Kind::Downloading);
        blockingWait(std::move(download));
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
        QCOMPARE(rig.server.requestCount(QStringLiteral("/site/version.json")), 1);
    }

    void streamsIntoAFreshWorkFolderAndUnpacks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("zip");
        QTest::newRow("zip, in capitals, with a length") << "/dl/Rubbly.ZIP" << true;
        QTest::newRow("tar without a length, work folder a link") << "/dl/update.tar.gz" << false;
    }
    void streamsIntoAFreshWorkFolderAndUnpacks()
    {
        QFETCH(QString, path);
        QFETCH(bool, zip);
        const bool sendLength = zip, linkedWorkFolder = !zip;
        Rig rig;
        // What was there before: a folder to empty, or a link to remove, never to clear through.
        const QByteArray victim = QFile::encodeName(rig.home.root()) + "/victim";
        TreeBuilder(linkedWorkFolder ? victim : QFile::encodeName(rig.service->workFolder())).file("stale/old", 10);
        if (linkedWorkFolder)
            TreeBuilder(QFile::encodeName(rig.home.cacheHome())).symlink("rubbly/Rubbly-Update", victim);
        // A tar made inside the folder starts with "./", the folder itself: unpacked as nothing.
        const QByteArray body =
            makeArchive((zip ? QList<ArchiveEntry>{} : QList<ArchiveEntry>{{"./", {}, 0700}}) + goodBundle(), zip);
        HttpTestServer::Response response{200, body, "application/octet-stream", sendLength};
        response.holdAfter = body.size() / 2;
        rig.serve(path, response);
        auto download = rig.service->downloadUpdate({QStringLiteral("2"), {}, rig.server.url(path), {}});
        // Half the body is on disk, in a work folder emptied before it came, while the rest is due.
        const QString archive = rig.workFile(zip ? QStringLiteral("update.zip") : QStringLiteral("update.tar"));
        QTRY_COMPARE(QFileInfo(archive).size(), body.size() / 2);
        QVERIFY(!QFile::exists(rig.workFile(QStringLiteral("stale"))));
        QVERIFY(!QFileInfo(rig.service->workFolder()).isSymLink());
        QCOMPARE(TreeBuilder::exists(victim + "/stale/old"), linkedWorkFolder);
        rig.server.release();
        blockingWait(std::move(download));

        QCOMPARE(rig.service->status().newAppPath(), QFile::encodeName(rig.workFile(QStringLiteral("Rubbly.app"))));
        QCOMPARE(rig.service->status().kind(), Kind::ReadyToInstall);
        QVERIFY(QFileInfo(rig.workFile(QStringLiteral("Rubbly.app/AppRun"))).isExecutable());
        QVERIFY(!QFile::exists(rig.workFile(QStringLiteral("mount"))));
        if (!sendLength) {
            QCOMPARE(rig.progress, QList<double>{0.05});
            return;
        }
        QCOMPARE(rig.progress.first(), 0.05);
        QCOMPARE(rig.progress.last(), 0.99);
        for (qsizetype i = 1; i < rig.progress.size(); ++i)
            QVERIFY(rig.progress[i] > rig.progress[i - 1] + 0.02 || rig.progress[i] == 0.99);
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
        QTest::newRow("a link in place of the folder itself")
            << makeArchive(QList<ArchiveEntry>{{".", {}, 0777, "elsewhere"}} + goodBundle(), false) << false;
        QTest::newRow("absolute symlink")
            << makeArchive(goodBundle() + QList<ArchiveEntry>{{"Rubbly.app/etc", {}, 0777, "/etc"}}, false) << false;
        // Each link stays inside on its own; together they lead out, which only writing through them shows.
        QTest::newRow("writing through links inside")
            << makeArchive(goodBundle() + QList<ArchiveEntry>{{"x/b", {}, 0777, ".."},
                                                              {"a", {}, 0777, "x/b/.."},
                                                              {"a/escaped.txt", "pwned"}},
                           false)
            << false;
    }
    void unusableArchivesAreExtractionErrors()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, zip);
        Rig rig;
        const QString path = zip ? QStringLiteral("/dl/Rubbly.zip") : QStringLiteral("/dl/Rubbly.tar.gz");
        rig.serve(path, {zip ? 200 : 404, body});
        QCOMPARE(rig.download(path).message(), QStringLiteral("更新包提取失败，请重试或在官网下载"));
        for (const QString& outside : {rig.home.root(), rig.home.cacheHome(),
                                       rig.home.cacheHome() + QStringLiteral("/rubbly"), rig.service->workFolder()})
            QVERIFY(!QFile::exists(outside + QStringLiteral("/escaped.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/rubbly-absolute-test")));
        QVERIFY(!QFileInfo(rig.workFile(QStringLiteral("mount"))).isSymLink());
    }

    void downloadFailures_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("sendLength");
        QTest::newRow("connection refused") << 1 << true; // nothing listens on port 1
        QTest::newRow("announced length over the limit") << 0 << true;
        QTest::newRow("body over the limit, no length") << 0 << false;
    }
    void downloadFailures()
    {
        QFETCH(int, port);
        QFETCH(bool, sendLength);
        Rig rig([](UpdateService::Config& config) { config.maxDownloadBytes = 100000; });
        HttpTestServer::Response big{200, QByteArray(300000, 'z')};
        big.sendLength = sendLength;
        rig.serve(QStringLiteral("/big.zip"), big);
        QUrl url = rig.server.url(QStringLiteral("/big.zip"));
        if (port)
            url.setPort(port);
        QCOMPARE(rig.download(url).message(), QStringLiteral("自动下载失败，建议在浏览器中下载"));
        if (sendLength) // refused before a byte of it is written
            QCOMPARE(QFileInfo(rig.workFile(QStringLiteral("update.zip"))).size(), 0);
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

    // Each way an archive can fail its signature, and the two ways it can be fetched in the clear:
    // refused with its message, nothing unpacked, no archive left behind.
    void updatesWithoutAGoodSignatureAreRefused_data()
    {
        QTest::addColumn<QString>("tamper");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("archiveFetched");
        const auto row = [](const char* name, const char* tamper, const char* message, const char* detail,
                            bool fetched = false) {
            QTest::newRow(name) << QString::fromUtf8(tamper) << QString::fromUtf8(message) << QString::fromUtf8(detail)
                                << fetched;
        };
        const char* refused = "更新包签名校验失败，已拒绝安装";
        const char* clear = "更新地址未使用 HTTPS，已拒绝下载";
        row("unsigned", "unsigned", refused, "has no signature, the server answered HTTP 404");
        row("signed by another key", "other key", refused, "which this build does not trust");
        row("a signature of other bytes", "other bytes", refused, "the archive does not match its signature", true);
        row("a truncated signature", "truncated", refused, "its signature is malformed");
        row("a page in place of the signature", "page", refused, "its signature is malformed");
        row("a trusted comment changed", "comment", refused, "trusted comment of its signature does not verify");
        row("signed as an older version", "old version", refused, "signed as version 1.0, not the announced 2");
        row("http on another host", "http", clear, "updates are fetched over https only");
        row("a redirect into the clear", "redirect", clear,
            "to http://updates.invalid/Rubbly.zip, which is not an https:// address", true);
        row("a build without a key", "no key", "此版本未内置更新签名公钥，无法安装更新，请在官网下载新版本",
            "this build has no update signing key");
    }
    void updatesWithoutAGoodSignatureAreRefused()
    {
        QFETCH(QString, tamper);
        QFETCH(QString, message);
        QFETCH(QString, detail);
        QFETCH(bool, archiveFetched);
        Rig rig([&](UpdateService::Config& config) {
            if (tamper == u"no key")
                config.trustedKeys.clear();
        });
        const QString path = QStringLiteral("/dl/Rubbly.zip");
        const QByteArray archive = makeArchive(goodBundle(), true);
        QByteArray signature = rig.key.sign(archive, QStringLiteral("2"));
        if (tamper == u"other key")
            signature = SigningKey::make(rig.home.root(), QStringLiteral("other")).sign(archive, QStringLiteral("2"));
        else if (tamper == u"other bytes")
            signature = rig.key.sign(archive + "x", QStringLiteral("2"));
        else if (tamper == u"truncated")
            signature.chop(30);
        else if (tamper == u"page")
            signature = "<html>not here</html>";
        else if (tamper == u"comment")
            signature.replace("version:2", "version:3");
        else if (tamper == u"old version")
            signature = rig.key.sign(archive, QStringLiteral("1.0"));
        rig.server.route(path, {200, archive});
        if (tamper == u"redirect") {
            HttpTestServer::Response moved{302, {}};
            moved.headers = {{"Location", "http://updates.invalid/Rubbly.zip"}};
            rig.server.route(path, moved);
        }
        if (tamper != u"unsigned")
            rig.server.route(path + QStringLiteral(".minisig"), {200, signature});
        QUrl url = rig.server.url(path);
        if (tamper == u"http")
            url = QUrl(QStringLiteral("http://updates.invalid/Rubbly.zip"));

        const UpdateStatus status = rig.download(url);
        QCOMPARE(status.kind(), Kind::Error);
        QCOMPARE(status.message(), message);
        QVERIFY2(status.detail().contains(detail), qPrintable(status.detail()));
        QCOMPARE(rig.server.requestCount(path) > 0, archiveFetched);
        QVERIFY(!QFile::exists(rig.workFile(QStringLiteral("update.zip"))));
        QVERIFY(!QFile::exists(rig.workFile(QStringLiteral("Rubbly.app"))));
    }

    void aSecureRedirectIsFollowed()
    {
        Rig rig;
        const QByteArray archive = makeArchive(goodBundle(), true);
        rig.serve(QStringLiteral("/mirror/Rubbly.zip"), {200, archive});
        HttpTestServer::Response moved{302, {}};
        moved.headers = {{"Location", rig.server.url(QStringLiteral("/mirror/Rubbly.zip")).toEncoded()}};
        rig.server.route(QStringLiteral("/dl/Rubbly.zip"), moved);
        moved.headers = {{"Location", rig.server.url(QStringLiteral("/mirror/Rubbly.zip.minisig")).toEncoded()}};
        rig.server.route(QStringLiteral("/dl/Rubbly.zip.minisig"), moved);
        QCOMPARE(rig.download(QStringLiteral("/dl/Rubbly.zip")).kind(), Kind::ReadyToInstall);
    }

    // minisign's legacy signatures (minisign -l) verify like its default prehashed ones, which every
    // download here is signed with; its whole .pub file reads as its one key line, and the key id is
    // shown as minisign prints it.
    void legacySignaturesAndWholeKeyFilesVerify()
    {
        TempHome home;
        const SigningKey key = SigningKey::make(home.root());
        QByteArray content(300000, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
        TreeBuilder(QFile::encodeName(home.root())).write("archive", content);
        const QByteArray pub = TreeBuilder::read(QFile::encodeName(home.root()) + "/test.pub");
        const auto whole = MinisignKey::parse(pub);
        const auto line = MinisignKey::parse(key.publicKey);
        QVERIFY(whole && line && *whole == *line);
        // minisign prints the id as a plain hex number: without the leading zeros of a 16-digit id.
        QString id = whole->keyIdText();
        while (id.size() > 1 && id.startsWith(u'0'))
            id.remove(0, 1);
        QVERIFY(pub.startsWith("untrusted comment: minisign public key " + id.toLatin1() + '\n'));
        const auto signature = MinisignSignature::parse(key.sign(content, u"2"_s, true));
        QVERIFY2(signature, qPrintable(signature ? QString() : signature.error()));
        QVERIFY(!signature->prehashed);
        QCOMPARE(trustedCommentField(signature->trustedComment, "version"), std::optional<QByteArray>("2"));
        QCOMPARE(verifyMinisignFile(*signature, {*whole}, home.root() + u"/archive"_s), SignatureCheck::Valid);
        content[1234] = char(content[1234] ^ 1);
        QCOMPARE(verifyMinisign(*signature, {*whole}, content), SignatureCheck::BadSignature);
    }

    void theRelaunchScriptReplacesTheBundleWhateverThePaths()
    {
        TempHome home;
        // Hostile characters in all three paths.
        const QByteArray odd = "we\"ird $(touch PWNED) `id` $HOME\nline";
        TreeBuilder tree(QFile::encodeName(home.root()) + "/" + odd);
        const QByteArray marker = QFile::encodeName(home.root()) + "/started";
        tree.file("installed " + odd + "/Rubbly.app/old-only", 1);
        const QByteArray source = tree.path("tmp " + odd + "/Rubbly-Update/Rubbly.app");
        makeBundle(source, marker);
        tree.file("tmp " + odd + "/Rubbly-Update/Rubbly.app/new-only", 1).file("bystander", 1);

        QProcess old; // the "old" program the script waits for; it ends when its input does
        old.start(QStringLiteral("cat"), QStringList());
        QVERIFY(old.waitForStarted());
        Rig rig([&](UpdateService::Config& config) {
            config.temporaryDirectory = QFile::decodeName(tree.path("tmp " + odd));
            config.runningBundle = QFile::decodeName(tree.path("installed " + odd + "/Rubbly.app"));
            config.processId = old.processId();
        });
        QVERIFY(rig.service->installAndRelaunch(source));
        QCOMPARE(rig.quits, 1); // the script waits for this process to end
        old.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(marker)), 15000);
        QVERIFY(old.state() == QProcess::NotRunning || old.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!TreeBuilder::exists(tree.path("tmp " + odd + "/Rubbly-Update")), 5000);
        QVERIFY(TreeBuilder::exists(tree.path("installed " + odd + "/Rubbly.app/new-only")));
        QVERIFY(!TreeBuilder::exists(tree.path("installed " + odd + "/Rubbly.app/old-only")));
        QVERIFY(TreeBuilder::exists(tree.path("bystander")));
        QVERIFY(!QFile::exists(QStringLiteral("PWNED")));
        QVERIFY(!QFile::exists(home.root() + QStringLiteral("/PWNED")));
    }

    void withoutARelaunchTheNewVersionStartsInPlace_data()
    {
        QTest::addColumn<bool>("replaceable");
        QTest::newRow("not a replaceable bundle") << false;    // a test binary runs from no Rubbly.app
        QTest::newRow("the script cannot be written") << true; // no work folder to write it in
    }
    void withoutARelaunchTheNewVersionStartsInPlace()
    {
        QFETCH(bool, replaceable);
        Rig rig([&](UpdateService::Config& config) {
            if (replaceable)
                config.runningBundle = config.temporaryDirectory + QStringLiteral("/installed/Rubbly.app");
        });
        const QByteArray marker = QFile::encodeName(rig.home.root()) + "/started";
        const QByteArray source = QFile::encodeName(rig.home.root()) + "/unpacked/Rubbly.app";
        makeBundle(source, marker);
        QVERIFY(!rig.service->installAndRelaunch(source));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFile::decodeName(marker)), 5000);
        QVERIFY(TreeBuilder::exists(source + "/AppRun"));
        QCOMPARE(rig.quits, 0); // this one keeps running
    }
};

QTEST_GUILESS_MAIN(UpdateServiceTest)
#include "UpdateServiceTest.moc"
