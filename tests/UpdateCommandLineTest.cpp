#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TempHome.h"

#include <QFileInfo>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>

using namespace rubbly::test;

namespace {
QByteArray zipWithBundle()
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    QByteArray out(1 << 20, '\0');
    size_t used = 0;
    archive_write_open_memory(a, out.data(), static_cast<size_t>(out.size()), &used);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, "Rubbly.app/AppRun");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0755);
    archive_entry_set_size(entry, 3);
    archive_write_header(a, entry);
    archive_write_data(a, "#!\n", 3);
    archive_entry_free(entry);
    archive_write_close(a);
    archive_write_free(a);
    out.truncate(static_cast<qsizetype>(used));
    return out;
}
} // namespace

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
        server.route(QStringLiteral("/downloads/Rubbly.zip"), {200, zipWithBundle()});
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
