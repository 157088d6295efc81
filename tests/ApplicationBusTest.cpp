#include "ApplicationBus.h"
#include "EnvGuard.h"
#include "ProcessRunner.h"
#include "TempHome.h"

#include <QDBusMessage>
#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

// The single-instance name and the requests a second `rubbly` (or the desktop) sends to the first.
class ApplicationBusTest : public QObject {
    Q_OBJECT

    QDBusConnection m_other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"second-instance"_s);

    // Records in `names` the requests the first instance receives, in the order they come; `names`
    // outlives `bus`.
    static void record(ApplicationBus& bus, QStringList& names)
    {
        connect(&bus, &ApplicationBus::togglePanelRequested, [&names] { names.append(u"toggle"_s); });
        connect(&bus, &ApplicationBus::settingsRequested, [&names] { names.append(u"settings"_s); });
        connect(&bus, &ApplicationBus::emptyTrashRequested, [&names] { names.append(u"empty-trash"_s); });
        connect(&bus, &ApplicationBus::trashChanged, [&names] { names.append(u"trash-changed"_s); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
    }

    // Anything on the bus may call the first instance. (A missing instance and one already running
    // are what TrayAppTest's programs meet at every start.)
    void anUnknownActionIsRefused()
    {
        QStringList requests;
        ApplicationBus first;
        QCOMPARE(first.claim(), ApplicationBus::Claim::Primary);
        record(first, requests);
        QDBusMessage call = QDBusMessage::createMethodCall(ApplicationBus::kServiceName, ApplicationBus::kObjectPath,
                                                           ApplicationBus::kInterface, u"ActivateAction"_s);
        call << u"format-disk"_s << QVariantList() << QVariantMap();
        const QDBusMessage reply = m_other.call(call, QDBus::BlockWithGui);
        QCOMPARE(reply.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s);
        QVERIFY(requests.isEmpty());
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
        // What our own commands change, the tray shows without waiting for its monitor's debounce.
        QTest::newRow("rubbly trash put")
            << QStringList{u"trash"_s, u"put"_s, u"FILE"_s} << false << u"trash-changed"_s;
        QTest::newRow("rubbly trash list changes nothing") << QStringList{u"trash"_s, u"list"_s} << false << QString();
    }

    void programHandsItsRequestToTheRunningInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(QString, fired);
        QStringList requests;
        ApplicationBus first;
        QCOMPARE(first.claim(), ApplicationBus::Claim::Primary);
        record(first, requests);
        EnvGuard env;
        env.unset("DISPLAY").unset("WAYLAND_DISPLAY");
        if (!display)
            env.unset("QT_QPA_PLATFORM");
        TempHome home;
        if (const qsizetype file = arguments.indexOf(u"FILE"_s); file >= 0) {
            arguments[file] = home.home() + u"/notes.txt"_s;
            QVERIFY(QFile(arguments[file]).open(QIODevice::WriteOnly));
        }

        const ProcessResult result = runProcess(QStringLiteral(RUBBLY_BINARY), arguments);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(requests.join(u','), fired);
    }
};

QTEST_GUILESS_MAIN(ApplicationBusTest)
#include "ApplicationBusTest.moc"
