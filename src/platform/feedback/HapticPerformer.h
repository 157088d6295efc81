#pragma once

namespace rubbly {

// The trackpad tap that accompanies emptying.
class HapticPerformer {
public:
    virtual ~HapticPerformer() = default;
    virtual void performGeneric() = 0;
};

} // namespace rubbly
