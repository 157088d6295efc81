#pragma once

#include "ActivationPolicy.h"
#include "AppearanceApplier.h"
#include "LoginItem.h"

#include <QList>

namespace rubbly::test {

// Records what the settings store asked of the desktop.
class RecordingAppearance final : public AppearanceApplier, public ActivationPolicy {
public:
    void applyAppearance(AppAppearance appearance) override { appearances.append(appearance); }
    void applyHideInDock(bool hideInDock) override { hideInDockCalls.append(hideInDock); }

    QList<AppAppearance> appearances;
    QList<bool> hideInDockCalls;
};

// A login item whose state the test controls; registerItem()/unregisterItem() fail on request.
class FakeLoginItem final : public LoginItem {
public:
    bool isEnabled() const override { return enabled; }
    bool registerItem() override { return turn(true, registerCalls); }
    bool unregisterItem() override { return turn(false, unregisterCalls); }
    bool enabled = false;
    bool failing = false;
    int registerCalls = 0;
    int unregisterCalls = 0;

private:
    bool turn(bool on, int& calls)
    {
        ++calls;
        enabled = failing ? enabled : on;
        return !failing;
    }
};

} // namespace rubbly::test
