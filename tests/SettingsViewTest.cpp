#include "SettingsView.h"
#include "AboutSettingsView.h"
#include "ArchiveBuilder.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "HttpTestServer.h"
#include "JsonFileDefaultsStore.h"
#include "MemoryDefaults.h"
#include "Motion.h"
#include "PermissionGuideView.h"
#include "PushButton.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsPanes.h"
#include "SettingsService.h"
#include "SettingsWindow.h"
#include "TempHome.h"
#include "UiLanguageGuard.h"
#include "UpdateService.h"
#include "UpdateSigning.h"
#include "VirtualScheduler.h"
#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QLayout>
#include <QNetworkAccessManager>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

Q_DECLARE_METATYPE(rubbly::UiLanguage)
Q_DECLARE_METATYPE(rubbly::SidebarItem)
Q_DECLARE_METATYPE(rubbly::TrashAccessProblem::Kind)

namespace {

// The settings window on a defaults file in a temporary home, with the real autostart entry.
struct Window {
    TempHome home;
    std::unique_ptr<JsonFileDefaultsStore> defaults;
    XdgAutostartLoginItem loginItem{QStringLiteral("/usr/bin/rubbly")};
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
        settings = std::make_unique<SettingsService>(*defaults, SettingsService::Effects{nullptr, nullptr, &loginItem});
        view = std::make_unique<SettingsView>(*settings, updates, shortcut, workspace,
                                              SettingsView::Options{QStringLiteral("1.1.0 (1)"), true, {}});
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
    // The texts of the pane that shows, top to bottom: headers, rows' titles, footers.
    QStringList texts() const
    {
        QWidget* pane = view->currentPane();
        pane->layout()->activate();
        QList<std::pair<QPoint, QString>> placed;
        for (GeekText* text : pane->findChildren<GeekText*>()) {
            if (shown(text))
                placed.append({text->mapTo(pane, QPoint(0, 0)), QString(text->text()).remove(QChar(0x2060))});
        }
        std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
            return std::pair(a.first.y(), a.first.x()) < std::pair(b.first.y(), b.first.x());
        });
        QStringList all;
        for (const auto& [at, text] : placed)
            all.append(text);
        return all;
    }
    PushButton* button(const QString& text) const
    {
        for (PushButton* button : view->currentPane()->findChildren<PushButton*>()) {
            if (button->text() == text)
                return button;
        }
        qFatal("no button %s", qPrintable(text));
    }
};

using Texts = QStringList;

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
        QCOMPARE(window.view->confirmOffWarning()->windowTitle(), QStringLiteral("已关闭清空确认"));
        QCOMPARE(window.view->confirmOffWarning()->text(),
                 QStringLiteral("清空废纸篓时将不再弹出二次确认，直接永久删除所有文件。"));
        QCOMPARE(window.view->confirmOffWarning()->buttons().size(), 1);
        QCOMPARE(window.view->confirmOffWarning()->buttons().first()->text(), QStringLiteral("好"));
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
    }

    void aValueNotOnTheListPicksNothing()
    {
        Window window;
        window.settings->setAutoCleanDays(45);
        window.settings->setAutoCleanEnabled(true);
        window.open();
        auto* days = static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control());
        QCOMPARE(days->currentIndex(), -1);
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
        QCOMPARE(window.view->windowTitle(), QStringLiteral("Rubbly 设置"));
        QVERIFY(window.view->minimumSize() == QSize(720, 480));
    }

    void launchAtLoginWritesTheAutostartEntry()
    {
        Window window;
        ToggleSwitch* toggle = window.toggle(QStringLiteral("开机自启动"));
        QCOMPARE(toggle->accessibleName(), QStringLiteral("开机自启动"));
        toggle->click();
        QVERIFY(QFile::exists(window.loginItem.userEntryPath()));
        QVERIFY(JsonFileDefaultsStore(JsonFileDefaultsStore::defaultFilePath())
                    .boolValue(QStringLiteral("Rubbly.launchAtLogin"))
                    .value_or(false));
        toggle->click();
        QVERIFY(!QFile::exists(window.loginItem.userEntryPath()));
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
        QTest::newRow("idle") << UpdateStatus::idle() << QStringList{QStringLiteral("检查更新…")}
                              << QStringLiteral("check manual");
        QTest::newRow("checking") << UpdateStatus::checking() << QStringList{} << QString();
        QTest::newRow("up to date") << UpdateStatus::upToDate() << QStringList{QStringLiteral("重新检查更新")}
                                    << QStringLiteral("check manual");
        QTest::newRow("available") << UpdateStatus::updateAvailable(info) << QStringList{QStringLiteral("立即下载更新")}
                                   << QStringLiteral("download 1.2.0");
        QTest::newRow("downloading") << UpdateStatus::downloading(0.999, info) << QStringList{} << QString();
        QTest::newRow("ready") << UpdateStatus::readyToInstall("/w/Rubbly.app", info)
                               << QStringList{QStringLiteral("立即重启以完成更新")}
                               << QStringLiteral("install /w/Rubbly.app");
        QTest::newRow("error") << UpdateStatus::error(QStringLiteral("更新信息解析失败"))
                               << QStringList{QStringLiteral("重试")} << QStringLiteral("check manual");
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

    // What each pane says: in Chinese the designs' texts, mended where they spoke of another system
    // (the taskbar, the tray, Linux key names, no haptics, Linux in the description), and in English.
    void eachPaneSaysWhatItShould_data()
    {
        QTest::addColumn<UiLanguage>("language");
        QTest::addColumn<SidebarItem>("pane");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("texts");
        const auto zh = [](const char* name, SidebarItem pane, const char* title,
                           std::initializer_list<const char*> texts) {
            QStringList list;
            for (const char* text : texts)
                list.append(QString::fromUtf8(text));
            QTest::addRow("zh %s", name) << UiLanguage::Chinese << pane << QString::fromUtf8(title) << list;
        };
        zh("general", SidebarItem::General, "通用",
           {"外观", "外观模式", "可选择跟随系统外观，或强制设置为浅色或深色模式。", "运行方式", "开机自启动",
            "不在任务栏显示", "开启后，Rubbly 将作为纯状态栏工具运行，不在任务栏显示窗口。", "软件更新",
            "自动检查更新"});
        zh("tray", SidebarItem::MenuBar, "状态栏",
           {"在状态栏显示大小", "废纸篓为空时隐藏大小", "根据容量动态展示图标形态",
            "自定义状态栏中 Rubbly 图标与文件体积的显示方式。"});
        zh("cleaning", SidebarItem::Cleaning, "清理",
           {"清空前进行确认", "清理完成后发送通知",
            "清空废纸篓时进行二次确认保护，并在完成后通过系统通知提醒释放的空间。"});
        zh("automation", SidebarItem::Automation, "自动化",
           {"自动化清理总开关", "启用后台自动规则巡检", "按保留时间清理", "自动清理超期文件", "保留期限",
            "按容量阈值清理", "容量达到阈值时触发", "容量阈值", "静默自动清空（关闭则仅通知提醒）"});
        zh("interaction", SidebarItem::Interaction, "快捷键与反馈",
           {"全局快捷键", "启用一键清空全局快捷键 (Alt + Shift + Backspace)",
            "开启后，在任意界面按下 Alt + Shift + Backspace 即可快速触发清空废纸篓。", "声音反馈", "播放清空音效",
            "操作完成时通过清脆音效提供即时反馈。"});
        zh("permissions", SidebarItem::Permissions, "权限",
           {"废纸篓读写权限", "Rubbly 需要读写你的废纸篓文件夹，才能统计和清空它们。",
            "所有废纸篓文件夹都可以正常读取和清空。"});
        zh("about", SidebarItem::About, "关于",
           {"Rubbly", "版本 1.1.0 (1)", "轻量、智能、透明的 Linux 桌面状态栏存储守护与清理工具。",
            "Built by Tolvik · 2026"});
        const auto en = [](const char* name, SidebarItem pane, const char* title,
                           std::initializer_list<const char*> texts) {
            QStringList list;
            for (const char* text : texts)
                list.append(QString::fromUtf8(text));
            QTest::addRow("en %s", name) << UiLanguage::English << pane << QString::fromUtf8(title) << list;
        };
        en("general", SidebarItem::General, "General",
           {"Appearance", "Theme", "Follow the system's appearance, or always use light or dark.", "Startup",
            "Start at login", "Hide from the taskbar",
            "When on, Rubbly runs from the tray alone and its windows stay out of the taskbar.", "Updates",
            "Check for updates automatically"});
        en("tray", SidebarItem::MenuBar, "Tray",
           {"Show the size in the tray", "Hide the size when the Trash is empty", "Icon shows how full the Trash is",
            "Choose how Rubbly's icon and the Trash's size show in the tray."});
        en("cleaning", SidebarItem::Cleaning, "Cleaning",
           {"Ask before emptying", "Notify when cleaning is done",
            "Ask once more before emptying the Trash, and tell in a notification how much space was freed when it is "
            "done."});
        en("automation", SidebarItem::Automation, "Automation",
           {"Automatic cleaning", "Check the rules in the background", "By age", "Remove entries older than a limit",
            "Keep for", "By size", "Act when the Trash grows past a size", "Size limit",
            "Empty silently (off: only notify)"});
        en("interaction", SidebarItem::Interaction, "Shortcut & Feedback",
           {"Global shortcut", "Empty the Trash with a shortcut (Alt + Shift + Backspace)",
            "When on, Alt + Shift + Backspace empties the Trash from anywhere.", "Sound", "Play a sound when emptying",
            "A crisp sound tells you at once when the work is done."});
        en("permissions", SidebarItem::Permissions, "Permissions",
           {"Access to the Trash", "Rubbly reads and writes your trash folders to measure and empty them.",
            "Every trash folder can be read and emptied."});
        en("about", SidebarItem::About, "About",
           {"Rubbly", "Version 1.1.0 (1)",
            "A light, smart and open keeper and cleaner of your disk, in the Linux desktop's tray.",
            "Built by Tolvik · 2026"});
    }
    void eachPaneSaysWhatItShould()
    {
        QFETCH(UiLanguage, language);
        QFETCH(SidebarItem, pane);
        QFETCH(QString, title);
        QFETCH(QStringList, texts);
        UiLanguageGuard guard(language);
        Window window;
        window.settings->setAutoCleanEnabled(true);
        window.settings->setAutoCleanByAgeEnabled(true);
        window.settings->setAutoCleanBySizeEnabled(true);
        window.view->setSelection(pane);
        QCOMPARE(window.view->detailTitle(), title);
        QCOMPARE(window.texts(), texts);
    }

    void theHapticsSwitchIsGoneAndItsValueStays()
    {
        // Linux has no touchpad feedback a program may trigger: no switch, and the stored value is
        // left for a system that has it.
        Window window;
        window.settings->setHapticFeedbackEnabled(false);
        window.open();
        window.view->setSelection(SidebarItem::Interaction);
        QCOMPARE(window.view->pane(SidebarItem::Interaction)->findChildren<FormRow*>().size(), 2);
        QCOMPARE(window.settings->hapticFeedbackEnabled(), false);
        QVERIFY(JsonFileDefaultsStore(JsonFileDefaultsStore::defaultFilePath())
                    .boolValue(QStringLiteral("Rubbly.hapticFeedbackEnabled"))
                    .has_value());
    }

    void thePermissionsPaneChecksWhenShownAndOnRequest()
    {
        Window window;
        window.workspace.accessProblem =
            TrashAccessProblem{TrashAccessProblem::Kind::NotWritable, "/home/user/.local/share/Trash/files",
                               "/home/user/.local/share/Trash", 1000, 0500};
        window.view->setSelection(SidebarItem::Permissions);
        QCOMPARE(window.workspace.calls, QStringList{QStringLiteral("checkTrashAccess")});
        QVERIFY(window.texts().contains(
            QStringLiteral("「~/.local/share/Trash/files」的权限（0500）不允许修改，Rubbly 无法删除其中的内容。")));
        QVERIFY(window.texts().contains(QStringLiteral("chmod -R u+rwX ~/.local/share/Trash")));
        window.button(QStringLiteral("复制修复命令"))->click();
        window.button(QStringLiteral("打开文件夹"))->click();
        QCOMPARE(window.workspace.calls.mid(1),
                 (QStringList{QStringLiteral("copyText chmod -R u+rwX ~/.local/share/Trash"),
                              QStringLiteral("openFolder /home/user/.local/share/Trash")}));
        window.workspace.accessProblem.reset();
        window.button(QStringLiteral("重新检查"))->click();
        QCOMPARE(window.workspace.calls.last(), QStringLiteral("checkTrashAccess"));
        QVERIFY(window.texts().contains(QStringLiteral("所有废纸篓文件夹都可以正常读取和清空。")));
        QVERIFY(!window.shown(window.button(QStringLiteral("复制修复命令"))));
    }

    // The sentence for each problem, with its path and owner in plain words.
    void eachTrashProblemIsSaidPlainly_data()
    {
        QTest::addColumn<UiLanguage>("language");
        QTest::addColumn<TrashAccessProblem::Kind>("kind");
        QTest::addColumn<QString>("sentence");
        using K = TrashAccessProblem::Kind;
        const QList<std::tuple<K, const char*, const char*>> rows{
            {K::NotOwned, "「~/.local/share/Trash」属于用户 root，Rubbly 无法读取和清空它。",
             "“~/.local/share/Trash” belongs to the user root, so Rubbly cannot read or empty it."},
            {K::NotReadable, "「~/.local/share/Trash」的权限（0300）不允许读取，Rubbly 无法查看其中的内容。",
             "The modes of “~/.local/share/Trash” (0300) forbid reading it, so Rubbly cannot see what it holds."},
            {K::NotWritable, "「~/.local/share/Trash」的权限（0300）不允许修改，Rubbly 无法删除其中的内容。",
             "The modes of “~/.local/share/Trash” (0300) forbid changing it, so Rubbly cannot delete what it holds."},
            {K::NotAFolder, "「~/.local/share/Trash」不是文件夹。请将它移走，然后重新检查。",
             "“~/.local/share/Trash” is not a folder. Move it out of the way, then check again."},
            {K::Missing, "废纸篓文件夹「~/.local/share/Trash」不存在，也无法创建。",
             "The trash folder “~/.local/share/Trash” does not exist and could not be made."},
        };
        for (const auto& [kind, chinese, english] : rows) {
            QTest::addRow("zh %d", int(kind)) << UiLanguage::Chinese << kind << QString::fromUtf8(chinese);
            QTest::addRow("en %d", int(kind)) << UiLanguage::English << kind << QString::fromUtf8(english);
        }
    }
    void eachTrashProblemIsSaidPlainly()
    {
        QFETCH(UiLanguage, language);
        QFETCH(TrashAccessProblem::Kind, kind);
        QFETCH(QString, sentence);
        UiLanguageGuard guard(language);
        const TrashAccessProblem problem{kind, "/home/u/.local/share/Trash", "/home/u/.local/share/Trash", 0, 0300};
        QCOMPARE(trashAccessText(problem, "/home/u").sentence.remove(QChar(0x2060)), sentence);
    }

    // The pane's download button goes through the updater's signature check like the command line.
    void anUpdateSignedByAnotherKeyIsRefusedInThePane()
    {
        TempHome home;
        HttpTestServer server;
        VirtualScheduler clock;
        MemoryDefaults defaults;
        QNetworkAccessManager network;
        UpdateService::Config config = UpdateService::Config::defaults();
        config.baseURL = server.url(QStringLiteral("/"));
        config.currentVersion = QStringLiteral("1.0");
        config.trustedKeys = UpdateService::parseKeys(QString::fromLatin1(SigningKey::make(home.root()).publicKey));
        UpdateService updates(defaults, clock, network, config);
        const QByteArray archive = makeArchive({{"Rubbly.app/AppRun", "#!/bin/sh\n", 0755}}, true);
        server.route(QStringLiteral("/version.json"), {200, "{\"version\":\"2\"}", "application/json"});
        server.route(QStringLiteral("/downloads/Rubbly.zip"), {200, archive});
        server.route(QStringLiteral("/downloads/Rubbly.zip.minisig"),
                     {200, SigningKey::make(home.root(), QStringLiteral("other")).sign(archive, QStringLiteral("2"))});
        RecordingWorkspace workspace;
        AboutSettingsView about(updates, workspace, QStringLiteral("1.0 (1)"), {});

        about.clickButton(QStringLiteral("检查更新…"));
        QTRY_COMPARE(updates.status().kind(), UpdateStatus::Kind::UpdateAvailable);
        about.clickButton(QStringLiteral("立即下载更新"));
        QTRY_COMPARE(updates.status().kind(), UpdateStatus::Kind::Error);
        QVERIFY(about.texts().contains(QStringLiteral("更新包签名校验失败，已拒绝安装")));
        QCOMPARE(about.buttonTexts(), QStringList{QStringLiteral("重试")});
        QVERIFY(
            QDir(updates.workFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
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
