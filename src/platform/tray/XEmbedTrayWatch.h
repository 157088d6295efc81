#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

namespace rubbly {

// Whether an XEmbed system tray (the freedesktop System Tray protocol: an X client owning the
// selection _NET_SYSTEM_TRAY_S<screen>) runs on the X display, followed without polling: a manager
// that starts announces itself with a MANAGER client message on the root window, and one that goes
// away destroys its selection window. Uses a connection of its own, so it needs no QGuiApplication.
class XEmbedTrayWatch final : public QObject {
    Q_OBJECT
public:
    // `display` as in $DISPLAY; empty for the environment's.
    explicit XEmbedTrayWatch(QByteArray display = {}, QObject* parent = nullptr);
    ~XEmbedTrayWatch() override;

    // Connects and looks for a manager. False when the display cannot be reached.
    bool start();
    // True while a tray manager owns the selection.
    bool isAvailable() const { return m_owner != 0; }

Q_SIGNALS:
    void availableChanged();

private:
    void findOwner();
    void readEvents();

    QByteArray m_display;
    xcb_connection_t* m_connection = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::uint32_t m_root = 0;
    std::uint32_t m_selection = 0;
    std::uint32_t m_managerAtom = 0;
    std::uint32_t m_owner = 0;
};

// True when an X server answers at `display` (empty: $DISPLAY).
bool x11DisplayReachable(const QByteArray& display = {});

} // namespace rubbly
