#pragma once

#include "SoundPlayer.h"

#include <functional>

struct ca_context;

namespace rubbly {

// SoundPlayer on libcanberra and the freedesktop sound theme. Having no audio device is normal (a
// server, a container): the first failure is logged once, and nothing ever fails louder than that.
class CanberraSoundPlayer final : public SoundPlayer {
public:
    // `beep` is the last resort; the application supplies the display's bell (none: silence).
    explicit CanberraSoundPlayer(std::function<void()> beep = {});
    ~CanberraSoundPlayer() override;
    CanberraSoundPlayer(const CanberraSoundPlayer&) = delete;
    CanberraSoundPlayer& operator=(const CanberraSoundPlayer&) = delete;

    bool play(std::uint32_t slot, const QString& eventId) override;
    void cancel(std::uint32_t slot) override;
    void beep() override;

private:
    ca_context* m_context = nullptr;
    std::function<void()> m_beep;
    bool m_reported = false;
};

} // namespace rubbly
