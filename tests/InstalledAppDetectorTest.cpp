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
        user.file("firefox.desktop").file("kde4/okular.desktop").file("notes.txt").file("UPPER.DESKTOP");
        TreeBuilder(QFile::encodeName(home.systemDataDir())).file("applications/org.mozilla.firefox.desktop");
        TreeBuilder(QFile::encodeName(home.dataHome()))
            .file("flatpak/exports/share/applications/com.slack.Slack.desktop");
        InstalledAppDetector detector(home.environment());
        QSet<QString> ids{u"firefox"_s, u"kde4-okular"_s, u"org.mozilla.firefox"_s, u"com.slack.Slack"_s};
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);

        user.file("two.desktop");
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);
        ids.insert(u"two"_s);
        QCOMPARE(blockingWait(detector.installedBundleIDs(true)), ids);
        QCOMPARE(blockingWait(detector.installedBundleIDs(false)), ids);
    }
};

QTEST_GUILESS_MAIN(InstalledAppDetectorTest)
#include "InstalledAppDetectorTest.moc"
