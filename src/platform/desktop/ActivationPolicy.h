#pragma once

namespace rubbly {

// Whether our windows show in the taskbar and pager (the "Dock icon" of the settings).
class ActivationPolicy {
public:
    virtual ~ActivationPolicy() = default;
    // hideInDock true: windows skip the taskbar and pager; false: ordinary taskbar windows.
    virtual void applyHideInDock(bool hideInDock) = 0;
};

} // namespace rubbly
