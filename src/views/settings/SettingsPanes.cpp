#include "SettingsPanes.h"

#include "GeekFonts.h"
#include "GlobalShortcutService.h"
#include "PermissionGuideView.h"
#include "PushButton.h"
#include "SettingsService.h"
#include "Symbols.h"
#include "Workspace.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace rubbly {

namespace {

// Controls bound both ways to one setting by its key: the user's choices write it, the store's
// changes show.
ToggleSwitch* toggleFor(QObject* context, SettingsService& settings, SettingsService::Key key)
{
    auto* toggle = new ToggleSwitch;
    toggle->setChecked(settings.value(key).toBool());
    QObject::connect(toggle, &QAbstractButton::clicked, context,
                     [&settings, key](bool checked) { settings.setValue(key, checked); });
    QObject::connect(&settings, &SettingsService::valueChanged, toggle,
                     [toggle, &settings, key](SettingsService::Key changed) {
                         if (changed == key)
                             toggle->setChecked(settings.value(key).toBool());
                     });
    return toggle;
}

ChoicePicker* pickerFor(QObject* context, SettingsService& settings, SettingsService::Key key,
                        QList<std::pair<QString, QVariant>> choices)
{
    auto* picker = new ChoicePicker(std::move(choices));
    picker->setValue(settings.value(key));
    QObject::connect(picker, &ChoicePicker::picked, context,
                     [&settings, key](const QVariant& value) { settings.setValue(key, value); });
    QObject::connect(&settings, &SettingsService::valueChanged, picker,
                     [picker, &settings, key](SettingsService::Key changed) {
                         if (changed == key)
                             picker->setValue(settings.value(key));
                     });
    return picker;
}

} // namespace

QString shortcutStatusText(bool enabled, KeyGrabber::Status status, bool wayland)
{
    if (!enabled)
        return {};
    switch (status) {
    case KeyGrabber::Status::Active:
        return QStringLiteral("快捷键已生效。");
    case KeyGrabber::Status::Conflict:
        return QStringLiteral("快捷键已被其他程序占用，请先在那个程序中释放 Alt + Shift + Backspace。");
    case KeyGrabber::Status::Unavailable:
        if (wayland)
            return QStringLiteral("此 Wayland 桌面不允许程序注册全局快捷键。可在系统设置中自定义快捷键，"
                                  "将其绑定到命令 rubbly --toggle-panel。");
        return QStringLiteral("当前桌面环境不支持全局快捷键。");
    case KeyGrabber::Status::Inactive:
        return QStringLiteral("正在注册快捷键…");
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
        picker->setCurrentIndex(
            static_cast<int>(std::find(kAllAppAppearances.begin(), kAllAppAppearances.end(), settings.appAppearance()) -
                             kAllAppAppearances.begin()));
    };
    show();
    connect(picker, &SegmentedPicker::activated, this,
            [&settings](int index) { settings.setAppAppearance(kAllAppAppearances[index]); });
    connect(&settings, &SettingsService::appAppearanceChanged, picker, show);
    addSection(QStringLiteral("外观"), QStringLiteral("可选择跟随系统外观，或强制设置为浅色或深色模式。"))
        ->addRow(QStringLiteral("外观模式"), picker);

    FormSection* running = addSection(QStringLiteral("运行方式"),
                                      QStringLiteral("开启后，Rubbly 将作为纯菜单栏工具运行，不在 Dock 栏显示图标。"));
    running->addRow(QStringLiteral("开机自启动"), toggleFor(this, settings, SettingsService::Key::LaunchAtLogin));
    running->addRow(QStringLiteral("不在 Dock 栏显示"), toggleFor(this, settings, SettingsService::Key::HideInDock));
    addSection(QStringLiteral("软件更新"))
        ->addRow(QStringLiteral("自动检查更新"),
                 toggleFor(this, settings, SettingsService::Key::AutomaticallyCheckForUpdates));
}

MenuBarSettingsView::MenuBarSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    FormSection* section =
        addSection(QString(), QStringLiteral("自定义顶部状态栏中 Rubbly 图标与文件体积的显示方式。"));
    section->addRow(QStringLiteral("在菜单栏显示大小"),
                    toggleFor(this, settings, SettingsService::Key::ShowSizeInMenuBar));
    FormRow* dependent = section->addRow(QStringLiteral("废纸篓为空时隐藏大小"),
                                         toggleFor(this, settings, SettingsService::Key::HideSizeWhenEmpty));
    dependent->setIndent(12);
    // Dimmed, not changed: the value waits for the size to be shown again.
    const auto follow = [dependent, &settings] { dependent->setEnabled(settings.showSizeInMenuBar()); };
    follow();
    connect(&settings, &SettingsService::showSizeInMenuBarChanged, dependent, follow);
    section->addRow(QStringLiteral("根据容量动态展示图标形态"),
                    toggleFor(this, settings, SettingsService::Key::DynamicMenuBarIcon));
}

CleaningSettingsView::CleaningSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    FormSection* section =
        addSection(QString(), QStringLiteral("清空废纸篓时进行二次确认保护，并在完成后通过系统通知提醒释放的空间。"));
    auto* confirm = new ToggleSwitch;
    confirm->setChecked(settings.confirmBeforeEmptying());
    connect(&settings, &SettingsService::confirmBeforeEmptyingChanged, confirm,
            [confirm, &settings] { confirm->setChecked(settings.confirmBeforeEmptying()); });
    connect(confirm, &QAbstractButton::clicked, this, [this, &settings](bool on) {
        settings.setConfirmBeforeEmptying(on);
        // Once for the life of the stored settings: the first time it goes off.
        if (!on && !settings.hasShownConfirmOffWarning()) {
            settings.setHasShownConfirmOffWarning(true);
            Q_EMIT confirmOffWarningRequested();
        }
    });
    section->addRow(QStringLiteral("清空前进行确认"), confirm);
    section->addRow(QStringLiteral("清理完成后发送通知"),
                    toggleFor(this, settings, SettingsService::Key::NotifyAfterCleaning));
}

AutomationSettingsView::AutomationSettingsView(SettingsService& settings, QWidget* parent)
    : FormPane(parent)
{
    addSection(QStringLiteral("自动化清理总开关"))
        ->addRow(QStringLiteral("启用后台自动规则巡检"),
                 toggleFor(this, settings, SettingsService::Key::AutoCleanEnabled));

    FormSection* age = addSection(QStringLiteral("按保留时间清理"));
    age->addRow(QStringLiteral("自动清理超期文件"),
                toggleFor(this, settings, SettingsService::Key::AutoCleanByAgeEnabled));
    auto* days = pickerFor(this, settings, SettingsService::Key::AutoCleanDays,
                           {{QStringLiteral("超过 7 天"), 7},
                            {QStringLiteral("超过 14 天"), 14},
                            {QStringLiteral("超过 30 天"), 30},
                            {QStringLiteral("超过 60 天"), 60}});
    FormRow* daysRow = age->addRow(QStringLiteral("保留期限"), days);

    FormSection* size = addSection(QStringLiteral("按容量阈值清理"));
    size->addRow(QStringLiteral("容量达到阈值时触发"),
                 toggleFor(this, settings, SettingsService::Key::AutoCleanBySizeEnabled));
    auto* threshold = pickerFor(this, settings, SettingsService::Key::AutoCleanSizeThresholdGB,
                                {{QStringLiteral("超过 5 GB"), 5.0},
                                 {QStringLiteral("超过 10 GB"), 10.0},
                                 {QStringLiteral("超过 20 GB"), 20.0},
                                 {QStringLiteral("超过 50 GB"), 50.0}});
    FormRow* thresholdRow = size->addRow(QStringLiteral("容量阈值"), threshold);
    FormRow* silentRow = size->addRow(QStringLiteral("静默自动清空（关闭则仅通知提醒）"),
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
                                                 bool wayland, QWidget* parent)
    : FormPane(parent)
{
    FormSection* keys =
        addSection(QStringLiteral("全局快捷键"),
                   QStringLiteral("开启后，在任意界面按下 Option + Shift + Delete 即可快速触发清空废纸篓。"));
    keys->addRow(QStringLiteral("启用一键清空全局快捷键 (⌥ + ⇧ + ⌫)"),
                 toggleFor(this, settings, SettingsService::Key::GlobalShortcutEnabled));
    // What the key can do here: on Linux it can be refused, and then it must say why it does nothing.
    auto* status = captionText(QString());
    status->setObjectName(QStringLiteral("shortcutStatus"));
    status->setContentsMargins(12, 0, 12, 8);
    keys->addWidget(status);
    const auto show = [status, &settings, &shortcut, wayland] {
        const QString text = shortcutStatusText(settings.globalShortcutEnabled(), shortcut.status(), wayland);
        status->setText(text);
        status->setVisible(!text.isEmpty());
        status->setTint(shortcut.status() == KeyGrabber::Status::Active ? Tint::secondary() : Tint::accent(8));
    };
    show();
    connect(&settings, &SettingsService::globalShortcutEnabledChanged, status, show);
    connect(&shortcut, &GlobalShortcutService::statusChanged, status, show);

    FormSection* feedback = addSection(QStringLiteral("声音与触感反馈"),
                                       QStringLiteral("操作完成时通过清脆音效与触控板震动提供即时反馈。"));
    feedback->addRow(QStringLiteral("播放清空音效"),
                     toggleFor(this, settings, SettingsService::Key::SoundFeedbackEnabled));
    feedback->addRow(QStringLiteral("触发触感反馈 (Force Touch)"),
                     toggleFor(this, settings, SettingsService::Key::HapticFeedbackEnabled));
}

namespace {

class OrangeSymbol final : public QWidget {
public:
    explicit OrangeSymbol(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setFixedSize(24, 24);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintSymbol(painter, QRectF(rect()), QStringLiteral("lock.shield"), 22, systemOrange());
    }
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
    title->addWidget(new OrangeSymbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new GeekText(QStringLiteral("完全磁盘访问权限 (Full Disk Access)"), uiFont(13, Weight::Semibold),
                                  Tint::primary()));
    auto* subtitle =
        new GeekText(QStringLiteral("Rubbly 需要此权限来读取和清空 macOS 的废纸篓。"), uiFont(12), Tint::secondary());
    subtitle->setWordWrap(true);
    texts->addWidget(subtitle);
    title->addLayout(texts, 1);
    column->addLayout(title);
    column->addWidget(new Divider);
    column->addWidget(
        captionText(QStringLiteral("若废纸篓文件显示为 0 或无法执行删除，请前往「系统设置 ➔ 隐私与安全性 ➔ "
                                   "完全磁盘访问权限」开启 Rubbly 的权限开关。")));
    auto* open = new PushButton(QStringLiteral("打开系统设置…"), PushButton::Style::Prominent);
    connect(open, &QAbstractButton::clicked, this, [&workspace] { workspace.openFullDiskAccessSettings(); });
    column->addWidget(open, 0, Qt::AlignLeft);
    addSection()->addWidget(block);
}

} // namespace rubbly
