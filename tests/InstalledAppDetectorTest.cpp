#include "InstalledAppDetector.h"
#include "BlockingWait.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class InstalledAppDetectorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsDesktopIdsFromEveryApplicationsFolder()
    {
        TempHome home;
        TreeBuilder user(QFile::encodeName(home.dataHome()) + "/applications");
        user.file("firefox.desktop", 10).file("kde4/okular.desktop", 10);
        user.file("notes.txt", 10).file("UPPER.DESKTOP", 10);
        TreeBuilder system(QFile::encodeName(home.systemDataDir()) + "/applications");
        system.file("org.mozilla.firefox.desktop", 10).file("firefox.desktop", 10);
        TreeBuilder flatpak(QFile::encodeName(home.dataHome()) + "/flatpak/exports/share/applications");
        flatpak.file("com.slack.Slack.desktop", 10);
        InstalledAppDetector detector(home.environment());
        const QSet<QString> ids = blockingWait(detector.installedBundleIDs(false));
        QCOMPARE(ids, (QSet<QString>{u"firefox"_s, u"kde4-okular"_s, u"org.mozilla.firefox"_s, u"com.slack.Slack"_s}));
        QVERIFY(InstalledAppDetector::scanFolders({home.root() + QStringLiteral("/nope")}).isEmpty());
    }

    void cachedUntilAskedToRefresh()
    {
        TempHome home;
        TreeBuilder user(QFile::encodeName(home.dataHome()) + "/applications");
        user.file("one.desktop", 10);
        InstalledAppDetector detector(home.environment());
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)).size(), 1);
        user.file("two.desktop", 10);
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)).size(), 1);
        QCOMPARE(blockingWait(detector.installedBundleIDs(true)).size(), 2);
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)).size(), 2);
    }
};

QTEST_GUILESS_MAIN(InstalledAppDetectorTest)
#include "InstalledAppDetectorTest.moc"
