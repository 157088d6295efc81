#include "SettingsView.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "MemoryDefaults.h"
#include "Motion.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsService.h"
#include "TempHome.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {

// The settings window on stored settings that outlive it, in a temporary home.
struct Window {
    TempHome home;
    MemoryDefaults defaults;
    std::unique_ptr<SettingsService> settings;
    FakeGrabber grabber;
    GlobalShortcutService shortcut{&grabber};
    FakeUpdateService updates;
    RecordingWorkspace workspace;
    std::unique_ptr<SettingsView> view;

    explicit Window(SidebarItem pane) { open(pane); }
    // Opens the window anew on what is stored, as after a restart.
    void open(SidebarItem pane)
    {
        view.reset();
        settings = std::make_unique<SettingsService>(defaults, SettingsService::Effects{});
        view = std::make_unique<SettingsView>(*settings, updates, shortcut, workspace,
                                              SettingsView::Options{QStringLiteral("1.1.0 (1)"), true, {}});
        view->show();
        view->setSelection(pane);
    }
    // The row of the pane shown that shows `text`.
    FormRow* row(const QString& text) const
    {
        for (FormRow* row : view->currentPane()->findChildren<FormRow*>()) {
            if (row->text() == text)
                return row;
        }
        qFatal("no row %s", qPrintable(text));
    }
    ToggleSwitch* toggle(const QString& text) const { return static_cast<ToggleSwitch*>(row(text)->control()); }
};

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    // Automatic cleaning deletes by these values: each switch and picker writes its own setting
    // (bound like every other switch, toggleFor), and a stored value not on the list stays as it is.
    void automationRulesWriteTheirSettings()
    {
        Window window(SidebarItem::Automation);
        window.toggle(QStringLiteral("启用后台自动规则巡检"))->click();
        auto* days = static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control());
        days->setCurrentIndex(0);
        Q_EMIT days->activated(0);
        window.toggle(QStringLiteral("容量达到阈值时触发"))->click();
        QVERIFY(window.settings->autoCleanEnabled() && !window.settings->autoCleanBySizeEnabled());
        QCOMPARE(window.settings->autoCleanDays(), 7);
        // A value not on the list, stored by another version, picks nothing and stays.
        window.settings->setAutoCleanDays(45);
        window.open(SidebarItem::Automation);
        QCOMPARE(static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control())->currentIndex(), -1);
        QCOMPARE(window.settings->autoCleanDays(), 45);
    }
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
