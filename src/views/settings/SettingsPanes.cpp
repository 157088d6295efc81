#include "SettingsPanes.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "GlobalShortcutService.h"
#include "PermissionGuideView.h"
#include "PushButton.h"
#include "SettingsService.h"
#include "Symbols.h"
#include "Workspace.h"

#include <QToolTip>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace rubbly {

namespace {

// Controls bound both ways to one setting by its key. The stored value follows the control's state
// however it changes (a click, the keyboard, a screen reader's action, code); the store's own changes
// show without being taken for the user's.
ToggleSwitch* toggleFor(QObject* context, SettingsService& settings, SettingsService::Key key)
{
    auto* toggle = new ToggleSwitch;
    toggle->setChecked(settings.value(key).toBool());
    QObject::connect(toggle, &QAbstractButton::toggled, context,
                     [&settings, key](bool checked) { settings.setValue(key, checked); });
    QObject::connect(&settings, &SettingsService::valueChanged, toggle,
                     [toggle, &settings, key](SettingsService::Key changed) {
                         if (changed != key)
                             return;
                         const QSignalBlocker quiet(toggle);
                         toggle->setChecked(settings.value(key).toBool());
                     });
    return toggle;
}

ChoicePicker* pickerFor(QObject* context, SettingsService& settings, SettingsService::Key key,
                        QList<std::pair<QString, QVariant>> choices)
{
    auto* picker = new ChoicePicker(std::move(choices));
    picker->setValue(settings.value(key));
    // No choice (a stored value off the list) is nothing to store.
    QObject::connect(picker, &QComboBox::currentIndexChanged, context, [picker, &settings, key](int index) {
        if (index >= 0)
            settings.setValue(key, picker->itemData(index));
    });
    QObject::connect(&settings, &SettingsService::valueChanged, picker,
                     [picker, &settings, key](SettingsService::Key changed) {
                         if (changed == key)
                             picker->setValue(settings.value(key));
                     });
    return picker;
}

} // namespace

QString keyboardSettingsName(const QStringList& desktops)
{
    const auto on = [&desktops](const char* name) {
        return desktops.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    if (on("GNOME"))
        return QCoreApplication::translate("Settings", "Settings › Keyboard › View and Customize Shortcuts › "
                                                       "Custom Shortcuts");
    if (on("KDE"))
        return QCoreApplication::translate("Settings", "Plasma's settings › Keyboard › Shortcuts");
    return QCoreApplication::translate("Settings", "the desktop's keyboard settings");
}

namespace {

// Sentences in a row: a space after an English full stop, none after a Chinese one.
QString sentences(const QString& first, const QString& second)
{
    return first.endsWith(u'\u3002') || first.endsWith(u'\uff1a') ? first + second : first + u' ' + second;
}

// A command in a sentence stays on one line: broken at a hyphen it reads as two words, and whoever
// types it as shown types something else. The spaces become no-break ones and a word joiner follows
// each hyphen; only what is drawn changes.
QString withWholeCommands(QString text)
{
    static const QString command = QStringLiteral("rubbly --empty-trash");
    QString whole = command;
    whole.replace(u' ', QChar(0x00A0));
    whole.replace(QStringLiteral("-"), QStringLiteral("-") + QChar(0x2060));
    return text.replace(command, whole);
}

} // namespace

QString shortcutStatusText(bool enabled, const ShortcutReport& report, bool wayland, const QStringList& desktops)
{
    if (!enabled)
        return {};
    const QString bindYourself =
        QCoreApplication::translate("Settings", "Bind a key to the command rubbly --empty-trash in %1 instead.")
            .arg(keyboardSettingsName(desktops));
    switch (report.status) {
    case KeyGrabber::Status::Active:
        if (!report.detail.isEmpty())
            return QCoreApplication::translate("Settings", "The desktop bound the shortcut to %1.").arg(report.detail);
        return QCoreApplication::translate("Settings", "The shortcut is active.");
    case KeyGrabber::Status::Waiting:
        return QCoreApplication::translate("Settings", "Waiting for your answer in the desktop's dialog.");
    case KeyGrabber::Status::RefusedByUser:
        return QCoreApplication::translate("Settings", "You declined the shortcut in the desktop's dialog. Switch it "
                                                       "off and on to be asked again.");
    case KeyGrabber::Status::RefusedByDesktop: {
        const QString refused =
            report.detail.isEmpty()
                ? QCoreApplication::translate("Settings", "The desktop refused the shortcut.")
                : QCoreApplication::translate("Settings", "The desktop refused the shortcut: %1.").arg(report.detail);
        if (report.anonymous)
            return sentences(refused,
                             QCoreApplication::translate(
                                 "Settings", "Started from a terminal, Rubbly has no application id the desktop could "
                                             "name. Start it from its menu entry, or bind a key to the command "
                                             "rubbly --empty-trash in %1.")
                                 .arg(keyboardSettingsName(desktops)));
        return sentences(refused, bindYourself);
    }
    case KeyGrabber::Status::Conflict:
        return QCoreApplication::translate(
            "Settings", "Another program holds the shortcut: release Alt + Shift + Backspace there first.");
    case KeyGrabber::Status::Unavailable:
        if (wayland)
            return sentences(
                QCoreApplication::translate("Settings", "This desktop offers no global shortcuts to programs."),
                bindYourself);
        return QCoreApplication::translate("Settings", "This desktop does not support global shortcuts.");
    case KeyGrabber::Status::Inactive:
        return QCoreApplication::translate("Settings", "Registering the shortcut…");
    }
    return {};
}

GeneralSettingsView::GeneralSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    QList<SegmentedPicker::Option> options;
    for (AppAppearance appearance : kAllAppAppearances)
        options.append({appAppearanceTitle(appearance), appAppearanceSymbol(appearance)});
    auto* picker = new SegmentedPicker(options);
    const auto show = [picker, &settings] {
        const QSignalBlocker quiet(picker);
        picker->setCurrentIndex(
            static_cast<int>(std::find(kAllAppAppearances.begin(), kAllAppAppearances.end(), settings.appAppearance()) -
                             kAllAppAppearances.begin()));
    };
    show();
    connect(picker, &SegmentedPicker::currentIndexChanged, this, [&settings](int index) {
        if (index >= 0)
            settings.setAppAppearance(kAllAppAppearances[static_cast<std::size_t>(index)]);
    });
    connect(&settings, &SettingsService::appAppearanceChanged, picker, show);
    addSection(QCoreApplication::translate("Settings", "Appearance"),
               QCoreApplication::translate("Settings", "Follow the system's appearance, or always use light or dark."))
        ->addRow(QCoreApplication::translate("Settings", "Theme"), picker);

    FormSection* running = addSection(
        QCoreApplication::translate("Settings", "Startup"),
        QCoreApplication::translate(
            "Settings", "When on, Rubbly runs from the tray alone and its windows stay out of the taskbar."));
    running->addRow(QCoreApplication::translate("Settings", "Start at login"),
                    toggleFor(this, settings, SettingsService::Key::LaunchAtLogin));
    running->addRow(QCoreApplication::translate("Settings", "Hide from the taskbar"),
                    toggleFor(this, settings, SettingsService::Key::HideInDock));
    addSection(QCoreApplication::translate("Settings", "Updates"))
        ->addRow(QCoreApplication::translate("Settings", "Check for updates automatically"),
                 toggleFor(this, settings, SettingsService::Key::AutomaticallyCheckForUpdates));
}

TraySettingsView::TraySettingsView(SettingsService& settings, std::function<QString()> addSizeToPanel, QWidget* parent)
    : FormPane(parent)
{
    FormSection* section = addSection(
        QString(),
        QCoreApplication::translate("Settings", "Choose how Rubbly's icon and the Trash's size show in the tray."));
    section->addRow(QCoreApplication::translate("Settings", "Show the size in the tray"),
                    toggleFor(this, settings, SettingsService::Key::ShowSizeInMenuBar));
    FormRow* dependent =
        section->addRow(QCoreApplication::translate("Settings", "Hide the size when the Trash is empty"),
                        toggleFor(this, settings, SettingsService::Key::HideSizeWhenEmpty));
    dependent->setIndent(12);
    // Dimmed, not changed: the value waits for the size to be shown again.
    const auto follow = [dependent, &settings] { dependent->setEnabled(settings.showSizeInMenuBar()); };
    follow();
    connect(&settings, &SettingsService::showSizeInMenuBarChanged, dependent, follow);
    section->addRow(QCoreApplication::translate("Settings", "Icon shows how full the Trash is"),
                    toggleFor(this, settings, SettingsService::Key::DynamicMenuBarIcon));
    if (!addSizeToPanel)
        return;
    // This desktop's tray draws only the icon: the size can go into its panel as an item of its own.
    FormSection* panel = addSection(
        QString(), QCoreApplication::translate("Settings", "This desktop's tray shows only the icon. Rubbly can add "
                                                           "an item that shows the size to the desktop's panel; "
                                                           "remove it as any panel item."));
    auto* add = new PushButton(QCoreApplication::translate("Settings", "Add to Panel"), PushButton::Style::Bordered);
    panel->addRow(QCoreApplication::translate("Settings", "Show the size in the panel"), add);
    connect(add, &QAbstractButton::clicked, add, [add, addSizeToPanel] {
        QToolTip::showText(add->mapToGlobal(add->rect().bottomLeft()), addSizeToPanel(), add);
    });
}

CleaningSettingsView::CleaningSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    FormSection* section =
        addSection(QString(), QCoreApplication::translate(
                                  "Settings", "Ask once more before emptying the Trash, and say in a notification how "
                                              "much space was freed."));
    auto* confirm = new ToggleSwitch;
    confirm->setChecked(settings.confirmBeforeEmptying());
    connect(&settings, &SettingsService::confirmBeforeEmptyingChanged, confirm, [confirm, &settings] {
        const QSignalBlocker quiet(confirm);
        confirm->setChecked(settings.confirmBeforeEmptying());
    });
    connect(confirm, &QAbstractButton::toggled, this, [this, &settings](bool on) {
        settings.setConfirmBeforeEmptying(on);
        // Once for the life of the stored settings: the first time it goes off.
        if (!on && !settings.hasShownConfirmOffWarning()) {
            settings.setHasShownConfirmOffWarning(true);
            Q_EMIT confirmOffWarningRequested();
        }
    });
    section->addRow(QCoreApplication::translate("Settings", "Ask before emptying"), confirm);
    section->addRow(QCoreApplication::translate("Settings", "Notify when cleaning is done"),
                    toggleFor(this, settings, SettingsService::Key::NotifyAfterCleaning));
}

AutomationSettingsView::AutomationSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    addSection(QCoreApplication::translate("Settings", "Automatic cleaning"))
        ->addRow(QCoreApplication::translate("Settings", "Check the rules in the background"),
                 toggleFor(this, settings, SettingsService::Key::AutoCleanEnabled));

    FormSection* age = addSection(QCoreApplication::translate("Settings", "By age"));
    age->addRow(QCoreApplication::translate("Settings", "Remove entries older than a limit"),
                toggleFor(this, settings, SettingsService::Key::AutoCleanByAgeEnabled));
    QList<std::pair<QString, QVariant>> dayChoices;
    for (int limit : {7, 14, 30, 60})
        dayChoices.append({QCoreApplication::translate("Settings", "More than %1 days ago").arg(limit), limit});
    auto* days = pickerFor(this, settings, SettingsService::Key::AutoCleanDays, dayChoices);
    FormRow* daysRow = age->addRow(QCoreApplication::translate("Settings", "Remove what was trashed"), days);

    FormSection* size = addSection(QCoreApplication::translate("Settings", "By size"));
    size->addRow(QCoreApplication::translate("Settings", "Act when the Trash grows past a size"),
                 toggleFor(this, settings, SettingsService::Key::AutoCleanBySizeEnabled));
    QList<std::pair<QString, QVariant>> sizeChoices;
    for (int limit : {5, 10, 20, 50})
        sizeChoices.append({QCoreApplication::translate("Settings", "Over %1 GB").arg(limit), double(limit)});
    auto* threshold = pickerFor(this, settings, SettingsService::Key::AutoCleanSizeThresholdGB, sizeChoices);
    FormRow* thresholdRow = size->addRow(QCoreApplication::translate("Settings", "Size limit"), threshold);
    FormRow* silentRow = size->addRow(QCoreApplication::translate("Settings", "Empty silently (off: only notify)"),
                                      toggleFor(this, settings, SettingsService::Key::AutoCleanActionIsSilent));

    // Removed from the form, not dimmed; their values wait in the store.
    const auto follow = [=, &settings] {
        const bool on = settings.autoCleanEnabled();
        age->setVisible(on);
        size->setVisible(on);
        daysRow->setVisible(settings.autoCleanByAgeEnabled());
        thresholdRow->setVisible(settings.autoCleanBySizeEnabled());
        silentRow->setVisible(settings.autoCleanBySizeEnabled());
    };
    follow();
    for (auto signal : {&SettingsService::autoCleanEnabledChanged, &SettingsService::autoCleanByAgeEnabledChanged,
                        &SettingsService::autoCleanBySizeEnabledChanged})
        connect(&settings, signal, this, follow);
}

InteractionSettingsView::InteractionSettingsView(SettingsService& settings, GlobalShortcutService& shortcut,
                                                 bool wayland, QStringList desktops, QWidget* parent)
    : FormPane(parent)
{
    FormSection* keys = addSection(
        QCoreApplication::translate("Settings", "Global shortcut"),
        QCoreApplication::translate("Settings", "When on, Alt + Shift + Backspace empties the Trash from anywhere."));
    keys->addRow(QCoreApplication::translate("Settings", "Empty the Trash with a shortcut (Alt + Shift + Backspace)"),
                 toggleFor(this, settings, SettingsService::Key::GlobalShortcutEnabled));
    // What the key can do here: on Linux it can be refused, and then it must say why it does nothing.
    auto* status = captionText(QString());
    status->setObjectName(QStringLiteral("shortcutStatus"));
    status->setContentsMargins(12, 0, 12, 8);
    keys->addWidget(status);
    const auto show = [status, &settings, &shortcut, wayland, desktops = std::move(desktops)] {
        using S = KeyGrabber::Status;
        const S state = shortcut.status();
        const QString text =
            shortcutStatusText(settings.globalShortcutEnabled(), {state, shortcut.statusDetail(), shortcut.anonymous()},
                               wayland, desktops);
        status->setText(withWholeCommands(text));
        status->setVisible(!text.isEmpty());
        // Orange only where the key does nothing; asking and waiting are on their way.
        const bool fine = state == S::Active || state == S::Waiting || state == S::Inactive;
        status->setTint(fine ? Tint::secondary() : Tint::accent(8));
    };
    show();
    connect(&settings, &SettingsService::globalShortcutEnabledChanged, status, show);
    connect(&shortcut, &GlobalShortcutService::statusChanged, status, show);

    // No haptics here: Linux has no touchpad feedback a program may trigger, so the switch would do
    // nothing. Its stored value stays as it is for a system that has them.
    FormSection* feedback =
        addSection(QCoreApplication::translate("Settings", "Sound"),
                   QCoreApplication::translate("Settings", "A crisp sound tells you at once when the work is done."));
    feedback->addRow(QCoreApplication::translate("Settings", "Play a sound when emptying"),
                     toggleFor(this, settings, SettingsService::Key::SoundFeedbackEnabled));
}

namespace {

// The pane's shield: orange while a trash folder needs repair, a green mark once every one is usable.
class OrangeSymbol final : public QWidget {
public:
    explicit OrangeSymbol(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setFixedSize(24, 24);
    }
    void setAllWell(bool allWell)
    {
        m_allWell = allWell;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (m_allWell)
            paintSymbol(painter, QRectF(rect()), QStringLiteral("checkmark.circle.fill"), 20,
                        Tint::accent(6).resolve(this));
        else
            paintSymbol(painter, QRectF(rect()), QStringLiteral("lock.shield"), 22, Tint::warning().resolve(this));
    }

private:
    bool m_allWell = false;
};

} // namespace

PermissionsSettingsView::PermissionsSettingsView(Workspace& workspace, QWidget* parent)
    : FormPane(parent)
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(14, 4 + 12, 14, 4 + 12);
    column->setSpacing(12);
    auto* title = new QHBoxLayout;
    title->setSpacing(10);
    auto* symbol = new OrangeSymbol;
    title->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new GeekText(QCoreApplication::translate("Permissions", "Trash access"),
                                  uiFont(13, Weight::Semibold), Tint::primary()));
    auto* subtitle =
        new GeekText(QCoreApplication::translate("Permissions", "Rubbly needs to read and write your trash folders."),
                     uiFont(12), Tint::secondary());
    subtitle->setWordWrap(true);
    texts->addWidget(subtitle);
    title->addLayout(texts, 1);
    column->addLayout(title);
    column->addWidget(new Divider);
    GeekText* sentence = captionText(QString());
    sentence->setObjectName(QStringLiteral("trashAccess"));
    column->addWidget(sentence);
    auto* command = new GeekText(QString(), monoFont(11), Tint::primary());
    command->setWordWrap(true);
    column->addWidget(command);
    m_report = new TrashAccessReport(workspace, sentence, command, this);
    connect(m_report, &TrashAccessReport::checked, symbol,
            [this, symbol] { symbol->setAllWell(!m_report->problem().has_value()); });
    column->addLayout(m_report->buttonRow());
    addSection()->addWidget(block);
}

void PermissionsSettingsView::showEvent(QShowEvent* event)
{
    FormPane::showEvent(event);
    m_report->check();
}

} // namespace rubbly
