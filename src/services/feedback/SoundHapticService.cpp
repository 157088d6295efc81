#include "SoundHapticService.h"

#include "HapticPerformer.h"
#include "SoundPlayer.h"

namespace rubbly {

SoundHapticService::SoundHapticService(SoundPlayer& player, HapticPerformer& haptics)
    : m_player(player)
    , m_haptics(haptics)
{
}

void SoundHapticService::emptyTrashFeedback(bool playSound, bool performHaptic)
{
    if (playSound) {
        // A sound still playing from an earlier cleaning starts again rather than overlapping.
        m_player.cancel(kEmptyTrashSlot);
        if (!m_player.play(kEmptyTrashSlot, QStringLiteral("trash-empty")) &&
            !m_player.play(kEmptyTrashSlot, QStringLiteral("bell")))
            m_player.beep();
    }
    if (performHaptic)
        m_haptics.performGeneric();
}

void SoundHapticService::moveToTrashFeedback()
{
    m_player.play(kMoveToTrashSlot, QStringLiteral("audio-volume-change"));
}

} // namespace rubbly
