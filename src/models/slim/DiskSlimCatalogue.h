#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace rubbly {

// Display groups of the slim tab, in display order. The title is also the persisted form.
enum class DiskSlimGroup {
    Ai,
    ImOffice,
    Browser,
    Design,
    Development,
    BackupLarge,
    System,
};

inline constexpr int kDiskSlimGroupCount = 7;

// The places the slim tab cleans, in catalogue order. The title is the persisted form: a new title
// is a new stored format.
enum class DiskSlimCategory {
    AiWorkspaces,
    AiArtifactsBrain,
    AiSkills,
    KimiCache,
    DeepSeekCache,
    WorkBuddyCache,
    QianWenCache,
    DoubaoCache,
    HuggingFaceCache,
    OllamaCache,
    AiEditorCache,
    ChatGPTClaudeCache,
    PytorchCache,
    WechatCache,
    LarkFeishuCache,
    DingTalkCache,
    EnterpriseWeChatCache,
    SlackDiscordCache,
    NotionCache,
    ChromeCache,
    SafariCache,
    ArcBrowserCache,
    EdgeCache,
    FirefoxCache,
    FigmaCache,
    AdobeMediaCache,
    SketchCache,
    BlenderCache,
    VideoEditorCache,
    XcodeDerivedData,
    XcodeArchives,
    DockerOrbstackCache,
    RustCargoCache,
    GoCache,
    PythonPipUvCache,
    GradleMavenCache,
    JetbrainsCache,
    SimulatorCache,
    NpmCache,
    PnpmStore,
    YarnCache,
    HomebrewCache,
    SwiftPMCache,
    CocoaPodsCache,
    IosDeviceBackup,
    DmgInstallers,
    AppStoreUpdateCache,
    SystemLogs,
    CrashReports,
};

inline constexpr int kDiskSlimCategoryCount = 49;

struct DiskSlimCategoryInfo {
    DiskSlimCategory category;
    const char16_t* title;
    const char* rowID;
    DiskSlimGroup group;
    // Folders relative to the home folder, in the order they are tried: the catalogue's own first,
    // then the Linux locations of the same data.
    QStringList relativePaths;
    // Application identifiers owning those folders; empty optional when the category has none.
    std::optional<QStringList> associatedBundleIDs;
};

// Every category, in catalogue order.
const std::array<DiskSlimCategoryInfo, kDiskSlimCategoryCount>& diskSlimCatalogue();
const DiskSlimCategoryInfo& diskSlimInfo(DiskSlimCategory category);
QString diskSlimTitle(DiskSlimCategory category);
// Exact match of a title; empty for any other text.
std::optional<DiskSlimCategory> diskSlimCategoryFromTitle(QStringView title);
// Exact match of a row label ("homebrew-cache").
std::optional<DiskSlimCategory> diskSlimCategoryFromRowID(QStringView rowID);

QString diskSlimGroupTitle(DiskSlimGroup group);
std::optional<DiskSlimGroup> diskSlimGroupFromTitle(QStringView title);

// Absolute candidate folders of `category` below `home`, in order.
QStringList diskSlimCandidatePaths(DiskSlimCategory category, const QString& home);

} // namespace rubbly
