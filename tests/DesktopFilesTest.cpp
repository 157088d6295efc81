#include "ProcessRunner.h"
#include "TempHome.h"
#include "XdgAutostartLoginItem.h"

#include <QStandardPaths>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

const QString kResources = QStringLiteral(RUBBLY_SOURCE_DIR "/resources");

// The files that make Rubbly a desktop application: they validate.
class DesktopFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void desktopEntriesAndMetainfoValidate()
    {
        TempHome home;
        XdgAutostartLoginItem item(u"/opt/Rubbly.app/usr/bin/rubbly"_s, home.environment());
        QVERIFY(item.registerItem());
        const QList<QStringList> commands{
            {u"desktop-file-validate"_s, kResources + u"/com.tolvik.Rubbly.desktop"_s},
            {u"desktop-file-validate"_s, item.userEntryPath()},
            {u"appstreamcli"_s, u"validate"_s, u"--no-net"_s, kResources + u"/com.tolvik.Rubbly.metainfo.xml"_s}};
        for (const QStringList& command : commands) {
            if (QStandardPaths::findExecutable(command.first()).isEmpty())
                QSKIP("desktop-file-validate or appstreamcli is missing (scripts/setup installs both)");
            const ProcessResult result = runProcess(command.first(), command.mid(1));
            // desktop-file-validate reports hints and warnings too, still with status 0: none are acceptable.
            QVERIFY2(result.exitCode == 0 && (command.size() > 2 || (result.out + result.err).trimmed().isEmpty()),
                     qPrintable(command.last() + u'\n' + QString::fromUtf8(result.out + result.err)));
        }
    }
};

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "DesktopFilesTest.moc"
