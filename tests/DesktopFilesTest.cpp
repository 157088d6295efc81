#include "CommandLine.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

const QString kResources = QStringLiteral(RUBBLY_SOURCE_DIR "/resources");

// The files that make Rubbly a desktop application: they validate, and their actions and icons work.
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

    void desktopActionsUseTheProgramsOptions()
    {
        // Each action runs an option the program really has, alone, so it reaches the running instance.
        // Read by its group (QSettings takes the ';' of the Actions list for a comment), which
        // desktop-file-validate makes sure the list names.
        const QSettings entry(kResources + u"/com.tolvik.Rubbly.desktop"_s, QSettings::IniFormat);
        const QStringList groups = entry.childGroups().filter(u"Desktop Action "_s);
        QVERIFY(!groups.isEmpty());
        for (const QString& group : groups) {
            const QStringList exec = entry.value(group + u"/Exec"_s).toString().split(u' ');
            QCOMPARE(exec, (QStringList{u"rubbly"_s, u"--"_s + group.sliced(15)}));
            QVERIFY(trayActionFromArguments(exec).has_value());
        }
    }

    // Where each file is installed, the package test sees in the package itself.
    void iconsShowTheirSvgTagEarly()
    {
        // gdk-pixbuf, which GTK panels load icons with, recognises an SVG only by an svg tag near the
        // file's start: a long comment before it makes the icon "image-missing".
        const QFileInfoList icons = QDir(kResources + u"/icons"_s).entryInfoList({u"*.svg"_s}, QDir::Files);
        QVERIFY(!icons.isEmpty());
        for (const QFileInfo& icon : icons)
            QVERIFY2(TreeBuilder::read(icon.filePath()).left(200).contains("<svg"), qPrintable(icon.fileName()));
    }
};

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "DesktopFilesTest.moc"
