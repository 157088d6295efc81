#pragma once

#include <QString>

#include <cstdint>

namespace rubbly {

// Event sounds of the desktop's sound theme.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;

    // Starts the theme sound `eventId` in `slot`; true when it started (false when the theme has no
    // such sound or there is no audio at all).
    virtual bool play(std::uint32_t slot, const QString& eventId) = 0;
    // Stops whatever plays in `slot`.
    virtual void cancel(std::uint32_t slot) = 0;
    // The plain system beep, the last resort.
    virtual void beep() = 0;
};

} // namespace rubbly
