#pragma once

#include "HapticPerformer.h"

namespace rubbly {

// Linux desktops have no haptic trackpads to drive.
class NullHapticPerformer final : public HapticPerformer {
public:
    void performGeneric() override {}
};

} // namespace rubbly
