#include "X11KeyGrabber.h"
#include "ProcessRunner.h"

#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

using namespace rubbly;
using namespace rubbly::test;

namespace {

// Another client of the server, holding a key on the root window.
struct OtherClient {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    xcb_keycode_t code = XCB_NO_SYMBOL;

    OtherClient(xcb_keysym_t symbol, std::uint16_t modifiers)
    {
        if (xcb_connection_has_error(connection))
            return;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, symbol)) {
            code = codes[0];
            std::free(codes);
        }
        xcb_key_symbols_free(symbols);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_grab_key(connection, 0, root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // A round trip: the grab is in place when the constructor returns.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    ~OtherClient() { xcb_disconnect(connection); }
    bool isValid() const { return !xcb_connection_has_error(connection) && code != XCB_NO_SYMBOL; }
};

} // namespace

// Runs on a private Xvfb; keys are typed with xdotool (XTEST), as a user would press them.
class X11KeyGrabberTest : public QObject {
    Q_OBJECT

    std::unique_ptr<OtherClient> m_sentinel;

    // Types `keys`, then F12, which the sentinel client holds. The server delivers input in order, so
    // once F12 has reached the sentinel every earlier press is in the grabber's socket, and a turn of
    // the event loop lets the grabber read it: no waiting for something that should not come.
    bool type(std::initializer_list<const char*> keys)
    {
        QStringList arguments{QStringLiteral("key")};
        for (const char* key : keys)
            arguments.append(QString::fromLatin1(key));
        const ProcessResult typed = runProcess(QStringLiteral("xdotool"), arguments << QStringLiteral("F12"));
        if (typed.exitCode != 0)
            qWarning("xdotool failed: %s", typed.err.constData());
        bool arrived = false;
        const bool ok = QTest::qWaitFor(
            [&] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(m_sentinel->connection)) {
                    arrived = arrived || (event->response_type & 0x7f) == XCB_KEY_PRESS;
                    std::free(event);
                }
                return arrived;
            },
            5000);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return ok;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("no X server (ctest runs this under xvfb-run)");
        if (runProcess(QStringLiteral("xdotool"), {QStringLiteral("version")}).exitCode != 0)
            QSKIP("xdotool is not installed (scripts/setup installs it)");
        m_sentinel = std::make_unique<OtherClient>(0xffc9 /* F12 */, XCB_MOD_MASK_ANY);
        QVERIFY(m_sentinel->isValid());
    }

    // Restarted, the grabber keeps exactly one grab; another client meets it as a conflict until it is
    // stopped and releases it.
    void firesForTheCombinationWithAnyLockOrExtraModifierWhileStarted()
    {
        X11KeyGrabber grabber;
        QSignalSpy spy(&grabber, &KeyGrabber::activated);
        grabber.start();
        grabber.start();
        grabber.stop();
        grabber.start();
        QVERIFY(type({"alt+shift+BackSpace", "ctrl+alt+shift+BackSpace", "super+alt+shift+BackSpace"}));
        QCOMPARE(spy.count(), 3);
        QVERIFY(type({"Num_Lock", "alt+shift+BackSpace", "Num_Lock", "Caps_Lock", "alt+shift+BackSpace", "Caps_Lock"}));
        QCOMPARE(spy.count(), 5);
        QVERIFY(type({"shift+BackSpace", "alt+BackSpace", "alt+shift+Delete", "BackSpace"}));
        QCOMPARE(spy.count(), 5);
        X11KeyGrabber other; // a client of its own, as another program is
        other.start();
        QCOMPARE(other.status(), KeyGrabber::Status::Conflict);
        grabber.stop();
        QVERIFY(type({"alt+shift+BackSpace"}));
        QCOMPARE(spy.count(), 5);
        // Released for real: the other client, starting again, takes it now.
        other.start();
        QCOMPARE(other.status(), KeyGrabber::Status::Active);
    }
};

QTEST_GUILESS_MAIN(X11KeyGrabberTest)
#include "X11KeyGrabberTest.moc"
