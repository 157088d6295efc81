// What scripts/package writes (run on this build by the PackageBuild fixture), checked as a user's
// machine meets it: the .deb unpacked into a scratch root and run there, lintian's verdict on it, the
// application folder unpacked by the updater's own unpacker and started through its AppRun, and the
// manifest naming the version both of them print.

#include "ArchiveExtractor.h"
#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "UpdateService.h"
#include "UpdateTypes.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

const QString kDist = QStringLiteral(RUBBLY_PACKAGE_DIST);
// What `rubbly --version` prints: the same two build settings the package names carry.
const QByteArray kVersionLine = "rubbly " RUBBLY_VERSION " (" RUBBLY_BUILD_NUMBER ")\n";

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString debianArchitecture()
{
    return QString::fromUtf8(runProcess(u"dpkg"_s, {u"--print-architecture"_s}).out.trimmed());
}

QString packagePath()
{
    return kDist + u"/downloads/rubbly_%1-%2_%3.deb"_s.arg(QStringLiteral(RUBBLY_VERSION),
                                                           QStringLiteral(RUBBLY_BUILD_NUMBER), debianArchitecture());
}

} // namespace

class PackageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void manifestAnnouncesThisBuild()
    {
        const QByteArray json = readFile(kDist + u"/version.json"_s);
        // The updater's own reader accepts it, with every optional key of the right type.
        const std::optional<RemoteVersionManifest> manifest = RemoteVersionManifest::decode(json);
        QVERIFY2(manifest, json.constData());
        QCOMPARE(manifest->version, QStringLiteral(RUBBLY_VERSION));
        QCOMPARE(manifest->build, QStringLiteral(RUBBLY_BUILD_NUMBER).toLongLong());
        QVERIFY(manifest->releaseNotes && !manifest->releaseNotes->trimmed().isEmpty());
        QVERIFY(manifest->pubDate && QDateTime::fromString(*manifest->pubDate, Qt::ISODate).isValid());
        // The archive sits where the manifest says, which is also the updater's fallback path.
        QCOMPARE(QUrl(manifest->downloadURL.value_or(QString())),
                 QUrl(QStringLiteral(RUBBLY_UPDATE_BASE_URL)).resolved(QUrl(u"downloads/Rubbly.zip"_s)));
        QVERIFY(QFileInfo(kDist + u"/downloads/Rubbly.zip"_s).isFile());
        QVERIFY2(QFileInfo(packagePath()).isFile(), qPrintable(packagePath()));
    }

    void debianPackageRunsFromAScratchRoot()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const ProcessResult unpacked = runProcess(u"dpkg-deb"_s, {u"-x"_s, packagePath(), root.path()});
        QVERIFY2(unpacked.exitCode == 0, unpacked.err.constData());
        for (const QString& file : {u"usr/bin/rubbly"_s, u"usr/share/applications/com.tolvik.Rubbly.desktop"_s,
                                    u"usr/share/metainfo/com.tolvik.Rubbly.metainfo.xml"_s,
                                    u"usr/share/icons/hicolor/scalable/apps/com.tolvik.Rubbly.svg"_s,
                                    u"usr/share/icons/hicolor/symbolic/apps/com.tolvik.Rubbly-symbolic.svg"_s,
                                    u"usr/share/doc/rubbly/copyright"_s, u"usr/share/doc/rubbly/changelog.Debian.gz"_s})
            QVERIFY2(QFileInfo::exists(root.filePath(file)), qPrintable(file));
        // Computed from the program, plus what it only loads or plays at run time.
        const QByteArray depends = runProcess(u"dpkg-deb"_s, {u"-f"_s, packagePath(), u"Depends"_s}).out;
        for (const char* package : {"libqt6core6", "libqcoro6core0", "libarchive13", "libcanberra0",
                                    "sound-theme-freedesktop", "fonts-noto-cjk", "fonts-jetbrains-mono"})
            QVERIFY2(depends.contains(package), depends.constData());

        TempHome home;
        HttpTestServer server;
        EnvGuard env;
        env.set("RUBBLY_MOUNTINFO", "/dev/null"); // no real volume's trash
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(u"/"_s).toString().toUtf8());
        const QString program = root.filePath(u"usr/bin/rubbly"_s);
        QCOMPARE(runProcess(program, {u"--version"_s}).out, kVersionLine);

        const ProcessResult status = runProcess(program, {u"trash"_s, u"status"_s, u"--json"_s});
        QVERIFY2(status.exitCode == 0, status.err.constData());
        const QJsonObject trash = QJsonDocument::fromJson(status.out).object();
        QCOMPARE(trash.value(u"itemCount"_s).toInt(-1), 0);
        QCOMPARE(trash.value(u"totalSize"_s).toInt(-1), 0);

        // A package install leaves updating to the package manager: nothing is even fetched.
        const ProcessResult install = runProcess(program, {u"update"_s, u"install"_s});
        QCOMPARE(install.exitCode, 1);
        QVERIFY2(install.err.contains("package manager"), install.err.constData());
        QCOMPARE(server.requestCount(u"/version.json"_s), 0);
        QVERIFY(!QFileInfo::exists(home.cacheHome() + u"/rubbly"_s));
    }

    void lintianFindsNoError()
    {
        if (QStandardPaths::findExecutable(u"lintian"_s).isEmpty())
            QSKIP("lintian is not installed (scripts/setup installs it)");
        const ProcessResult lintian = runProcess(u"lintian"_s, {u"--tag-display-limit"_s, u"0"_s, packagePath()});
        // Warnings may stay; they are listed in the log for whoever reads it.
        const QList<QByteArray> lines = lintian.out.split('\n');
        for (const QByteArray& line : lines)
            if (!line.isEmpty())
                qInfo("%s", line.constData());
        for (const QByteArray& line : lines)
            QVERIFY2(!line.startsWith("E: "), line.constData());
        // Its status says whether it failed on an error tag or could not check at all.
        QVERIFY2(lintian.exitCode == 0, lintian.err.constData());
    }

    void bundleStartsFromAnyFolderAndIsReplaceable()
    {
        TempHome home;
        const QString apps = home.home() + u"/Applications"_s;
        QVERIFY(QDir().mkpath(apps));
        QString why;
        QVERIFY2(ArchiveExtractor::extract(QFile::encodeName(kDist + u"/downloads/Rubbly.zip"_s),
                                           QFile::encodeName(apps), &why),
                 qPrintable(why));
        const QString bundle = apps + u"/Rubbly.app"_s;
        QVERIFY(QFileInfo(bundle + u"/AppRun"_s).isExecutable());
        QCOMPARE(runProcess(bundle + u"/AppRun"_s, {u"--version"_s}).out, kVersionLine);

        // Reached through a link elsewhere (a ~/bin/rubbly), it still starts the program beside it.
        const QString link = home.home() + u"/bin/rubbly"_s;
        QVERIFY(QDir().mkpath(home.home() + u"/bin"_s));
        QVERIFY(QFile::link(bundle + u"/AppRun"_s, link));
        QCOMPARE(runProcess(link, {u"--version"_s}).out, kVersionLine);

        // The status item's theme path and the self-updater both find what they look for.
        QVERIFY(QFileInfo::exists(bundle + u"/share/icons/hicolor/symbolic/apps/com.tolvik.Rubbly-symbolic.svg"_s));
        QCOMPARE(UpdateService::replaceableBundle(bundle + u"/bin/rubbly"_s), bundle);
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "PackageTest.moc"
