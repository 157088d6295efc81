#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
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
    // The English name the interface shows (translated in the "DiskSlimCategory" context); the
    // Chinese translation gives the title.
    const char* displayName;
    DiskSlimGroup group;
    // Folders relative to the home folder, in the order they are tried: the catalogue's own first,
    // then the Linux locations of the same data. A folder below .cache, .config, .local/share or
    // .local/state (and Yarn's .yarn/berry) is where its tool keeps the data when the XDG base
    // directory variable is not set; diskSlimPlaces() resolves it as the tool does.
    QStringList relativePaths;
    // Application identifiers owning those folders; empty optional when the category has none.
    std::optional<QStringList> associatedBundleIDs;
};

// Every category, in catalogue order.
const std::array<DiskSlimCategoryInfo, kDiskSlimCategoryCount>& diskSlimCatalogue();
const DiskSlimCategoryInfo& diskSlimInfo(DiskSlimCategory category);
QString diskSlimTitle(DiskSlimCategory category);
// What the interface calls a category, in its language. In Chinese it is the title, except where the
// title is stored data that describes another system (the installers' formats): the title stays as
// the stored form so snapshots and scripts keep working, and only this name says what is looked for.
QString diskSlimDisplayTitle(DiskSlimCategory category);
// Exact match of a title; empty for any other text.
std::optional<DiskSlimCategory> diskSlimCategoryFromTitle(QStringView title);
// Exact match of a row label ("homebrew-cache").
std::optional<DiskSlimCategory> diskSlimCategoryFromRowID(QStringView rowID);

QString diskSlimGroupTitle(DiskSlimGroup group);
std::optional<DiskSlimGroup> diskSlimGroupFromTitle(QStringView title);

// Categories that hold the user's own work rather than a cache (agent skills, agent projects and
// transcripts): found and shown like the others, but never selected until the user ticks them, and a
// purge of "everything found" leaves them out.
bool diskSlimHoldsUserWork(DiskSlimCategory category);

// True for the names of files and folders that hold secrets or identity: private keys and their
// public halves, key stores, password databases and key rings, browser profiles' login and cookie
// stores, tokens, cloud, cluster and container credentials, and the classic password dotfiles (one
// table in the source says which). ASCII letters match in either case. Whatever category a folder
// belongs to, such an entry is never a sub-item, never counted as purgeable and never deleted, also
// deep inside a sub-item: the purge deletes around it and keeps the folders holding it.
bool isCredentialName(const char* name);

// The folders the catalogue's places resolve against, as exact bytes.
struct DiskSlimRoots {
    QByteArray home;
    // XDG_CACHE_HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_STATE_HOME when set to a usable base
    // (an absolute path that is not '/', the home or a folder holding it: see isUsableXdgBase());
    // empty otherwise, and the tools then use their folders below the home.
    QByteArray cacheHome;
    QByteArray configHome;
    QByteArray dataHome;
    QByteArray stateHome;

    // A variable of the environment as exact bytes (empty when unset).
    using Variable = std::function<QByteArray(const char* name)>;
    // From HOME (else `accountHome`, the home folder the password database gives the user, else '/')
    // and the four variables. The caller reads both: xdg::slimRoots() for this process.
    static DiskSlimRoots fromEnvironment(const Variable& variable, const QByteArray& accountHome);
    // The home trash ($XDG_DATA_HOME/Trash), which no place may be or hold.
    QByteArray homeTrash() const;
};

// One resolved candidate folder. The anchor is the home folder or an XDG base directory outside it,
// opened as named (links on its way followed, as the user set it up); the relative part below it is
// opened one component at a time without following any link.
struct DiskSlimPlace {
    QByteArray anchor;
    QByteArray relative;

    QByteArray path() const;
    bool operator==(const DiskSlimPlace&) const = default;
};

// The candidate folders of `category`, in catalogue order, each once: a folder of a tool that follows
// an XDG base directory variable is below the variable's folder when it is set and absolute, else
// below its default in the home folder.
QList<DiskSlimPlace> diskSlimPlaces(DiskSlimCategory category, const DiskSlimRoots& roots);

} // namespace rubbly
