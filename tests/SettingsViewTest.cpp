#include "SettingsView.h"
#include "AboutSettingsView.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "MemoryDefaults.h"
#include "Motion.h"
#include "PushButton.h"
#include "RecordingEffects.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsPanes.h"
#include "SettingsService.h"
#include "SettingsWindow.h"
#include "TempHome.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {

// The settings window on stored settings that outlive it, in a temporary home.
struct Window {
    TempHome home;
    MemoryDefaults defaults;
    FakeLoginItem loginItem;
    std::unique_ptr<SettingsService> settings;
    FakeGrabber grabber;
    GlobalShortcutService shortcut{&grabber};
    FakeUpdateService updates;
    RecordingWorkspace workspace;
    std::unique_ptr<SettingsView> view;

    Window() { open(); }
    // Opens the window anew on what is stored, as after a restart.
    void open()
    {
        view.reset();
        settings.reset();
        settings = std::make_unique<SettingsService>(defaults, SettingsService::Effects{nullptr, nullptr, &loginItem});
        view = std::make_unique<SettingsView>(*settings, updates, shortcut, workspace,
                                              SettingsView::Options{QStringLiteral("1.1.0 (1)"), true, {}});
        view->show();
    }
    // The widget of kind T under `parent` that shows `text`.
    template <typename T> static T* byText(QWidget* parent, const QString& text)
    {
        for (T* widget : parent->findChildren<T*>()) {
            if (widget->text() == text)
                return widget;
        }
        qFatal("nothing shows %s", qPrintable(text));
    }
    FormRow* row(const QString& text) const { return byText<FormRow>(view.get(), text); }
    ToggleSwitch* toggle(const QString& text) const { return static_cast<ToggleSwitch*>(row(text)->control()); }
    // Visible as the user sees it: inside the pane that shows.
    bool shown(QWidget* widget) const { return widget->isVisibleTo(view->pane(*view->selection())); }
    PushButton* button(const QString& text) const { return byText<PushButton>(view->currentPane(), text); }
};

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    void theConfirmationWarningComesOnceForGood()
    {
        Window window;
        window.view->setSelection(SidebarItem::Cleaning);
        ToggleSwitch* confirm = window.toggle(QStringLiteral("清空前进行确认"));
        confirm->click(); // off, the first time
        QVERIFY(!window.settings->confirmBeforeEmptying());
        QVERIFY(window.view->confirmOffWarning());
        window.view->confirmOffWarning()->buttons().first()->click();
        QTRY_VERIFY(!window.view->confirmOffWarning());

        confirm->click(); // on: nothing to say
        confirm->click(); // off again: said before
        QVERIFY(!window.view->confirmOffWarning());
        window.open(); // after a restart too
        window.toggle(QStringLiteral("清空前进行确认"))->click();
        window.toggle(QStringLiteral("清空前进行确认"))->click();
        QVERIFY(window.settings->hasShownConfirmOffWarning());
        QVERIFY(!window.view->confirmOffWarning());
    }

    void theHideWhenEmptySwitchWaitsForTheSizeToShow()
    {
        Window window;
        window.view->setSelection(SidebarItem::MenuBar);
        window.toggle(QStringLiteral("废纸篓为空时隐藏大小"))->click();
        QVERIFY(window.settings->hideSizeWhenEmpty());
        window.toggle(QStringLiteral("在状态栏显示大小"))->click();
        FormRow* dependent = window.row(QStringLiteral("废纸篓为空时隐藏大小"));
        QVERIFY(!dependent->isEnabled());
        QVERIFY(window.settings->hideSizeWhenEmpty()); // kept
        window.toggle(QStringLiteral("在状态栏显示大小"))->click();
        QVERIFY(dependent->isEnabled());
        QVERIFY(static_cast<ToggleSwitch*>(dependent->control())->isChecked());
    }

    void automationRulesLeaveTheFormWhileOff()
    {
        Window window;
        window.view->setSelection(SidebarItem::Automation);
        const auto sections = [&window] {
            QStringList shown;
            for (FormSection* section : window.view->pane(SidebarItem::Automation)->findChildren<FormSection*>()) {
                if (window.shown(section))
                    shown.append(section->header());
            }
            return shown;
        };
        QCOMPARE(sections(), QStringList{QStringLiteral("自动化清理总开关")});
        window.toggle(QStringLiteral("启用后台自动规则巡检"))->click();
        QCOMPARE(sections().size(), 3);
        auto* days = static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control());
        QCOMPARE(days->count(), 4);
        days->setCurrentIndex(0);
        Q_EMIT days->activated(0);
        QCOMPARE(window.settings->autoCleanDays(), 7);
        window.toggle(QStringLiteral("容量达到阈值时触发"))->click();
        QVERIFY(!window.shown(window.row(QStringLiteral("容量阈值"))));
        QVERIFY(!window.shown(window.row(QStringLiteral("静默自动清空（关闭则仅通知提醒）"))));
        window.toggle(QStringLiteral("启用后台自动规则巡检"))->click();
        QCOMPARE(sections().size(), 1);
        window.toggle(QStringLiteral("启用后台自动规则巡检"))->click();
        QCOMPARE(days->currentText(), QStringLiteral("超过 7 天")); // the old values come back
        QVERIFY(!window.settings->autoCleanBySizeEnabled());
        // A value not on the list, stored by another version, picks nothing and stays.
        window.settings->setAutoCleanDays(45);
        window.open();
        QCOMPARE(static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control())->currentIndex(), -1);
        QCOMPARE(window.settings->autoCleanDays(), 45);
    }

    void anEmptySelectionShowsGeneral()
    {
        Window window;
        window.view->setSelection(SidebarItem::About);
        QCOMPARE(window.view->detailTitle(), QStringLiteral("关于"));
        window.view->setSelection(std::nullopt);
        QCOMPARE(window.view->detailTitle(), QStringLiteral("通用"));
        QCOMPARE(window.view->currentPane(), window.view->pane(SidebarItem::General));
    }

    // Writing the autostart entry is XdgAutostartLoginItemTest's, and the real one's wiring BinwellAppTest's.
    void launchAtLoginTurnsTheLoginItemOnAndOff()
    {
        Window window;
        ToggleSwitch* toggle = window.toggle(QStringLiteral("开机自启动"));
        QCOMPARE(toggle->accessibleName(), QStringLiteral("开机自启动"));
        toggle->click();
        QVERIFY(window.loginItem.enabled && window.settings->launchAtLogin());
        toggle->click();
        QVERIFY(!window.loginItem.enabled);
    }

    void theShortcutRowSaysWhatTheKeyCanDoHere_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<QString>("contains");
        QTest::newRow("off") << false << int(KeyGrabber::Status::Active) << false << QString();
        QTest::newRow("active") << true << int(KeyGrabber::Status::Active) << false << QStringLiteral("已生效");
        QTest::newRow("taken") << true << int(KeyGrabber::Status::Conflict) << false << QStringLiteral("占用");
        QTest::newRow("wayland") << true << int(KeyGrabber::Status::Unavailable) << true
                                 << QStringLiteral("rubbly --toggle-panel");
    }
    void theShortcutRowSaysWhatTheKeyCanDoHere()
    {
        QFETCH(bool, enabled);
        QFETCH(int, status);
        QFETCH(bool, wayland);
        QFETCH(QString, contains);
        const QString text = shortcutStatusText(enabled, KeyGrabber::Status(status), wayland);
        QCOMPARE(text.isEmpty(), contains.isEmpty());
        QVERIFY(text.contains(contains));
    }

    void releaseNotesBecomeAtMostFourRows_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("numbers, blanks, a fifth note")
            << QStringLiteral("1. 第一条\n\n2. 第二条\n  \n3. 第三条\n4.\t第四条\n5. 第五条")
            << QStringList{QStringLiteral("第一条"), QStringLiteral("第二条"), QStringLiteral("第三条"),
                           QStringLiteral("第四条")};
        QTest::newRow("blanks only") << QStringLiteral(" \n\t\n  ") << QStringList{};
        QTest::newRow("a year is taken for a number")
            << QStringLiteral("2024.1 版本说明") << QStringList{QStringLiteral("1 版本说明")};
        QTest::newRow("kept lines are not trimmed")
            << QStringLiteral("  缩进的行 ") << QStringList{QStringLiteral("  缩进的行 ")};
        QTest::newRow("only the leading number goes, once")
            << QStringLiteral("12. 3. 更多") << QStringList{QStringLiteral("3. 更多")};
    }
    void releaseNotesBecomeAtMostFourRows()
    {
        QFETCH(QString, notes);
        QFETCH(QStringList, rows);
        QCOMPARE(releaseNoteRows(notes), rows);
    }

    void eachUpdateStateOffersItsOwnButtons_data()
    {
        const UpdateInfo info{QStringLiteral("1.2.0"), QStringLiteral("1. 新功能"),
                              QUrl(QStringLiteral("https://example.com/Rubbly.zip")), std::nullopt};
        QTest::addColumn<UpdateStatus>("status");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("call");
        const auto row = [](const char* name, const UpdateStatus& status, const QString& button, const char* call) {
            QTest::newRow(name) << status << (button.isEmpty() ? QStringList() : QStringList{button})
                                << QString::fromLatin1(call);
        };
        row("idle", UpdateStatus::idle(), QStringLiteral("检查更新…"), "check manual");
        row("checking", UpdateStatus::checking(), {}, "");
        row("up to date", UpdateStatus::upToDate(), QStringLiteral("重新检查更新"), "check manual");
        row("available", UpdateStatus::updateAvailable(info), QStringLiteral("立即下载更新"), "download 1.2.0");
        row("downloading", UpdateStatus::downloading(0.999, info), {}, "");
        row("ready", UpdateStatus::readyToInstall("/w/Rubbly.app", info), QStringLiteral("立即重启以完成更新"),
            "install /w/Rubbly.app");
        row("error", UpdateStatus::error(QStringLiteral("更新信息解析失败")), QStringLiteral("重试"), "check manual");
    }
    void eachUpdateStateOffersItsOwnButtons()
    {
        QFETCH(UpdateStatus, status);
        QFETCH(QStringList, buttons);
        QFETCH(QString, call);
        FakeUpdateService updates;
        RecordingWorkspace workspace;
        AboutSettingsView about(updates, workspace, QStringLiteral("1.1.0 (1)"), {});
        updates.setStatus(status);
        QCOMPARE(about.buttonTexts(), buttons);
        if (status.kind() == UpdateStatus::Kind::Downloading)
            QVERIFY(about.texts().contains(QStringLiteral("99%")));
        if (status.kind() == UpdateStatus::Kind::Error)
            QVERIFY(about.texts().contains(QStringLiteral("更新信息解析失败")));
        QVERIFY(about.texts().contains(QStringLiteral("版本 1.1.0 (1)")));
        for (const QString& button : buttons)
            about.clickButton(button);
        QCOMPARE(updates.calls, call.isEmpty() ? QStringList{} : QStringList{call});
    }

    void theHapticsSwitchIsGone()
    {
        // Linux has no touchpad feedback a program may trigger. The stored value stays for a system
        // that has it: loading never writes (SettingsServiceTest).
        Window window;
        window.view->setSelection(SidebarItem::Interaction);
        QCOMPARE(window.view->pane(SidebarItem::Interaction)->findChildren<FormRow*>().size(), 2);
    }

    void thePermissionsPaneChecksWhenShownAndOnRequest()
    {
        Window window;
        window.workspace.accessProblem =
            TrashAccessProblem{TrashAccessProblem::Kind::NotWritable, "/home/user/.local/share/Trash/files",
                               "/home/user/.local/share/Trash", 1000, 0500};
        window.view->setSelection(SidebarItem::Permissions);
        QCOMPARE(window.workspace.calls, QStringList{QStringLiteral("checkTrashAccess")});
        QVERIFY(window.shown(window.button(QStringLiteral("复制修复命令"))));
        // The report is the panel's guide's: what it says, copies and opens is checked in MenuBarViewTest,
        // the command in TrashAccessTest.
        window.workspace.accessProblem.reset();
        window.button(QStringLiteral("重新检查"))->click();
        QCOMPARE(window.workspace.calls.last(), QStringLiteral("checkTrashAccess"));
        QVERIFY(!window.shown(window.button(QStringLiteral("复制修复命令"))));
    }

    void theWindowOpensOnce()
    {
        Window window;
        int made = 0;
        SettingsWindow host([&] {
            ++made;
            return new SettingsView(*window.settings, window.updates, window.shortcut, window.workspace, {});
        });
        SettingsView* first = host.open();
        SettingsView* second = host.open();
        QCOMPARE(first, second);
        QCOMPARE(made, 1);
        QVERIFY(first->isVisible());
    }
};

Q_DECLARE_METATYPE(rubbly::UpdateStatus)

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
