// What scripts/package writes (run on this build by the PackageBuild fixture), checked as a user's
// machine meets it: the .deb unpacked into a scratch root and run there, lintian's verdict on it, the
// application folder unpacked by the updater's own unpacker and started through its AppRun, and the
// manifest naming the version both of them print, the archive's signature, and the application folder's
// own check of the libraries it needs.

#include "ArchiveExtractor.h"
#include "HttpTestServer.h"
#include "Minisign.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "UpdateService.h"
#include "UpdateSigning.h"
#include "UpdateTypes.h"

#include <QFile>
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

QString packagePath()
{
    const QString architecture = QString::fromUtf8(runProcess(u"dpkg"_s, {u"--print-architecture"_s}).out.trimmed());
    return kDist + u"/downloads/rubbly_%1-%2_%3.deb"_s.arg(QStringLiteral(RUBBLY_VERSION),
                                                           QStringLiteral(RUBBLY_BUILD_NUMBER), architecture);
}

} // namespace

class PackageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void manifestAnnouncesThisBuild()
    {
        const QByteArray json = TreeBuilder::read(kDist + u"/version.json"_s);
        // The updater's own reader accepts it, with every optional key of the right type.
        const std::optional<RemoteVersionManifest> manifest = RemoteVersionManifest::decode(json);
        QVERIFY2(manifest, json.constData());
        QCOMPARE(manifest->version, QStringLiteral(RUBBLY_VERSION));
        // The archive sits where the manifest says, which is also the updater's fallback path.
        QCOMPARE(QUrl(manifest->downloadURL.value_or(QString())),
                 QUrl(QStringLiteral(RUBBLY_UPDATE_BASE_URL)).resolved(QUrl(u"downloads/Rubbly.zip"_s)));
        // Beside the archive, its signature: by the key this build trusts, naming this version.
        const auto signature = MinisignSignature::parse(TreeBuilder::read(kDist + u"/downloads/Rubbly.zip.minisig"_s));
        QVERIFY2(signature, qPrintable(signature ? QString() : signature.error()));
        QCOMPARE(verifyMinisignFile(*signature, UpdateService::Config::defaults().trustedKeys,
                                    kDist + u"/downloads/Rubbly.zip"_s),
                 SignatureCheck::Valid);
        QCOMPARE(trustedCommentField(signature->trustedComment, "version"), std::optional<QByteArray>(RUBBLY_VERSION));
    }

    // A release must be signed, by a key the build trusts: otherwise nothing reaches dist/.
    void aReleaseNeedsATrustedSigningKey_data()
    {
        QTest::addColumn<bool>("withKey");
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("no key") << false << QByteArray("a release must be signed: set RUBBLY_SIGNING_KEY");
        QTest::newRow("a key the build does not trust") << true << QByteArray("is not a key");
    }
    void aReleaseNeedsATrustedSigningKey()
    {
        QFETCH(bool, withKey);
        QFETCH(QByteArray, refusal);
        TempHome home;
        EnvGuard env;
        env.unset("RUBBLY_SIGNING_KEY");
        if (withKey)
            env.set("RUBBLY_SIGNING_KEY", QFile::encodeName(SigningKey::make(home.root()).secretKeyFile));
        const QString dist = home.root() + u"/dist"_s;
        const ProcessResult package =
            runProcess(QStringLiteral(RUBBLY_SOURCE_DIR "/scripts/package"),
                       {u"--build-dir"_s, QStringLiteral(RUBBLY_BINARY_DIR), u"--dist"_s, dist});
        QCOMPARE(package.exitCode, 1);
        QVERIFY2(package.err.contains(refusal), package.err.constData());
        QVERIFY(!QFileInfo::exists(dist + u"/version.json"_s) && !QFileInfo::exists(dist + u"/downloads/Rubbly.zip"_s));
    }

    void debianPackageRunsFromAScratchRoot()
    {
        QTemporaryDir root;
        const ProcessResult unpacked = runProcess(u"dpkg-deb"_s, {u"-x"_s, packagePath(), root.path()});
        QVERIFY2(unpacked.exitCode == 0, unpacked.err.constData());
        // What desktops look for, which nothing else would miss (the copyright and changelog: lintian).
        for (const QString& file :
             {u"usr/share/applications/com.tolvik.Rubbly.desktop"_s,
              u"usr/share/metainfo/com.tolvik.Rubbly.metainfo.xml"_s,
              u"usr/share/icons/hicolor/scalable/apps/com.tolvik.Rubbly.svg"_s,
              u"usr/share/icons/hicolor/symbolic/apps/com.tolvik.Rubbly-symbolic.svg"_s,
              u"usr/share/bash-completion/completions/rubbly"_s, u"usr/share/zsh/vendor-completions/_rubbly"_s,
              u"usr/share/fish/vendor_completions.d/rubbly.fish"_s})
            QVERIFY2(QFileInfo::exists(root.filePath(file)), qPrintable(file));
        // Computed from the program, plus what it only loads or plays at run time.
        const QByteArray depends = runProcess(u"dpkg-deb"_s, {u"-f"_s, packagePath(), u"Depends"_s}).out;
        for (const char* package : {"libqt6core6", "libqcoro6core0", "libarchive13", "libcanberra0", "libsodium23",
                                    "sound-theme-freedesktop", "fonts-jetbrains-mono"})
            QVERIFY2(depends.contains(package), depends.constData());
        // Only the Chinese interface needs a CJK font; the English one renders without it.
        QVERIFY(!depends.contains("fonts-noto-cjk"));
        const QByteArray recommends = runProcess(u"dpkg-deb"_s, {u"-f"_s, packagePath(), u"Recommends"_s}).out;
        QVERIFY2(recommends.contains("fonts-noto-cjk"), recommends.constData());

        TempHome home;
        HttpTestServer server;
        EnvGuard env;
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(u"/"_s).toString().toUtf8());
        const QString program = root.filePath(u"usr/bin/rubbly"_s);
        QCOMPARE(runProcess(program, {u"--version"_s}).out, kVersionLine);
        // A package install leaves updating to the package manager: nothing is even fetched.
        const ProcessResult install = runProcess(program, {u"update"_s, u"install"_s});
        QCOMPARE(install.exitCode, 1);
        QVERIFY2(install.err.contains("package manager"), install.err.constData());
        QCOMPARE(server.requestCount(u"/version.json"_s), 0);
        QVERIFY(!QFileInfo::exists(home.cacheHome() + u"/rubbly"_s));
        // A failed check is said in English, like the rest of the command line.
        server.route(u"/version.json"_s, {500, "oops"});
        const ProcessResult check = runProcess(program, {u"update"_s, u"check"_s});
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.err.contains("rubbly: the update server answered HTTP 500"), check.err.constData());
    }

    void lintianFindsNoError()
    {
        if (QStandardPaths::findExecutable(u"lintian"_s).isEmpty())
            QSKIP("lintian is not installed (scripts/setup installs it)");
        // Lintian leaves cache files in TMPDIR behind; give it a folder that goes with the test.
        QTemporaryDir scratch;
        EnvGuard env;
        env.set("TMPDIR", QFile::encodeName(scratch.path()));
        const ProcessResult lintian = runProcess(u"lintian"_s, {u"--tag-display-limit"_s, u"0"_s, packagePath()});
        // It fails on an error tag, or when it could not check at all; warnings may stay.
        QVERIFY2(lintian.exitCode == 0, (lintian.out + lintian.err).constData());
    }

    // The application folder's AppRun (started from ~/Applications and replaced there: UpdateEndToEndTest).
    // Reached through a link elsewhere, a ~/bin/rubbly, it starts the program beside it. On a system
    // without one of the libraries, which the tray program of this copy (it links every library the
    // commands' program does, and more) is made to meet by linking QCoro's
    // network library under a name no library folder holds (the loader looks the name up like any other),
    // it names the library and its packages instead of starting; on a library path that has it, the
    // program starts.
    void appRunStartsThroughALinkOrNamesWhatIsMissing()
    {
        TempHome home;
        const auto unpacked = ArchiveExtractor::extract(QFile::encodeName(kDist + u"/downloads/Rubbly.zip"_s),
                                                        QFile::encodeName(home.root()));
        QVERIFY2(unpacked, qPrintable(unpacked ? QString() : unpacked.error()));
        const QString appFolder = home.root() + u"/Rubbly.app"_s;
        TreeBuilder(QFile::encodeName(home.home())).symlink("bin/rubbly", QFile::encodeName(appFolder) + "/AppRun");
        QCOMPARE(runProcess(home.home() + u"/bin/rubbly"_s, {u"--version"_s}).out, kVersionLine);
        // The status item's theme path finds its icon.
        QVERIFY(QFileInfo::exists(appFolder + u"/share/icons/hicolor/symbolic/apps/com.tolvik.Rubbly-symbolic.svg"_s));

        if (QStandardPaths::findExecutable(u"patchelf"_s).isEmpty())
            QSKIP("patchelf is not installed (scripts/setup installs it)");
        QByteArray libraries = TreeBuilder::read(appFolder + u"/share/rubbly/libraries"_s);
        QVERIFY2(libraries.contains("\nlibQCoro6Network.so.0 libqcoro6network0 qcoro-qt6 -\n"), libraries.constData());

        const QByteArray hidden = "libQCoro6Netwxrk.so.0";
        const ProcessResult patched =
            runProcess(u"patchelf"_s, {u"--replace-needed"_s, u"libQCoro6Network.so.0"_s, QString::fromLatin1(hidden),
                                       appFolder + u"/bin/rubbly-tray"_s});
        QVERIFY2(patched.exitCode == 0, patched.err.constData());
        // And a library the program does not link, found nowhere: only the loader's word counts.
        libraries.replace("libQCoro6Network.so.0 ", hidden + ' ');
        libraries += "libNotLinked.so.9 no-such-package - -\n";
        TreeBuilder(QFile::encodeName(appFolder)).write("share/rubbly/libraries", libraries);

        const ProcessResult refused = runProcess(appFolder + u"/AppRun"_s, {u"--version"_s});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.out.isEmpty());
        const QByteArray expected =
            "Rubbly cannot start: these libraries are missing on this system:\n  " + hidden +
            "\nOn Debian, Ubuntu and other Debian derivatives, install them with:\n"
            "  sudo apt install libqcoro6network0\nOn Fedora:      sudo dnf install qcoro-qt6\n";
        QVERIFY2(refused.err.startsWith(expected), refused.err.constData());
        QVERIFY2(!refused.err.contains("libNotLinked") && !refused.err.contains("pacman"), refused.err.constData());
        QVERIFY2(refused.err.contains("fonts-jetbrains-mono fonts-noto-cjk"), refused.err.constData());

        const QByteArray multiarch = libraries.mid(libraries.indexOf("#multiarch ") + 11).split('\n').first();
        TreeBuilder(QFile::encodeName(home.root()))
            .symlink("lib/" + hidden, "/usr/lib/" + multiarch + "/libQCoro6Network.so.0");
        EnvGuard env;
        env.set("LD_LIBRARY_PATH",
                QFile::encodeName(home.root()) + "/nowhere:" + QFile::encodeName(home.root()) + "/lib");
        QCOMPARE(runProcess(appFolder + u"/AppRun"_s, {u"--version"_s}).out, kVersionLine);
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "PackageTest.moc"
