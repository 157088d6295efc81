#include "GlobalShortcutService.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;

namespace {
class FakeGrabber final : public KeyGrabber {
public:
    void start() override
    {
        ++starts;
        active = true;
        Q_EMIT statusChanged();
    }
    void stop() override
    {
        ++stops;
        active = false;
    }
    Status status() const override { return active ? Status::Active : Status::Inactive; }
    int starts = 0;
    int stops = 0;
    bool active = false;
};
} // namespace

class GlobalShortcutServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void insideOurWindowsTheCombinationIsSwallowedAndFires()
    {
        FakeGrabber grabber;
        GlobalShortcutService service(&grabber);
        int triggers = 0;
        service.start([&triggers] { ++triggers; });
        QLineEdit edit(QStringLiteral("abc"));
        edit.show();
        edit.setFocus();
        edit.end(false);
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(edit.text(), QStringLiteral("abc")); // never reached the widget
        QCOMPARE(triggers, 0);                        // delivered later, not inside the key handler
        QTRY_COMPARE(triggers, 1);

        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::ShiftModifier);
        QTest::keyClick(&edit, Qt::Key_Delete, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(edit.text(), QStringLiteral("ab")); // plain typing goes on
        QTest::qWait(20);
        QCOMPARE(triggers, 1);
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier);
        QTRY_COMPARE(triggers, 2);
    }

    void grabberActivationFiresOnlyWhileStarted()
    {
        FakeGrabber grabber;
        GlobalShortcutService service(&grabber);
        int triggers = 0;
        Q_EMIT grabber.activated();
        QTest::qWait(10);
        QCOMPARE(triggers, 0);
        service.start([&triggers] { ++triggers; });
        Q_EMIT grabber.activated();
        QTRY_COMPARE(triggers, 1);
        service.stop();
        Q_EMIT grabber.activated();
        QTest::qWait(10);
        QCOMPARE(triggers, 1);
    }

    void startStopPairsUp()
    {
        FakeGrabber grabber;
        GlobalShortcutService service(&grabber);
        service.start([] {});
        service.start([] {});
        QCOMPARE(grabber.starts, 2);
        QCOMPARE(grabber.stops, 1); // the second start released the first grab
        service.stop();
        service.stop();
        QCOMPARE(grabber.stops, 2);
        QVERIFY(!service.isStarted());
    }

    void withoutAGrabberTheStatusSaysUnavailable()
    {
        GlobalShortcutService service(nullptr);
        QCOMPARE(service.status(), KeyGrabber::Status::Unavailable);
        int triggers = 0;
        service.start([&triggers] { ++triggers; });
        QLineEdit edit;
        edit.show();
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier);
        QTRY_COMPARE(triggers, 1); // the in-app filter still works
    }

    void aDestroyedServiceTriggersNothing()
    {
        FakeGrabber grabber;
        int triggers = 0;
        {
            GlobalShortcutService service(&grabber);
            service.start([&triggers] { ++triggers; });
            Q_EMIT grabber.activated();
        }
        QTest::qWait(10);
        QCOMPARE(triggers, 0);
    }
};

QTEST_MAIN(GlobalShortcutServiceTest)
#include "GlobalShortcutServiceTest.moc"
