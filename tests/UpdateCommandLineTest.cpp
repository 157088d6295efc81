#include "ArchiveBuilder.h"
#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "UpdateSigning.h"

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

        // Failures are said in English, like the rest of the command line.
        server.route(u"/version.json"_s, {500, "oops"});
        check = runProcess(QStringLiteral(RUBBLY_BINARY), {u"update"_s, u"check"_s});
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.err.contains("rubbly: the update server answered HTTP 500"), check.err.constData());

        server.route(u"/version.json"_s, {200, R"({"version":"99.0","releaseNotes":"新功能"})", "application/json"});
        const QByteArray archive = makeArchive({{"Rubbly.app/AppRun", "#!\n", 0755}}, true);
        server.route(u"/downloads/Rubbly.zip"_s, {200, archive});
        // Signed with the key this build trusts: unpacked. (What is refused, and why, is the
        // updater's own test.)
        const SigningKey key = SigningKey::ofThisBuild();
        QVERIFY2(!key.secretKeyFile.isEmpty(), "this build trusts no test key (RUBBLY_TEST_UPDATE_KEY)");
        server.route(u"/downloads/Rubbly.zip.minisig"_s, {200, key.sign(archive, u"99.0"_s)});
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
