#include "CommandLine.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <optional>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

const QString kResources = QStringLiteral(RUBBLY_SOURCE_DIR "/resources");

// The keys of one group of a desktop file (values not unescaped: these tests need no escapes).
QHash<QString, QString> desktopEntry(const QString& path, const QString& group = u"Desktop Entry"_s)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QHash<QString, QString> keys;
    bool main = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'['))
            main = line == u'[' + group + u']';
        else if (main && line.contains(u'='))
            keys.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return keys;
}

// What `command` says of a file when it finds fault (status 0, empty: none); empty when it is not installed.
std::optional<ProcessResult> validate(const QStringList& command)
{
    if (QStandardPaths::findExecutable(command.first()).isEmpty())
        return std::nullopt;
    return runProcess(command.first(), command.mid(1));
}

} // namespace

// The files that make Rubbly a desktop application: they validate, agree with each other, and
// install where desktops look for them.
class DesktopFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void desktopEntryAndMetainfoValidate()
    {
        const auto entry = validate({u"desktop-file-validate"_s, kResources + u"/com.tolvik.Rubbly.desktop"_s});
        const auto metainfo = validate(
            {u"appstreamcli"_s, u"validate"_s, u"--no-net"_s, kResources + u"/com.tolvik.Rubbly.metainfo.xml"_s});
        if (!entry || !metainfo)
            QSKIP("desktop-file-validate or appstreamcli is missing (scripts/setup installs both)");
        // It reports hints and warnings too, still with status 0: none are acceptable.
        QVERIFY2(entry->exitCode == 0 && (entry->out + entry->err).trimmed().isEmpty(),
                 (entry->out + entry->err).constData());
        QVERIFY2(metainfo->exitCode == 0, (metainfo->out + metainfo->err).constData());
    }

    void desktopActionsUseTheProgramsOptions()
    {
        // Each action runs an option the program really has, alone, so it reaches the running instance.
        const QString path = kResources + u"/com.tolvik.Rubbly.desktop"_s;
        const QStringList actions = desktopEntry(path).value(u"Actions"_s).split(u';', Qt::SkipEmptyParts);
        QVERIFY(!actions.isEmpty());
        for (const QString& action : actions) {
            const QStringList exec = desktopEntry(path, u"Desktop Action "_s + action).value(u"Exec"_s).split(u' ');
            QCOMPARE(exec, (QStringList{u"rubbly"_s, u"--"_s + action}));
            QVERIFY(trayActionFromArguments(exec).has_value());
        }
    }

    void autostartEntryAgreesWithTheDesktopEntry()
    {
        TempHome home;
        const QString program = u"/opt/Rubbly.app/usr/bin/rubbly"_s;
        XdgAutostartLoginItem item(program, home.environment());
        QVERIFY(item.registerItem());

        const auto autostart = desktopEntry(item.userEntryPath());
        const auto launcher = desktopEntry(kResources + u"/com.tolvik.Rubbly.desktop"_s);
        QCOMPARE(autostart.value(u"Icon"_s), launcher.value(u"Icon"_s));
        QCOMPARE(autostart.value(u"Name"_s), launcher.value(u"Name"_s));
        // Both start the tray application: the program with no arguments (how the autostart entry quotes
        // it: XdgAutostartLoginItemTest).
        QCOMPARE(launcher.value(u"Exec"_s), u"rubbly"_s);

        if (const auto validated = validate({u"desktop-file-validate"_s, item.userEntryPath()}))
            QVERIFY2(validated->exitCode == 0, (validated->out + validated->err).constData());
    }

    // Where each file is installed, the package test sees in the package itself.
    void iconsShowTheirSvgTagEarly()
    {
        // gdk-pixbuf, which GTK panels load icons with, recognises an SVG only by an svg tag near the
        // file's start: a long comment before it makes the icon "image-missing".
        const QDir icons(kResources + u"/icons"_s);
        const QStringList names = icons.entryList({u"*.svg"_s}, QDir::Files);
        QVERIFY(!names.isEmpty());
        for (const QString& name : names) {
            QFile icon(icons.filePath(name));
            QVERIFY(icon.open(QIODevice::ReadOnly));
            QVERIFY2(icon.read(200).contains("<svg"), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "DesktopFilesTest.moc"
