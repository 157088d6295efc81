#include "SettingsView.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "MemoryDefaults.h"
#include "Motion.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsService.h"
#include "TempHome.h"

#include <QAccessible>
#include <QTest>
#include <QTextBoundaryFinder>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

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
        view = std::make_unique<SettingsView>(
            *settings, updates, shortcut, workspace,
            SettingsView::Options{QStringLiteral("1.1.0 (1)"), true, {}, {QStringLiteral("GNOME")}});
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
};

// Changes `control` as a screen reader or voice control does: its own "Toggle" action, else the first
// of its choices that is not the current one, by that choice's action (a combo box's list opens first).
void changeAsAssistiveTechnology(QWidget* control)
{
    QAccessibleInterface* target = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = target->actionInterface();
    if (actions->actionNames().contains(QAccessibleActionInterface::toggleAction()))
        return actions->doAction(QAccessibleActionInterface::toggleAction());
    if (target->role() == QAccessible::ComboBox) {
        actions->doAction(QAccessibleActionInterface::showMenuAction());
        target = target->child(0);
    }
    for (int i = 0; i < target->childCount(); ++i) {
        QAccessibleInterface* choice = target->child(i);
        QAccessibleActionInterface* act = choice->actionInterface();
        if (!choice->state().checked && !choice->state().selected && act && !act->actionNames().isEmpty())
            return act->doAction(act->actionNames().constFirst());
    }
    QFAIL("no action changes the control");
}

// What a control shows, as the store keeps it.
QVariant shownValue(QWidget* control)
{
    if (auto* toggle = qobject_cast<ToggleSwitch*>(control))
        return toggle->isChecked();
    if (auto* picker = qobject_cast<ChoicePicker*>(control))
        return picker->currentData();
    if (auto* segments = qobject_cast<SegmentedPicker*>(control))
        return appAppearanceRawValue(kAllAppAppearances.at(static_cast<std::size_t>(segments->currentIndex())));
    return QStringLiteral("an unknown control");
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    // A stored value not on a picker's list, stored by another version, picks nothing and stays.
    void aValueOffTheListStaysAsItIs()
    {
        Window window(SidebarItem::Automation);
        window.settings->setAutoCleanDays(45);
        window.open(SidebarItem::Automation);
        QCOMPARE(static_cast<ChoicePicker*>(window.row(QStringLiteral("保留期限"))->control())->currentIndex(), -1);
        QCOMPARE(window.settings->autoCleanDays(), 45);
    }

    // A value the store changes (another program wrote it) shows, and is not taken for the user's own
    // change: no warning about the confirmation the user did not turn off.
    void aStoredChangeShowsWithoutActingAsTheUser()
    {
        Window window(SidebarItem::Cleaning);
        window.settings->setConfirmBeforeEmptying(false);
        QVERIFY(!static_cast<ToggleSwitch*>(window.row(QStringLiteral("清空前进行确认"))->control())->isChecked());
        QVERIFY(!window.view->confirmOffWarning() && !window.settings->hasShownConfirmOffWarning());
    }

    // The line under the shortcut's switch says what the desktop did; wherever the key does nothing it
    // names the command and where this desktop binds keys, and no refusal is blamed on another program.
    void theShortcutLineSaysWhatTheDesktopDid_data()
    {
        QTest::addColumn<KeyGrabber::Status>("status");
        QTest::addColumn<QString>("detail"); // the trigger, a reason, or "anonymous": no application id
        QTest::addColumn<QStringList>("says");
        using S = KeyGrabber::Status;
        const QString command = u"rubbly --empty-trash"_s, keys = u"设置 › 键盘"_s;
        QTest::newRow("bound") << S::Active << u"Shift+Alt+BackSpace"_s << QStringList{u"Shift+Alt+BackSpace"_s};
        QTest::newRow("waiting") << S::Waiting << QString() << QStringList{u"等待"_s, u"对话框"_s};
        QTest::newRow("declined") << S::RefusedByUser << QString() << QStringList{u"你"_s, u"拒绝"_s};
        QTest::newRow("no-app-id") << S::RefusedByDesktop << u"anonymous"_s << QStringList{u"终端"_s, command, keys};
        QTest::newRow("reason") << S::RefusedByDesktop << u"invalid app_id"_s
                                << QStringList{u"桌面拒绝"_s, u"invalid app_id"_s, command, keys};
        QTest::newRow("not-offered") << S::Unavailable << QString() << QStringList{command, keys};
    }
    void theShortcutLineSaysWhatTheDesktopDid()
    {
        QFETCH(KeyGrabber::Status, status);
        QFETCH(QString, detail);
        QFETCH(QStringList, says);
        Window window(SidebarItem::Interaction);
        window.settings->setGlobalShortcutEnabled(true);
        const bool anonymous = detail == u"anonymous"_s;
        window.grabber.force(status, anonymous ? QString() : detail, anonymous);
        const QString shown = window.view->currentPane()->findChild<GeekText*>(u"shortcutStatus"_s)->text();
        const QString text = QString(shown).remove(QChar(0x2060)).replace(QChar(0x00A0), u' ');
        for (const QString& part : says + QStringList{u"!其他程序"_s, u"!--toggle-panel"_s})
            QVERIFY2(text.contains(part.mid(part.startsWith(u'!'))) != part.startsWith(u'!'), qPrintable(text));
        // The command is never cut at the end of a line.
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, shown);
        const qsizetype at = shown.indexOf(u"rubbly"_s);
        for (qsizetype i = at + 1; at >= 0 && i < shown.indexOf(u"trash"_s, at) + 5; ++i) {
            breaks.setPosition(i);
            QVERIFY2(!breaks.isAtBoundary(), qPrintable(shown.left(i)));
        }
    }

    // Automatic cleaning deletes by what these controls store, so the store follows each control's state
    // however it changes, a screen reader's "Toggle" too, and a restart shows it again. A control that
    // another one hides or dims is reached once that one shows it: the last first.
    void everyControlStoresWhatAssistiveTechnologySets_data()
    {
        QTest::addColumn<int>("pane");
        QTest::addColumn<int>("controls");
        const QList<int> counts{4, 3, 2, 6, 2, 0, 0};
        for (SidebarItem item : kAllSidebarItems)
            QTest::newRow(qPrintable(sidebarItemRawValue(item))) << int(item) << counts[int(item)];
    }
    void everyControlStoresWhatAssistiveTechnologySets()
    {
        QFETCH(int, pane);
        QFETCH(int, controls);
        Window window{SidebarItem(pane)};
        QHash<QString, QVariant> shown;
        for (;;) {
            const QList<FormRow*> rows = window.view->currentPane()->findChildren<FormRow*>();
            const auto next = std::find_if(rows.crbegin(), rows.crend(), [&shown](FormRow* row) {
                return row->isVisible() && row->control()->isEnabled() && !shown.contains(row->text());
            });
            if (next == rows.crend())
                break;
            const auto before = window.defaults.values;
            changeAsAssistiveTechnology((*next)->control());
            shown.insert((*next)->text(), shownValue((*next)->control()));
            const auto stored = [&](const QString& key) {
                const DefaultsValue& now = window.defaults.values[key];
                return (!before.contains(key) || before[key] != now) &&
                       std::visit([](const auto& value) { return QVariant::fromValue(value); }, now) ==
                           shown[(*next)->text()];
            };
            const QStringList keys = window.defaults.values.keys();
            const auto key = std::find_if(keys.begin(), keys.end(), stored);
            QVERIFY2(key != keys.end(), qPrintable((*next)->text()));
            m_shownSettings.insert(*key);
        }
        QCOMPARE(shown.size(), controls);
        window.open(SidebarItem(pane));
        for (FormRow* row : window.view->currentPane()->findChildren<FormRow*>())
            QCOMPARE(shownValue(row->control()), shown.value(row->text()));
        ++m_panesShown;
    }

    // Every setting the user chooses has a control on some pane: a setting added to the list but to
    // no pane fails here. The exceptions are the program's own marks and what Linux has no use for.
    void cleanupTestCase()
    {
        if (m_panesShown < int(kAllSidebarItems.size()))
            return; // only some panes ran
        const QSet<SettingsService::Key> withoutControl{
            SettingsService::Key::HasShownConfirmOffWarning, SettingsService::Key::HasShownPanelItemOffer,
            SettingsService::Key::PanelItemAdded, SettingsService::Key::HapticFeedbackEnabled};
        for (int i = 0; i < SettingsService::kKeyCount; ++i) {
            const auto key = SettingsService::Key(i);
            QVERIFY2(m_shownSettings.contains(SettingsService::defaultsKey(key)) != withoutControl.contains(key),
                     qPrintable(SettingsService::defaultsKey(key)));
        }
    }

private:
    QSet<QString> m_shownSettings;
    int m_panesShown = 0;
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
