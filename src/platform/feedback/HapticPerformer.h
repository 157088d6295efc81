#pragma once

namespace rubbly {

// The trackpad tap that accompanies emptying.
class HapticPerformer {
public:
    virtual ~HapticPerformer() = default;
    virtual void performGeneric() = 0;
};

// Linux desktops have no haptic trackpads to drive.
class NullHapticPerformer final : public HapticPerformer {
public:
    void performGeneric() override {}
};

} // namespace rubbly
