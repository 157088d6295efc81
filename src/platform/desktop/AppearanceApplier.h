#pragma once

#include "AppAppearance.h"

namespace rubbly {

// Forces the program's colour scheme, or lets it follow the desktop.
class AppearanceApplier {
public:
    virtual ~AppearanceApplier() = default;
    virtual void applyAppearance(AppAppearance appearance) = 0;
};

} // namespace rubbly
