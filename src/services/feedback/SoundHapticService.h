#pragma once

#include <cstdint>

namespace rubbly {

class HapticPerformer;
class SoundPlayer;

// Audible and tactile confirmation. It never reads settings: callers pass what is enabled.
class SoundHapticService final {
public:
    SoundHapticService(SoundPlayer& player, HapticPerformer& haptics);

    // After the Trash was emptied: the theme's "trash-empty" sound (restarted if still playing),
    // else "bell", else the beep; then the haptic tap. Each only when its flag is set.
    void emptyTrashFeedback(bool playSound, bool performHaptic);
    // After files were moved to the Trash on request: a short "audio-volume-change" sound, always.
    void moveToTrashFeedback();

    static constexpr std::uint32_t kEmptyTrashSlot = 1;
    static constexpr std::uint32_t kMoveToTrashSlot = 2;

private:
    SoundPlayer& m_player;
    HapticPerformer& m_haptics;
};

} // namespace rubbly
