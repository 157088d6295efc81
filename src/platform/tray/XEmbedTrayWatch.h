#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

namespace rubbly {

class X11Connection;

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
    // The colour the tray draws its icons in, when its manager says so (_NET_SYSTEM_TRAY_COLORS:
    // xfce4-panel and mate-panel set it to their text colour), as 0xRRGGBB; none otherwise.
    std::optional<std::uint32_t> foreground() const { return m_foreground; }

Q_SIGNALS:
    void availableChanged();
    void foregroundChanged();

private:
    void findOwner();
    void readColors();
    void readEvents();

    QByteArray m_display;
    std::unique_ptr<X11Connection> m_x;
    std::uint32_t m_selection = 0;
    std::uint32_t m_managerAtom = 0;
    std::uint32_t m_colorsAtom = 0;
    std::uint32_t m_owner = 0;
    std::optional<std::uint32_t> m_foreground;
};

} // namespace rubbly
