#pragma once

#include "KeyGrabber.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <memory>

struct _XCBKeySymbols;

namespace rubbly {

class X11Connection;

// Alt+Shift+BackSpace grabbed on the X root window through a connection of its own, in every
// combination with Control, Super, NumLock and CapsLock (the grab matches modifier states exactly).
// A grab the server refuses (another client holds it) is a Conflict; a keyboard mapping change
// grabs again with the new key codes.
class X11KeyGrabber final : public KeyGrabber {
    Q_OBJECT
public:
    // `display` as in $DISPLAY; empty for the environment's.
    explicit X11KeyGrabber(QByteArray display = {}, QObject* parent = nullptr);
    ~X11KeyGrabber() override;

    void start() override;
    void stop() override;
    Status status() const override { return m_status; }

private:
    bool connectToServer();
    void grab();
    void ungrab();
    void readEvents();
    void drainLater();
    void setStatus(Status status);

    QByteArray m_display;
    std::unique_ptr<X11Connection> m_x;
    _XCBKeySymbols* m_symbols = nullptr;
    QList<std::uint8_t> m_keycodes;
    Status m_status = Status::Inactive;
    bool m_wanted = false;
};

} // namespace rubbly
