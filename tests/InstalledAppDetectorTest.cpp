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
    // Read once, then kept until a refresh is asked for.
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
        QSet<QString> ids{u"firefox"_s, u"kde4-okular"_s, u"org.mozilla.firefox"_s, u"com.slack.Slack"_s};
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);
        QVERIFY(InstalledAppDetector::scanFolders({home.root() + QStringLiteral("/nope")}).isEmpty());

        user.file("two.desktop", 10);
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);
        ids.insert(u"two"_s);
        QCOMPARE(blockingWait(detector.installedBundleIDs(true)), ids);
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);
    }
};

QTEST_GUILESS_MAIN(InstalledAppDetectorTest)
#include "InstalledAppDetectorTest.moc"
