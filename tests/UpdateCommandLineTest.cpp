#include "ArchiveBuilder.h"
#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TempHome.h"

#include <QFileInfo>
#include <QTest>

using namespace rubbly::test;

class UpdateCommandLineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkAndDownloadThroughTheCommandLine()
    {
        TempHome home;
        HttpTestServer server;
        EnvGuard env;
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(QStringLiteral("/")).toString().toUtf8());

        server.route(QStringLiteral("/version.json"), {404, "none"});
        ProcessResult check =
            runProcess(QStringLiteral(RUBBLY_BINARY), {QStringLiteral("update"), QStringLiteral("check")});
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(check.out.contains("is up to date"), check.out.constData());

        server.route(QStringLiteral("/version.json"), {500, "oops"});
        check = runProcess(QStringLiteral(RUBBLY_BINARY), {QStringLiteral("update"), QStringLiteral("check")});
        QCOMPARE(check.exitCode, 1);
        QVERIFY(check.err.contains("暂时无法连接到更新服务器"));

        server.route(QStringLiteral("/version.json"),
                     {200, R"({"version":"99.0","releaseNotes":"新功能"})", "application/json"});
        server.route(QStringLiteral("/downloads/Rubbly.zip"),
                     {200, makeArchive({{"Rubbly.app/AppRun", "#!\n", 0755}}, true)});
        const ProcessResult download =
            runProcess(QStringLiteral(RUBBLY_BINARY), {QStringLiteral("update"), QStringLiteral("download")});
        QCOMPARE(download.exitCode, 0);
        QVERIFY(download.out.contains("99.0 is available"));
        const QString bundle = QString::fromUtf8(download.out.trimmed().split('\n').last());
        QCOMPARE(bundle, home.cacheHome() + QStringLiteral("/rubbly/Rubbly-Update/Rubbly.app"));
        QVERIFY(QFileInfo(bundle + QStringLiteral("/AppRun")).isExecutable());
    }
};

QTEST_GUILESS_MAIN(UpdateCommandLineTest)
#include "UpdateCommandLineTest.moc"
