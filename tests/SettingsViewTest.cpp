#include "SettingsView.h"
#include "AboutSettingsView.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "JsonFileDefaultsStore.h"
#include "Motion.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsPanes.h"
#include "SettingsService.h"
#include "TempHome.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

// The settings window on a defaults file in a temporary home.
struct Window {
    TempHome home;
    std::unique_ptr<JsonFileDefaultsStore> defaults;
    std::unique_ptr<SettingsService> settings;
    FakeGrabber grabber;
    GlobalShortcutService shortcut{&grabber};
    FakeUpdateService updates;
    RecordingWorkspace workspace;
    std::unique_ptr<SettingsView> view;

    Window() { open(); }
    // Opens the window anew on what the defaults file holds, as after a restart.
    void open()
    {
        view.reset();
        settings.reset();
        defaults = std::make_unique<JsonFileDefaultsStore>(JsonFileDefaultsStore::defaultFilePath());
        settings = std::make_unique<SettingsService>(*defaults, SettingsService::Effects{});
        view = std::make_unique<SettingsView>(*settings, updates, shortcut, workspace,
                                              SettingsView::Options{u"1.1.0 (1)"_s, true, {}});
        view->show();
    }
    FormRow* row(const QString& text) const
    {
        for (FormRow* row : view->findChildren<FormRow*>()) {
            if (row->text() == text)
                return row;
        }
        qFatal("no row %s", qPrintable(text));
    }
    ToggleSwitch* toggle(const QString& text) const { return static_cast<ToggleSwitch*>(row(text)->control()); }
    // Visible as the user sees it: inside the pane that shows.
    bool shown(QWidget* widget) const { return widget->isVisibleTo(view->pane(*view->selection())); }
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
        ToggleSwitch* confirm = window.toggle(u"清空前进行确认"_s);
        confirm->click(); // off, the first time
        QVERIFY(!window.settings->confirmBeforeEmptying());
        QVERIFY(window.view->confirmOffWarning());
        window.view->confirmOffWarning()->buttons().first()->click();
        QTRY_VERIFY(!window.view->confirmOffWarning());

        confirm->click(); // on: nothing to say
        confirm->click(); // off again: said before
        QVERIFY(!window.view->confirmOffWarning());
        window.open(); // after a restart too
        window.toggle(u"清空前进行确认"_s)->click();
        window.toggle(u"清空前进行确认"_s)->click();
        QVERIFY(window.settings->hasShownConfirmOffWarning());
        QVERIFY(!window.view->confirmOffWarning());
    }

    void theHideWhenEmptySwitchWaitsForTheSizeToShow()
    {
        Window window;
        window.view->setSelection(SidebarItem::MenuBar);
        window.toggle(u"废纸篓为空时隐藏大小"_s)->click();
        QVERIFY(window.settings->hideSizeWhenEmpty());
        window.toggle(u"在菜单栏显示大小"_s)->click();
        FormRow* dependent = window.row(u"废纸篓为空时隐藏大小"_s);
        QVERIFY(!dependent->isEnabled());
        QVERIFY(window.settings->hideSizeWhenEmpty()); // kept
        window.toggle(u"在菜单栏显示大小"_s)->click();
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
        QCOMPARE(sections(), QStringList{u"自动化清理总开关"_s});
        window.toggle(u"启用后台自动规则巡检"_s)->click();
        QCOMPARE(sections().size(), 3);
        auto* days = static_cast<ChoicePicker*>(window.row(u"保留期限"_s)->control());
        QCOMPARE(days->count(), 4);
        days->setCurrentIndex(0);
        Q_EMIT days->activated(0);
        QCOMPARE(window.settings->autoCleanDays(), 7);
        window.toggle(u"容量达到阈值时触发"_s)->click();
        QVERIFY(!window.shown(window.row(u"容量阈值"_s)));
        QVERIFY(!window.shown(window.row(u"静默自动清空（关闭则仅通知提醒）"_s)));
        window.toggle(u"启用后台自动规则巡检"_s)->click();
        QCOMPARE(sections().size(), 1);
        window.toggle(u"启用后台自动规则巡检"_s)->click();
        QCOMPARE(days->currentText(), u"超过 7 天"_s); // the old values come back
        QVERIFY(!window.settings->autoCleanBySizeEnabled());
    }

    void aValueNotOnTheListPicksNothing()
    {
        Window window;
        window.settings->setAutoCleanDays(45);
        window.settings->setAutoCleanEnabled(true);
        window.open();
        auto* days = static_cast<ChoicePicker*>(window.row(u"保留期限"_s)->control());
        QCOMPARE(days->currentIndex(), -1);
        QCOMPARE(window.settings->autoCleanDays(), 45);
    }

    void anEmptySelectionShowsGeneral()
    {
        Window window;
        window.view->setSelection(SidebarItem::About);
        QCOMPARE(window.view->detailTitle(), u"关于"_s);
        window.view->setSelection(std::nullopt);
        QCOMPARE(window.view->detailTitle(), u"通用"_s);
        QCOMPARE(window.view->currentPane(), window.view->pane(SidebarItem::General));
    }

    // The autostart entry it leads to is BinwellAppTest's and XdgAutostartLoginItemTest's to check.
    void theLoginSwitchTurnsLaunchAtLoginOnAndOff()
    {
        Window window;
        ToggleSwitch* toggle = window.toggle(u"开机自启动"_s);
        QCOMPARE(toggle->accessibleName(), u"开机自启动"_s);
        toggle->click();
        QVERIFY(window.settings->launchAtLogin());
        toggle->click();
        QVERIFY(!window.settings->launchAtLogin());
    }

    void theShortcutRowSaysWhatTheKeyCanDoHere_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<QString>("contains");
        QTest::newRow("off") << false << int(KeyGrabber::Status::Active) << false << QString();
        QTest::newRow("active") << true << int(KeyGrabber::Status::Active) << false << u"已生效"_s;
        QTest::newRow("taken") << true << int(KeyGrabber::Status::Conflict) << false << u"占用"_s;
        QTest::newRow("wayland") << true << int(KeyGrabber::Status::Unavailable) << true << u"rubbly --toggle-panel"_s;
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
            << u"1. 第一条\n\n2. 第二条\n  \n3. 第三条\n4.\t第四条\n5. 第五条"_s
            << QStringList{u"第一条"_s, u"第二条"_s, u"第三条"_s, u"第四条"_s};
        QTest::newRow("blanks only") << u" \n\t\n  "_s << QStringList{};
        QTest::newRow("a year is taken for a number") << u"2024.1 版本说明"_s << QStringList{u"1 版本说明"_s};
        QTest::newRow("kept lines are not trimmed") << u"  缩进的行 "_s << QStringList{u"  缩进的行 "_s};
        QTest::newRow("only the leading number goes, once") << u"12. 3. 更多"_s << QStringList{u"3. 更多"_s};
    }
    void releaseNotesBecomeAtMostFourRows()
    {
        QFETCH(QString, notes);
        QFETCH(QStringList, rows);
        QCOMPARE(releaseNoteRows(notes), rows);
    }

    void eachUpdateStateOffersItsOwnButtons_data()
    {
        const UpdateInfo info{u"1.2.0"_s, u"1. 新功能"_s, QUrl(u"https://example.com/Rubbly.zip"_s), std::nullopt};
        QTest::addColumn<UpdateStatus>("status");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("call");
        QTest::newRow("idle") << UpdateStatus::idle() << QStringList{u"检查更新…"_s} << u"check manual"_s;
        QTest::newRow("checking") << UpdateStatus::checking() << QStringList{} << QString();
        QTest::newRow("up to date") << UpdateStatus::upToDate() << QStringList{u"重新检查更新"_s} << u"check manual"_s;
        QTest::newRow("available") << UpdateStatus::updateAvailable(info) << QStringList{u"立即下载更新"_s}
                                   << u"download 1.2.0"_s;
        QTest::newRow("downloading") << UpdateStatus::downloading(0.999, info) << QStringList{} << QString();
        QTest::newRow("ready") << UpdateStatus::readyToInstall("/w/Rubbly.app", info)
                               << QStringList{u"立即重启以完成更新"_s} << u"install /w/Rubbly.app"_s;
        QTest::newRow("error") << UpdateStatus::error(u"更新信息解析失败"_s) << QStringList{u"重试"_s}
                               << u"check manual"_s;
    }
    void eachUpdateStateOffersItsOwnButtons()
    {
        QFETCH(UpdateStatus, status);
        QFETCH(QStringList, buttons);
        QFETCH(QString, call);
        FakeUpdateService updates;
        RecordingWorkspace workspace;
        AboutSettingsView about(updates, workspace, u"1.1.0 (1)"_s, {});
        updates.setStatus(status);
        QCOMPARE(about.buttonTexts(), buttons);
        if (status.kind() == UpdateStatus::Kind::Downloading)
            QVERIFY(about.texts().contains(u"99%"_s));
        if (status.kind() == UpdateStatus::Kind::Error)
            QVERIFY(about.texts().contains(u"更新信息解析失败"_s));
        QVERIFY(about.texts().contains(u"版本 1.1.0 (1)"_s));
        for (const QString& button : buttons)
            about.clickButton(button);
        QCOMPARE(updates.calls, call.isEmpty() ? QStringList{} : QStringList{call});
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
