#include "ApplicationBus.h"
#include "CommandLine.h"
#include "EnvGuard.h"
#include "ProcessRunner.h"

#include <QDBusMessage>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

// The single-instance name and the requests a second `rubbly` (or the desktop) sends to the first.
class ApplicationBusTest : public QObject {
    Q_OBJECT

    QDBusConnection m_other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"second-instance"_s);

    // The request signals the first instance received, by name, in the order they came.
    struct Spies {
        QStringList names;
        QObject context; // gone first, taking the connections with it
        explicit Spies(ApplicationBus& bus)
        {
            connect(&bus, &ApplicationBus::togglePanelRequested, &context, [this] { names.append(u"toggle"_s); });
            connect(&bus, &ApplicationBus::settingsRequested, &context, [this] { names.append(u"settings"_s); });
            connect(&bus, &ApplicationBus::emptyTrashRequested, &context, [this] { names.append(u"empty-trash"_s); });
        }
        QString fired() const { return names.join(u','); }
    };

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
    }

    // Each option's own request is checked end to end below, through the program. Anything else
    // (a command, two options, an option the tray does not take, an unknown one) is the command front
    // end's, which refuses a mix with a tray option rather than run half of it.
    void onlyATrayOptionAloneIsForTheTrayApplication()
    {
        QCOMPARE(trayActionFromArguments({u"rubbly"_s}), std::optional(ApplicationAction::Activate));
        for (const QString& line : {u"rubbly --settings trash"_s, u"rubbly --settings --toggle-panel"_s,
                                    u"rubbly --json"_s, u"rubbly --help"_s, u"rubbly --bogus"_s}) {
            const QStringList arguments = line.split(u' ');
            QVERIFY2(!trayActionFromArguments(arguments), qPrintable(line));
            if (arguments.contains(u"--settings"_s))
                QCOMPARE(runCommandLine(arguments), int(ExitUsage));
        }
    }

    // Anything on the bus may call the first instance. (A missing instance and one already running
    // are what TrayAppTest's programs meet at every start.)
    void anUnknownActionIsRefused()
    {
        ApplicationBus first;
        QCOMPARE(first.claim(), ApplicationBus::Claim::Primary);
        Spies spies(first);
        QDBusMessage call = QDBusMessage::createMethodCall(ApplicationBus::kServiceName, ApplicationBus::kObjectPath,
                                                           ApplicationBus::kInterface, u"ActivateAction"_s);
        call << u"format-disk"_s << QVariantList() << QVariantMap();
        const QDBusMessage reply = m_other.call(call, QDBus::BlockWithGui);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s);
        QCOMPARE(spies.fired(), QString());
    }

    void programHandsItsRequestToTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<QString>("fired");
        QTest::newRow("rubbly") << QStringList() << true << u"toggle"_s;
        QTest::newRow("rubbly --toggle-panel") << QStringList{u"--toggle-panel"_s} << true << u"toggle"_s;
        QTest::newRow("rubbly --settings") << QStringList{u"--settings"_s} << true << u"settings"_s;
        QTest::newRow("rubbly --empty-trash") << QStringList{u"--empty-trash"_s} << true << u"empty-trash"_s;
        QTest::newRow("rubbly --settings without a display") << QStringList{u"--settings"_s} << false << u"settings"_s;
    }

    void programHandsItsRequestToTheRunningInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(QString, fired);
        ApplicationBus first;
        QCOMPARE(first.claim(), ApplicationBus::Claim::Primary);
        Spies spies(first);
        EnvGuard env;
        env.unset("DISPLAY").unset("WAYLAND_DISPLAY");
        if (!display)
            env.unset("QT_QPA_PLATFORM");

        const ProcessResult result = runProcess(QStringLiteral(RUBBLY_BINARY), arguments);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(spies.fired(), fired);
    }

    void withoutDisplayOrInstanceTheProgramExplains()
    {
        EnvGuard env;
        env.unset("DISPLAY").unset("WAYLAND_DISPLAY").unset("QT_QPA_PLATFORM");
        const ProcessResult result = runProcess(QStringLiteral(RUBBLY_BINARY), {u"--toggle-panel"_s});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("no display") && result.err.contains("rubbly trash status"),
                 result.err.constData());
    }
};

QTEST_GUILESS_MAIN(ApplicationBusTest)
#include "ApplicationBusTest.moc"
