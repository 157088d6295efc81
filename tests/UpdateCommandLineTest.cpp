#include "ArchiveBuilder.h"
#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TempHome.h"

#include <QFileInfo>
#include <QTest>

using namespace rubbly::test;
using namespace Qt::StringLiterals;

class UpdateCommandLineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkAndDownloadThroughTheCommandLine()
    {
        TempHome home;
        HttpTestServer server;
        EnvGuard env;
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(u"/"_s).toString().toUtf8());

        server.route(u"/version.json"_s, {404, "none"});
        ProcessResult check = runProcess(QStringLiteral(RUBBLY_BINARY), {u"update"_s, u"check"_s});
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(check.out.contains("is up to date"), check.out.constData());

        server.route(u"/version.json"_s, {500, "oops"});
        check = runProcess(QStringLiteral(RUBBLY_BINARY), {u"update"_s, u"check"_s});
        QCOMPARE(check.exitCode, 1);
        // The command line speaks English whatever the locale (this test runs in a Chinese one).
        QVERIFY2(check.err.contains("Cannot reach the update server right now"), check.err.constData());

        server.route(u"/version.json"_s, {200, R"({"version":"99.0","releaseNotes":"新功能"})", "application/json"});
        server.route(u"/downloads/Rubbly.zip"_s, {200, makeArchive({{"Rubbly.app/AppRun", "#!\n", 0755}}, true)});
        const ProcessResult download = runProcess(QStringLiteral(RUBBLY_BINARY), {u"update"_s, u"download"_s});
        QCOMPARE(download.exitCode, 0);
        QVERIFY(download.out.contains("99.0 is available"));
        const QString bundle = QString::fromUtf8(download.out.trimmed().split('\n').last());
        QCOMPARE(bundle, home.cacheHome() + u"/rubbly/Rubbly-Update/Rubbly.app"_s);
        QVERIFY(QFileInfo(bundle + u"/AppRun"_s).isExecutable());
    }
};

QTEST_GUILESS_MAIN(UpdateCommandLineTest)
#include "UpdateCommandLineTest.moc"
