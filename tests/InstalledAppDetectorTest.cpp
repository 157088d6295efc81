#include "InstalledAppDetector.h"
#include "BlockingWait.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class InstalledAppDetectorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsDesktopIdsFromEveryApplicationsFolder()
    {
        TempHome home;
        TreeBuilder user(QFile::encodeName(home.dataHome()) + "/applications");
        user.file("firefox.desktop", 10)
            .file("kde4/okular.desktop", 10)
            .file("notes.txt", 10)
            .file("UPPER.DESKTOP", 10);
        TreeBuilder system(QFile::encodeName(home.systemDataDir()) + "/applications");
        system.file("org.mozilla.firefox.desktop", 10).file("firefox.desktop", 10);
        TreeBuilder flatpak(QFile::encodeName(home.dataHome()) + "/flatpak/exports/share/applications");
        flatpak.file("com.slack.Slack.desktop", 10);
        InstalledAppDetector detector(home.environment());
        const QSet<QString> ids = blockingWait(detector.installedBundleIDs(false));
        QCOMPARE(ids, (QSet<QString>{QStringLiteral("firefox"), QStringLiteral("kde4-okular"),
                                     QStringLiteral("org.mozilla.firefox"), QStringLiteral("com.slack.Slack")}));
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
