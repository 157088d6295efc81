#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace rubbly::test {

// An XEmbed tray manager as far as finding one goes: a window owning _NET_SYSTEM_TRAY_S0, announced
// with the MANAGER client message the System Tray protocol prescribes. It docks nothing. Uses
// $DISPLAY (the test's Xvfb).
class FakeXEmbedTray final {
public:
    FakeXEmbedTray();
    ~FakeXEmbedTray();
    FakeXEmbedTray(const FakeXEmbedTray&) = delete;
    FakeXEmbedTray& operator=(const FakeXEmbedTray&) = delete;

    bool start();
    // Destroys the selection window, as a panel that exits does.
    void stop();

private:
    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_window = 0;
};

} // namespace rubbly::test
