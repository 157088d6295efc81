#include "SettingsView.h"
#include "AboutSettingsView.h"
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

    void theConfirmationWarningComesOnceForGood()
    {
        Window window(SidebarItem::Cleaning);
        const QString ask = QStringLiteral("清空前进行确认");
        window.toggle(ask)->click(); // off, the first time
        QVERIFY(!window.settings->confirmBeforeEmptying());
        QVERIFY(window.view->confirmOffWarning());
        window.view->confirmOffWarning()->buttons().first()->click();
        QTRY_VERIFY(!window.view->confirmOffWarning());
        window.toggle(ask)->click(); // on: nothing to say
        window.toggle(ask)->click(); // off again: said before
        QVERIFY(!window.view->confirmOffWarning());
        window.open(SidebarItem::Cleaning); // after a restart too
        window.toggle(ask)->click();
        window.toggle(ask)->click();
        QVERIFY(!window.view->confirmOffWarning());
    }

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
        QTest::addColumn<QString>("call"); // what its one button asks for; none: no button
        QTest::newRow("idle") << UpdateStatus::idle() << QStringLiteral("check manual");
        QTest::newRow("checking") << UpdateStatus::checking() << QString();
        QTest::newRow("up to date") << UpdateStatus::upToDate() << QStringLiteral("check manual");
        QTest::newRow("available") << UpdateStatus::updateAvailable(info) << QStringLiteral("download 1.2.0");
        QTest::newRow("downloading") << UpdateStatus::downloading(0.999, info) << QString();
        QTest::newRow("ready") << UpdateStatus::readyToInstall("/w/Rubbly.app", info)
                               << QStringLiteral("install /w/Rubbly.app");
        QTest::newRow("error") << UpdateStatus::error(QStringLiteral("更新信息解析失败"))
                               << QStringLiteral("check manual");
    }
    void eachUpdateStateOffersItsOwnButtons()
    {
        QFETCH(UpdateStatus, status);
        QFETCH(QString, call);
        FakeUpdateService updates;
        RecordingWorkspace workspace;
        AboutSettingsView about(updates, workspace, QStringLiteral("1.1.0 (1)"), {});
        updates.setStatus(status);
        const QStringList buttons = about.buttonTexts();
        QCOMPARE(buttons.size(), call.isEmpty() ? 0 : 1);
        for (const QString& button : buttons)
            about.clickButton(button);
        QCOMPARE(updates.calls, call.isEmpty() ? QStringList{} : QStringList{call});
    }
};

Q_DECLARE_METATYPE(rubbly::UpdateStatus)

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
