#include "X11KeyGrabber.h"
#include "GlobalShortcutService.h"
#include "ProcessRunner.h"

#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

using namespace rubbly;
using namespace rubbly::test;

// Runs on a private Xvfb; keys are typed with xdotool (XTEST), as a user would press them.
class X11KeyGrabberTest : public QObject {
    Q_OBJECT

    static void press(const QString& keys)
    {
        const ProcessResult result = runProcess(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
        if (result.exitCode != 0)
            qWarning("xdotool failed: %s", result.err.constData());
    }

    // Waits briefly for events to arrive; the count afterwards is what arrived.
    static int settle(QSignalSpy& spy)
    {
        QTest::qWait(150);
        return static_cast<int>(spy.count());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("no X server (ctest runs this under xvfb-run)");
        if (runProcess(QStringLiteral("xdotool"), {QStringLiteral("version")}).exitCode != 0)
            QSKIP("xdotool is not installed (scripts/setup installs it)");
    }

    void firesForTheCombinationWithAnyLockOrExtraModifier()
    {
        X11KeyGrabber grabber;
        QSignalSpy spy(&grabber, &KeyGrabber::activated);
        grabber.start();
        QCOMPARE(grabber.status(), KeyGrabber::Status::Active);
        press(QStringLiteral("alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 1);
        press(QStringLiteral("ctrl+alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 2);
        press(QStringLiteral("super+alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 3);
        press(QStringLiteral("Num_Lock"));
        press(QStringLiteral("alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 4);
        press(QStringLiteral("Num_Lock"));
        press(QStringLiteral("Caps_Lock"));
        press(QStringLiteral("alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 5);
        press(QStringLiteral("Caps_Lock"));
    }

    void otherCombinationsDoNotFire()
    {
        X11KeyGrabber grabber;
        QSignalSpy spy(&grabber, &KeyGrabber::activated);
        grabber.start();
        press(QStringLiteral("shift+BackSpace"));
        press(QStringLiteral("alt+BackSpace"));
        press(QStringLiteral("alt+shift+Delete"));
        press(QStringLiteral("BackSpace"));
        QCOMPARE(settle(spy), 0);
    }

    void anotherProgramHoldingTheCombinationIsAConflict()
    {
        // A second client takes Alt+Shift+BackSpace first.
        struct OtherClient {
            xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
            ~OtherClient() { xcb_disconnect(connection); }
        };
        auto other = std::make_unique<OtherClient>();
        QVERIFY2(!xcb_connection_has_error(other->connection),
                 qPrintable(QStringLiteral("xcb error %1 on %2")
                                .arg(xcb_connection_has_error(other->connection))
                                .arg(qEnvironmentVariable("DISPLAY"))));
        xcb_connection_t* c = other->connection;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0xff08);
        QVERIFY(codes && *codes != XCB_NO_SYMBOL);
        xcb_grab_key(c, 0, root, XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT, codes[0], XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
        std::free(codes);
        xcb_key_symbols_free(symbols);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: the grab is in place

        X11KeyGrabber grabber;
        QSignalSpy status(&grabber, &KeyGrabber::statusChanged);
        grabber.start();
        QCOMPARE(grabber.status(), KeyGrabber::Status::Conflict);
        QVERIFY(status.count() >= 1);
        GlobalShortcutService service(&grabber);
        QCOMPARE(service.status(), KeyGrabber::Status::Conflict);

        // Once the other program is gone (the server notices a little later), starting again works.
        other.reset();
        QTRY_VERIFY((grabber.start(), grabber.status() == KeyGrabber::Status::Active));
    }

    void restartingKeepsExactlyOneGrabAndStopReleasesIt()
    {
        X11KeyGrabber grabber;
        QSignalSpy spy(&grabber, &KeyGrabber::activated);
        grabber.start();
        grabber.start();
        grabber.stop();
        grabber.start();
        press(QStringLiteral("alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 1);
        grabber.stop();
        QCOMPARE(grabber.status(), KeyGrabber::Status::Inactive);
        press(QStringLiteral("alt+shift+BackSpace"));
        QCOMPARE(settle(spy), 1);
        // Released for real: another client can take it now.
        X11KeyGrabber second;
        second.start();
        QCOMPARE(second.status(), KeyGrabber::Status::Active);
    }

    void noServerIsUnavailable()
    {
        X11KeyGrabber grabber(":4711");
        grabber.start();
        QCOMPARE(grabber.status(), KeyGrabber::Status::Unavailable);
    }

    void theServiceDeliversTheTriggerLater()
    {
        X11KeyGrabber grabber;
        GlobalShortcutService service(&grabber);
        QSignalSpy triggers(&service, &GlobalShortcutService::triggered);
        service.start();
        QCOMPARE(service.status(), KeyGrabber::Status::Active);
        press(QStringLiteral("alt+shift+BackSpace"));
        QTRY_COMPARE(triggers.count(), 1);
        service.stop();
        press(QStringLiteral("alt+shift+BackSpace"));
        QTest::qWait(150);
        QCOMPARE(triggers.count(), 1);
    }
};

QTEST_GUILESS_MAIN(X11KeyGrabberTest)
#include "X11KeyGrabberTest.moc"
