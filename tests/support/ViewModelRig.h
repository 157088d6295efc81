#pragma once

#include "AutoCleanService.h"
#include "BinwellViewModel.h"
#include "DiskSlimService.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "InstalledAppDetector.h"
#include "MemoryDefaults.h"
#include "NotificationService.h"
#include "SettingsService.h"
#include "SlimViewModel.h"
#include "SoundHapticService.h"
#include "TempHome.h"
#include "VirtualScheduler.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

namespace rubbly::test {

// A status of `items` entries sharing `size` bytes, named "0", "1", ...
TrashStatus statusWith(int items, qint64 size = 4096);

// Lets queued events and zero-delay timers run; the virtual clock does not move.
void settle();

// Runs the event loop until `task` is done (work on real actor threads takes real, if short, time).
template <typename T> void finish(QCoro::Task<T>& task)
{
    if (!QTest::qWaitFor([&task] { return task.isReady(); }, 5000))
        qFatal("a task did not finish");
}
template <typename T> void finish(QCoro::Task<T>&& task)
{
    finish(task);
}

// The two view models with every service real except the trash and the desktop, which are fakes, on
// a virtual clock in a temporary home.
struct ViewModelRig {
    TempHome home;
    VirtualScheduler clock;
    MemoryDefaults defaults;
    SettingsService settings{defaults, {}};
    FakeTrashService trash;
    FakeNotificationCenter center;
    NotificationService notifications{center};
    FakeSoundPlayer player;
    FakeHaptics haptics;
    SoundHapticService feedback{player, haptics};
    FakeGrabber grabber;
    GlobalShortcutService shortcut{&grabber};
    DiskSlimService slim{xdg::slimRoots()};
    FakeSlimService fakeSlim;
    // The slim engine the slim view model gets: the real one on the temporary home unless a test
    // points this at `fakeSlim` before make().
    DiskSlimServicing* slimService = &slim;
    InstalledAppDetector apps{home.environment()};
    AutoCleanService autoClean{trash, notifications, defaults, &clock};
    std::unique_ptr<BinwellViewModel> vm;
    std::unique_ptr<SlimViewModel> slimVm;

    ViewModelRig() { trash.status = statusWith(2); }

    // Both view models; the Trash's is returned.
    BinwellViewModel& make(UpdateServicing* updates = nullptr)
    {
        vm = std::make_unique<BinwellViewModel>(BinwellViewModel::Services{
            trash, settings, defaults, clock, notifications, feedback, shortcut, nullptr, &autoClean, updates});
        slimVm = std::make_unique<SlimViewModel>(
            SlimViewModel::Services{*slimService, apps, settings, defaults, clock, notifications, feedback});
        return *vm;
    }
    // The view model after its first scan, showing `status`.
    BinwellViewModel& makeShowing(const TrashStatus& status)
    {
        trash.status = status;
        BinwellViewModel& model = make();
        finish(model.refresh());
        return model;
    }
    int scans() const { return static_cast<int>(trash.calls.count(QStringLiteral("fetchStatus"))); }
    // The slim tab in a moment no flow holds still: scanning or purging without a progress text.
    void showSlimWork(bool scanning, bool purging)
    {
        slimVm->setIsScanningSlim(scanning);
        slimVm->setSlimScanProgressText(std::nullopt);
        slimVm->setSlimScanProgressValue(scanning ? 0.5 : 0);
        slimVm->setIsCleaningSlim(purging);
        slimVm->setSlimCleanProgressText(std::nullopt);
    }
};

} // namespace rubbly::test
