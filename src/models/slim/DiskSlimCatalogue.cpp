#include "DiskSlimCatalogue.h"

#include "XdgBase.h"

#include <QCoreApplication>
#include <QHash>

#include <string_view>

namespace rubbly {

namespace {

using C = DiskSlimCategory;
using G = DiskSlimGroup;

// Where Linux builds of the same tools keep the same kind of data, appended after each category's
// own folders. Only folders that hold regenerable caches, logs or build output belong here; the
// Trash never does. The identifiers are desktop-file ids and Flatpak ids of the owning applications.
struct LinuxPlaces {
    DiskSlimCategory category;
    QStringList relativePaths;
    QStringList applicationIDs;
};

const QList<LinuxPlaces>& linuxPlaces()
{
    static const QList<LinuxPlaces> places{
        {C::AiWorkspaces, {QStringLiteral(".config/Cursor/User/workspaceStorage")}, {}},
        {C::AiEditorCache,
         {QStringLiteral(".config/Cursor/CachedData"), QStringLiteral(".config/Cursor/CachedExtensionVSIXs"),
          QStringLiteral(".config/Cursor/GPUCache"), QStringLiteral(".config/Cursor/Code Cache"),
          QStringLiteral(".config/Cursor/Cache"), QStringLiteral(".config/Cursor/User/workspaceStorage"),
          QStringLiteral(".config/Windsurf/Cache"), QStringLiteral(".config/Windsurf/CachedData")},
         {QStringLiteral("cursor"), QStringLiteral("windsurf")}},
        {C::ChatGPTClaudeCache,
         {QStringLiteral(".config/Claude/Code Cache"), QStringLiteral(".config/Claude/GPUCache")},
         {}},
        {C::WechatCache,
         {QStringLiteral(".var/app/com.tencent.WeChat/cache")},
         {QStringLiteral("com.tencent.WeChat"), QStringLiteral("wechat")}},
        {C::SlackDiscordCache,
         {QStringLiteral(".config/Slack/Cache"), QStringLiteral(".config/Slack/Code Cache"),
          QStringLiteral(".config/Slack/GPUCache"), QStringLiteral(".config/discord/Cache"),
          QStringLiteral(".config/discord/Code Cache"), QStringLiteral(".config/discord/GPUCache"),
          QStringLiteral(".var/app/com.slack.Slack/cache"), QStringLiteral(".var/app/com.discordapp.Discord/cache"),
          QStringLiteral(".var/app/org.telegram.desktop/cache")},
         {QStringLiteral("slack"), QStringLiteral("com.slack.Slack"), QStringLiteral("discord"),
          QStringLiteral("com.discordapp.Discord"), QStringLiteral("org.telegram.desktop"),
          QStringLiteral("telegramdesktop")}},
        {C::ChromeCache,
         {QStringLiteral(".cache/google-chrome"), QStringLiteral(".var/app/com.google.Chrome/cache")},
         {QStringLiteral("google-chrome"), QStringLiteral("com.google.Chrome")}},
        {C::EdgeCache,
         {QStringLiteral(".cache/microsoft-edge"), QStringLiteral(".var/app/com.microsoft.Edge/cache")},
         {QStringLiteral("microsoft-edge"), QStringLiteral("com.microsoft.Edge")}},
        {C::FirefoxCache,
         {QStringLiteral(".cache/mozilla/firefox"), QStringLiteral(".var/app/org.mozilla.firefox/cache")},
         {QStringLiteral("firefox"), QStringLiteral("firefox-esr"), QStringLiteral("firefox_firefox")}},
        {C::GoCache, {QStringLiteral(".cache/go-build")}, {}},
        {C::PythonPipUvCache,
         {QStringLiteral(".cache/pip"), QStringLiteral(".cache/pypoetry/cache"),
          QStringLiteral(".cache/pypoetry/artifacts")},
         {}},
        {C::JetbrainsCache,
         {QStringLiteral(".cache/JetBrains")},
         {QStringLiteral("jetbrains-idea"), QStringLiteral("jetbrains-idea-ce"), QStringLiteral("jetbrains-pycharm"),
          QStringLiteral("jetbrains-pycharm-ce"), QStringLiteral("jetbrains-clion"), QStringLiteral("jetbrains-goland"),
          QStringLiteral("jetbrains-webstorm"), QStringLiteral("jetbrains-rider"), QStringLiteral("jetbrains-datagrip"),
          QStringLiteral("jetbrains-toolbox"), QStringLiteral("com.jetbrains.IntelliJ-IDEA-Community"),
          QStringLiteral("com.jetbrains.PyCharm-Community")}},
        {C::PnpmStore, {QStringLiteral(".cache/pnpm")}, {}},
        {C::YarnCache, {QStringLiteral(".cache/yarn")}, {}},
        {C::HomebrewCache, {QStringLiteral(".cache/Homebrew")}, {}},
        {C::SwiftPMCache, {QStringLiteral(".cache/org.swift.swiftpm")}, {}},
    };
    return places;
}

std::array<DiskSlimCategoryInfo, kDiskSlimCategoryCount> buildCatalogue()
{
    std::array<DiskSlimCategoryInfo, kDiskSlimCategoryCount> rows{{
        {C::AiWorkspaces,
         u"AI 智能体工作区 (Workspaces)",
         "ai-workspaces",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "AI agent workspaces"),
         G::Ai,
         {QStringLiteral(".gemini/antigravity/workspaces"), QStringLiteral(".gemini/workspaces"),
          QStringLiteral(".claude/workspaces"), QStringLiteral(".claude/projects"),
          QStringLiteral("Library/Application Support/Cursor/User/workspaceStorage")},
         std::nullopt},
        {C::AiArtifactsBrain,
         u"AI 思考记录与产物 (Brain/Artifacts)",
         "ai-brain-logs",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "AI reasoning logs and artifacts (Brain/Artifacts)"),
         G::Ai,
         {QStringLiteral(".gemini/antigravity/brain"), QStringLiteral(".gemini/antigravity/logs"),
          QStringLiteral(".gemini/antigravity/tmp"), QStringLiteral(".gemini/antigravity/transcripts"),
          QStringLiteral(".claude/logs"), QStringLiteral(".aider")},
         std::nullopt},
        {C::AiSkills,
         u"AI Agent Skills 技能与配置包",
         "ai-skills",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "AI agent skills and config packs"),
         G::Ai,
         {QStringLiteral(".gemini/antigravity/skills"), QStringLiteral(".gemini/antigravity/builtin/skills"),
          QStringLiteral(".gemini/antigravity/customizations/skills"), QStringLiteral(".gemini/skills"),
          QStringLiteral(".claude/skills"), QStringLiteral(".agents/skills"), QStringLiteral(".config/skills")},
         std::nullopt},
        {C::KimiCache,
         u"Kimi 桌面端缓存",
         "kimi-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Kimi desktop cache"),
         G::Ai,
         {QStringLiteral("Library/Caches/com.moonshot.kimi"), QStringLiteral("Library/Caches/ai.moonshot.kimi"),
          QStringLiteral("Library/Caches/Kimi"), QStringLiteral("Library/Application Support/Kimi/Cache"),
          QStringLiteral("Library/Containers/com.moonshot.kimi/Data/Library/Caches")},
         QStringList{QStringLiteral("ai.moonshot.kimi"), QStringLiteral("com.moonshot.kimi")}},
        {C::DeepSeekCache,
         u"DeepSeek 客户端缓存",
         "deepseek-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "DeepSeek client cache"),
         G::Ai,
         {QStringLiteral("Library/Caches/com.deepseek.chat"), QStringLiteral("Library/Caches/ai.deepseek.chat"),
          QStringLiteral("Library/Caches/DeepSeek"), QStringLiteral("Library/Application Support/DeepSeek/Cache"),
          QStringLiteral(".deepseek")},
         QStringList{QStringLiteral("com.deepseek.chat"), QStringLiteral("ai.deepseek.chat")}},
        {C::WorkBuddyCache,
         u"WorkBuddy 协同 AI 缓存",
         "workbuddy-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "WorkBuddy collaborative AI cache"),
         G::Ai,
         {QStringLiteral("Library/Caches/com.workbuddy.workbuddy.BundleMigration"),
          QStringLiteral("Library/Application Support/WorkBuddy"),
          QStringLiteral("Library/Application Support/com.workbuddy.workbuddy"),
          QStringLiteral("Library/Caches/com.workbuddy.desktop"), QStringLiteral("Library/Caches/WorkBuddy")},
         QStringList{QStringLiteral("com.workbuddy.workbuddy")}},
        {C::QianWenCache,
         u"千问办公 / 通义千问缓存",
         "qwen-qianwen-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Qwen Work / Tongyi Qianwen cache"),
         G::Ai,
         {QStringLiteral("Library/Application Support/QwenWorkCN/Cache"),
          QStringLiteral("Library/Application Support/QwenWorkCN/Code Cache"),
          QStringLiteral("Library/Application Support/QwenWorkCN/GPUCache"),
          QStringLiteral("Library/Application Support/QwenWorkCN/DawnGraphiteCache"),
          QStringLiteral("Library/Application Support/QwenWorkCN/DawnWebGPUCache"),
          QStringLiteral("Library/Application Support/QwenWorkCN/logs"),
          QStringLiteral("Library/Caches/cn.qwenwork.desktop.mac"),
          QStringLiteral("Library/Application Support/QianwenIME/updates"),
          QStringLiteral("Library/Caches/com.alibaba.qianwen"), QStringLiteral("Library/Caches/TongYi"),
          QStringLiteral("Library/Application Support/TongYi/Cache")},
         QStringList{QStringLiteral("cn.qwenwork.desktop.mac"), QStringLiteral("com.alibaba.qianwen")}},
        {C::DoubaoCache,
         u"豆包 / 智谱清言桌面缓存",
         "doubao-zhipu-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Doubao / Zhipu Qingyan desktop cache"),
         G::Ai,
         {QStringLiteral("Library/Caches/com.bytedance.doubao"), QStringLiteral("Library/Caches/com.zhipu.qingyan"),
          QStringLiteral("Library/Application Support/Doubao/Cache"),
          QStringLiteral("Library/Application Support/Zhipu/Cache")},
         QStringList{QStringLiteral("com.bytedance.doubao"), QStringLiteral("com.zhipu.qingyan")}},
        {C::HuggingFaceCache,
         u"Hugging Face 模型缓存",
         "huggingface-hub",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Hugging Face model cache"),
         G::Ai,
         {QStringLiteral(".cache/huggingface/hub"), QStringLiteral(".cache/huggingface/datasets"),
          QStringLiteral(".cache/huggingface")},
         std::nullopt},
        {C::OllamaCache,
         u"Ollama 临时分块与模型缓存",
         "ollama-blobs",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Ollama blobs and model cache"),
         G::Ai,
         {QStringLiteral(".ollama/models/blobs"), QStringLiteral(".ollama/models"), QStringLiteral(".ollama"),
          QStringLiteral("Library/Caches/ollama")},
         QStringList{QStringLiteral("com.ollama.ollama")}},
        {C::AiEditorCache,
         u"Cursor / Windsurf AI 缓存",
         "cursor-windsurf-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Cursor / Windsurf AI cache"),
         G::Ai,
         {QStringLiteral("Library/Application Support/Cursor/CachedData"),
          QStringLiteral("Library/Application Support/Cursor/CachedExtensionVSIXs"),
          QStringLiteral("Library/Application Support/Cursor/GPUCache"),
          QStringLiteral("Library/Application Support/Cursor/Code Cache"),
          QStringLiteral("Library/Application Support/Cursor/DawnGraphiteCache"),
          QStringLiteral("Library/Application Support/Cursor/DawnWebGPUCache"),
          QStringLiteral("Library/Application Support/Cursor/Cache"),
          QStringLiteral("Library/Application Support/Cursor/User/workspaceStorage"),
          QStringLiteral("Library/Application Support/Windsurf/Cache"),
          QStringLiteral("Library/Application Support/Windsurf/CachedData"), QStringLiteral("Library/Caches/windsurf")},
         QStringList{QStringLiteral("com.todesktop.230313mzl4w4u92"), QStringLiteral("com.anysphere.cursor"),
                     QStringLiteral("io.codeium.windsurf")}},
        {C::ChatGPTClaudeCache,
         u"ChatGPT / Claude 桌面缓存",
         "claude-vm-bundles",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "ChatGPT / Claude desktop cache"),
         G::Ai,
         {QStringLiteral("Library/Application Support/Claude/vm_bundles"),
          QStringLiteral("Library/Application Support/Claude/Code Cache"),
          QStringLiteral("Library/Application Support/Claude/GPUCache"),
          QStringLiteral("Library/Application Support/Claude/DawnGraphiteCache"),
          QStringLiteral("Library/Application Support/Claude/DawnWebGPUCache"),
          QStringLiteral("Library/Application Support/Claude-3p/vm_bundles"),
          QStringLiteral("Library/Application Support/Claude-3p/Cache"),
          QStringLiteral("Library/Application Support/Claude-3p/GPUCache"),
          QStringLiteral("Library/Application Support/Claude-3p/DawnGraphiteCache"),
          QStringLiteral("Library/Application Support/Claude-3p/DawnWebGPUCache"),
          QStringLiteral("Library/Application Support/com.openai.chat"),
          QStringLiteral("Library/Application Support/OpenAI")},
         QStringList{QStringLiteral("com.anthropic.claudefordesktop"), QStringLiteral("com.anthropic.claudedesktop"),
                     QStringLiteral("com.openai.chat")}},
        {C::PytorchCache,
         u"PyTorch / GPU 算子编译缓存",
         "pytorch-triton-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "PyTorch / GPU kernel compile cache"),
         G::Ai,
         {QStringLiteral(".cache/torch/hub"), QStringLiteral(".cache/torch/kernels"), QStringLiteral(".cache/torch"),
          QStringLiteral(".triton/cache")},
         std::nullopt},
        {C::WechatCache,
         u"微信 (WeChat) 缓存与临时文件",
         "wechat-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "WeChat cache and temporary files"),
         G::ImOffice,
         {QStringLiteral("Library/Containers/com.tencent.xinWeChat/Data/Library/Caches"),
          QStringLiteral("Library/Application Support/com.tencent.xinWeChat/2.0b4.0.9/Cache"),
          QStringLiteral("Library/Caches/com.tencent.xinWeChat")},
         QStringList{QStringLiteral("com.tencent.xinWeChat")}},
        {C::LarkFeishuCache,
         u"飞书 / Lark 会议与媒体缓存",
         "feishu-lark-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Feishu / Lark meeting and media cache"),
         G::ImOffice,
         {QStringLiteral("Library/Caches/com.electron.lark"),
          QStringLiteral("Library/Containers/com.electron.lark/Data/Library/Caches"),
          QStringLiteral("Library/Application Support/LarkShell/Cache"),
          QStringLiteral("Library/Application Support/Feishu/Cache")},
         QStringList{QStringLiteral("com.electron.lark"), QStringLiteral("com.bytedance.lark")}},
        {C::DingTalkCache,
         u"钉钉 (DingTalk) 缓存与媒体",
         "dingtalk-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "DingTalk cache and media"),
         G::ImOffice,
         {QStringLiteral("Library/Caches/com.alibaba.DingTalkMac"),
          QStringLiteral("Library/Application Support/DingTalkMac/Cache"),
          QStringLiteral("Library/Containers/com.alibaba.DingTalkMac/Data/Library/Caches")},
         QStringList{QStringLiteral("com.alibaba.DingTalkMac")}},
        {C::EnterpriseWeChatCache,
         u"企业微信 / 腾讯会议缓存",
         "wework-meeting-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "WeCom / Tencent Meeting cache"),
         G::ImOffice,
         {QStringLiteral("Library/Containers/com.tencent.WeWorkMac/Data/Library/Caches"),
          QStringLiteral("Library/Caches/com.tencent.meeting"),
          QStringLiteral("Library/Application Support/WXWork/Cache")},
         QStringList{QStringLiteral("com.tencent.WeWorkMac"), QStringLiteral("com.tencent.meeting")}},
        {C::SlackDiscordCache,
         u"Slack / Discord / Telegram 缓存",
         "slack-discord-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Slack / Discord / Telegram cache"),
         G::ImOffice,
         {QStringLiteral("Library/Caches/com.tinyspeck.slackmacgap"), QStringLiteral("Library/Caches/com.hnc.Discord"),
          QStringLiteral("Library/Caches/ru.keepcoder.Telegram"),
          QStringLiteral("Library/Application Support/discord/Cache"),
          QStringLiteral("Library/Application Support/Slack/Cache")},
         QStringList{QStringLiteral("com.tinyspeck.slackmacgap"), QStringLiteral("com.hnc.Discord"),
                     QStringLiteral("ru.keepcoder.Telegram")}},
        {C::NotionCache,
         u"Notion 离线数据与渲染缓存",
         "notion-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Notion offline data and render cache"),
         G::ImOffice,
         {QStringLiteral("Library/Caches/notion.id"), QStringLiteral("Library/Application Support/Notion/Cache"),
          QStringLiteral("Library/Application Support/Notion/CachedData")},
         QStringList{QStringLiteral("notion.id")}},
        {C::ChromeCache,
         u"Google Chrome 缓存",
         "chrome-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Google Chrome cache"),
         G::Browser,
         {QStringLiteral("Library/Caches/Google/Chrome"),
          QStringLiteral("Library/Application Support/Google/Chrome/Default/Service Worker/CacheStorage"),
          QStringLiteral("Library/Application Support/Google/Chrome/Profile 1/Service Worker/CacheStorage")},
         QStringList{QStringLiteral("com.google.Chrome")}},
        {C::SafariCache,
         u"Safari 浏览器缓存",
         "safari-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Safari browser cache"),
         G::Browser,
         {QStringLiteral("Library/Caches/com.apple.Safari"),
          QStringLiteral("Library/Containers/com.apple.Safari/Data/Library/Caches")},
         QStringList{QStringLiteral("com.apple.Safari")}},
        {C::ArcBrowserCache,
         u"Arc 浏览器缓存",
         "arc-browser-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Arc browser cache"),
         G::Browser,
         {QStringLiteral("Library/Caches/company.thebrowser.Browser"), QStringLiteral("Library/Caches/Arc")},
         QStringList{QStringLiteral("company.thebrowser.Browser")}},
        {C::EdgeCache,
         u"Microsoft Edge 缓存",
         "ms-edge-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Microsoft Edge cache"),
         G::Browser,
         {QStringLiteral("Library/Caches/Microsoft Edge"),
          QStringLiteral("Library/Application Support/Microsoft Edge/Default/Service Worker/CacheStorage")},
         QStringList{QStringLiteral("com.microsoft.edgemac")}},
        {C::FirefoxCache,
         u"Firefox 浏览器缓存",
         "firefox-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Firefox browser cache"),
         G::Browser,
         {QStringLiteral("Library/Caches/Firefox"), QStringLiteral("Library/Caches/org.mozilla.firefox")},
         QStringList{QStringLiteral("org.mozilla.firefox")}},
        {C::FigmaCache,
         u"Figma 缓存与离线数据",
         "figma-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Figma cache and offline data"),
         G::Design,
         {QStringLiteral("Library/Caches/com.figma.Desktop"), QStringLiteral("Library/Caches/FigmaFontAgent"),
          QStringLiteral("Library/Application Support/Figma/CachedData"),
          QStringLiteral("Library/Application Support/Figma/Desktop/Cache"),
          QStringLiteral("Library/Application Support/Figma")},
         QStringList{QStringLiteral("com.figma.Desktop")}},
        {C::AdobeMediaCache,
         u"Adobe 媒体与渲染缓存",
         "adobe-media-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Adobe media and render cache"),
         G::Design,
         {QStringLiteral("Library/Caches/Adobe/After Effects"),
          QStringLiteral("Library/Application Support/Adobe/Common/Media Cache Files"),
          QStringLiteral("Library/Application Support/Adobe/Common/Peak Files"),
          QStringLiteral("Library/Caches/Adobe/Photoshop"), QStringLiteral("Library/Caches/Adobe/Premiere Pro"),
          QStringLiteral("Library/Caches/Adobe")},
         std::nullopt},
        {C::SketchCache,
         u"Sketch 缓存与云端同步",
         "sketch-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Sketch cache and cloud sync"),
         G::Design,
         {QStringLiteral("Library/Caches/com.bohemiancoding.sketch3"),
          QStringLiteral("Library/Application Support/com.bohemiancoding.sketch3/Plugins/.download-cache"),
          QStringLiteral("Library/Caches/Sketch")},
         QStringList{QStringLiteral("com.bohemiancoding.sketch3")}},
        {C::BlenderCache,
         u"Blender / 3D 渲染缓存",
         "blender-render-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Blender / 3D render cache"),
         G::Design,
         {QStringLiteral("Library/Application Support/Blender/Cache"), QStringLiteral("Library/Caches/Blender")},
         QStringList{QStringLiteral("org.blenderfoundation.blender")}},
        {C::VideoEditorCache,
         u"剪映 / 达芬奇 剪辑缓存",
         "capcut-davinci-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "CapCut / DaVinci editing cache"),
         G::Design,
         {QStringLiteral("Movies/CapCut/User Data/Cache"), QStringLiteral("Movies/剪映/User Data/Cache"),
          QStringLiteral("Movies/JianyingPro/User Data/Cache"),
          QStringLiteral("Library/Containers/com.lemon.lvpro/Data/Library/Caches"),
          QStringLiteral("Library/Containers/com.lemon.lvpro/Data/Movies/JianyingPro/User Data/Cache"),
          QStringLiteral("Library/Caches/DaVinci Resolve"),
          QStringLiteral("Library/Caches/com.blackmagic-design.DaVinciResolve")},
         QStringList{QStringLiteral("com.lemon.lvpro"), QStringLiteral("com.blackmagic-design.DaVinciResolve")}},
        {C::XcodeDerivedData,
         u"Xcode 派生数据",
         "xcode-derived-data",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Xcode derived data"),
         G::Development,
         {QStringLiteral("Library/Developer/Xcode/DerivedData")},
         QStringList{QStringLiteral("com.apple.dt.Xcode")}},
        {C::XcodeArchives,
         u"Xcode 归档构建",
         "xcode-archives",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Xcode archives"),
         G::Development,
         {QStringLiteral("Library/Developer/Xcode/Archives")},
         QStringList{QStringLiteral("com.apple.dt.Xcode")}},
        {C::DockerOrbstackCache,
         u"Docker / OrbStack 容器构建缓存",
         "docker-orbstack-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Docker / OrbStack build cache"),
         G::Development,
         {QStringLiteral(".docker/cache"), QStringLiteral("Library/Caches/dev.kdrag0n.OrbStack"),
          QStringLiteral("Library/Caches/com.electron.dockerfrontend"),
          QStringLiteral("Library/Containers/com.docker.docker/Data/Library/Caches")},
         QStringList{QStringLiteral("dev.kdrag0n.OrbStack"), QStringLiteral("com.docker.docker")}},
        {C::RustCargoCache,
         u"Rust (Cargo) 依赖与构建缓存",
         "rust-cargo-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Rust (Cargo) dependency and build cache"),
         G::Development,
         {QStringLiteral(".cargo/registry/cache"), QStringLiteral(".cargo/git/db")},
         std::nullopt},
        {C::GoCache,
         u"Go 编译与模块缓存",
         "golang-mod-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Go build and module cache"),
         G::Development,
         {QStringLiteral("Library/Caches/go-build"), QStringLiteral("go/pkg/mod/cache")},
         std::nullopt},
        {C::PythonPipUvCache,
         u"Python (pip / uv / Poetry) 缓存",
         "python-pip-uv-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Python (pip / uv / Poetry) cache"),
         G::Development,
         {QStringLiteral("Library/Caches/pip"), QStringLiteral(".cache/uv"),
          QStringLiteral("Library/Caches/pypoetry/cache"), QStringLiteral(".cache/pipx"),
          QStringLiteral(".conda/pkgs")},
         std::nullopt},
        {C::GradleMavenCache,
         u"Gradle / Maven 构建与依赖缓存",
         "gradle-maven-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Gradle / Maven build and dependency cache"),
         G::Development,
         {QStringLiteral(".gradle/caches"), QStringLiteral(".m2/repository/.cache")},
         std::nullopt},
        {C::JetbrainsCache,
         u"JetBrains IDE 索引与构建缓存",
         "jetbrains-ide-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "JetBrains IDE index and build cache"),
         G::Development,
         {QStringLiteral("Library/Caches/JetBrains")},
         QStringList{QStringLiteral("com.jetbrains.intellij"), QStringLiteral("com.jetbrains.WebStorm"),
                     QStringLiteral("com.jetbrains.pycharm"), QStringLiteral("com.jetbrains.CLion"),
                     QStringLiteral("com.jetbrains.GoLand"), QStringLiteral("com.jetbrains.rider"),
                     QStringLiteral("com.jetbrains.AppCode"), QStringLiteral("com.jetbrains.datagrip")}},
        {C::SimulatorCache,
         u"iOS / Android 模拟器临时缓存",
         "ios-simulator-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "iOS / Android simulator cache"),
         G::Development,
         {QStringLiteral("Library/Developer/CoreSimulator/Caches"), QStringLiteral(".android/cache")},
         std::nullopt},
        {C::NpmCache,
         u"npm 缓存",
         "npm-cacache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "npm cache"),
         G::Development,
         {QStringLiteral(".npm/_cacache"), QStringLiteral(".npm")},
         std::nullopt},
        {C::PnpmStore,
         u"pnpm 存储与缓存",
         "pnpm-store",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "pnpm store and cache"),
         G::Development,
         {QStringLiteral("Library/pnpm/store"), QStringLiteral("Library/Caches/pnpm"),
          QStringLiteral(".local/share/pnpm/store")},
         std::nullopt},
        {C::YarnCache,
         u"Yarn 缓存",
         "yarn-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Yarn cache"),
         G::Development,
         {QStringLiteral("Library/Caches/Yarn"), QStringLiteral(".yarn/berry/cache"), QStringLiteral(".yarn/cache")},
         std::nullopt},
        {C::HomebrewCache,
         u"Homebrew 缓存",
         "homebrew-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Homebrew cache"),
         G::Development,
         {QStringLiteral("Library/Caches/Homebrew")},
         std::nullopt},
        {C::SwiftPMCache,
         u"Swift PM 缓存",
         "swift-pm-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Swift PM cache"),
         G::Development,
         {QStringLiteral("Library/Caches/org.swift.swiftpm"), QStringLiteral("Library/org.swift.swiftpm")},
         std::nullopt},
        {C::CocoaPodsCache,
         u"CocoaPods 缓存",
         "cocoapods-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "CocoaPods cache"),
         G::Development,
         {QStringLiteral("Library/Caches/CocoaPods")},
         std::nullopt},
        {C::IosDeviceBackup,
         u"iOS / iPadOS 历史设备本地备份",
         "ios-device-backups",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Old iOS / iPadOS device backups"),
         G::BackupLarge,
         {QStringLiteral("Library/Application Support/MobileSync/Backup")},
         std::nullopt},
        {C::DmgInstallers,
         u"下载目录残留安装包 (.dmg / .pkg)",
         "downloaded-installers",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Leftover installers in Downloads (.deb / .rpm / .iso / .run)"),
         G::BackupLarge,
         {QStringLiteral("Downloads")},
         std::nullopt},
        {C::AppStoreUpdateCache,
         u"App Store 历史升级分块暂存",
         "appstore-pkg-cache",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "App Store update leftovers"),
         G::BackupLarge,
         {QStringLiteral("Library/Caches/com.apple.appstore"), QStringLiteral("Library/Caches/com.apple.commerce")},
         std::nullopt},
        {C::SystemLogs,
         u"用户诊断日志",
         "system-logs",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "User diagnostic logs"),
         G::System,
         {QStringLiteral("Library/Logs")},
         std::nullopt},
        {C::CrashReports,
         u"崩溃日志报告",
         "crash-reports",
         QT_TRANSLATE_NOOP("DiskSlimCategory", "Crash reports"),
         G::System,
         {QStringLiteral("Library/Logs/DiagnosticReports")},
         std::nullopt},
    }};
    for (const LinuxPlaces& extra : linuxPlaces()) {
        DiskSlimCategoryInfo& row = rows[static_cast<std::size_t>(extra.category)];
        for (const QString& path : extra.relativePaths) {
            if (!row.relativePaths.contains(path))
                row.relativePaths.append(path);
        }
        // Identifiers only widen categories that are owned already; an unowned category is always
        // scanned and stays so.
        if (row.associatedBundleIDs) {
            for (const QString& id : extra.applicationIDs) {
                if (!row.associatedBundleIDs->contains(id))
                    row.associatedBundleIDs->append(id);
            }
        }
    }
    return rows;
}

} // namespace

const std::array<DiskSlimCategoryInfo, kDiskSlimCategoryCount>& diskSlimCatalogue()
{
    static const auto catalogue = buildCatalogue();
    return catalogue;
}

const DiskSlimCategoryInfo& diskSlimInfo(DiskSlimCategory category)
{
    return diskSlimCatalogue()[static_cast<std::size_t>(category)];
}

QString diskSlimTitle(DiskSlimCategory category)
{
    return QString::fromUtf16(diskSlimInfo(category).title);
}

QString diskSlimDisplayTitle(DiskSlimCategory category)
{
    return QCoreApplication::translate("DiskSlimCategory", diskSlimInfo(category).displayName);
}

std::optional<DiskSlimCategory> diskSlimCategoryFromTitle(QStringView title)
{
    for (const DiskSlimCategoryInfo& row : diskSlimCatalogue()) {
        if (title == QStringView(row.title))
            return row.category;
    }
    return std::nullopt;
}

std::optional<DiskSlimCategory> diskSlimCategoryFromRowID(QStringView rowID)
{
    for (const DiskSlimCategoryInfo& row : diskSlimCatalogue()) {
        if (rowID == QLatin1String(row.rowID))
            return row.category;
    }
    // The installers' label named the other system's formats before it looked for Linux packages;
    // scripts that purge by the old label keep working.
    if (rowID == QLatin1String("downloaded-dmg-pkgs"))
        return DiskSlimCategory::DmgInstallers;
    return std::nullopt;
}

QString diskSlimGroupTitle(DiskSlimGroup group)
{
    switch (group) {
    case G::Ai:
        return QStringLiteral("AI 智能体与模型环境");
    case G::ImOffice:
        return QStringLiteral("即时通讯与协同办公");
    case G::Browser:
        return QStringLiteral("常用浏览器缓存");
    case G::Design:
        return QStringLiteral("设计与多媒体创作");
    case G::Development:
        return QStringLiteral("开发环境与包管理");
    case G::BackupLarge:
        return QStringLiteral("历史备份与安装包残留");
    case G::System:
        return QStringLiteral("系统与诊断日志");
    }
    return {};
}

std::optional<DiskSlimGroup> diskSlimGroupFromTitle(QStringView title)
{
    for (int i = 0; i < kDiskSlimGroupCount; ++i) {
        const auto group = static_cast<DiskSlimGroup>(i);
        if (diskSlimGroupTitle(group) == title)
            return group;
    }
    return std::nullopt;
}

bool diskSlimHoldsUserWork(DiskSlimCategory category)
{
    // Skills are written by the user or installed on purpose; the agents' projects folders hold the
    // transcripts of the user's sessions, and their workspaces the user's state. None regenerates.
    return category == C::AiSkills || category == C::AiWorkspaces;
}

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` equals `pattern` (lower case) ignoring the case of ASCII letters.
bool sameFolded(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lowerAscii(text[i]) != pattern[i])
            return false;
    }
    return true;
}

} // namespace

namespace {

enum class Match { Whole, Start, End };

struct SecretName {
    std::string_view text; // lower case
    Match match;
};

// Names of files and folders that hold secrets or identity, found in caches because tools, scripts,
// unpacked archives and copied profiles put them there. A folder named here is kept whole.
constexpr SecretName kSecretNames[] = {
    // SSH and other private keys with their public halves and certificates (id_ed25519_sk,
    // id_rsa-cert.pub), PuTTY keys, certificates with their keys, and Java and Android key stores.
    {"id_rsa", Match::Start},
    {"id_dsa", Match::Start},
    {"id_ecdsa", Match::Start},
    {"id_ed25519", Match::Start},
    {".ssh", Match::Whole},
    {".ppk", Match::End},
    {".pem", Match::End},
    {".key", Match::End},
    {".p12", Match::End},
    {".pfx", Match::End},
    {".jks", Match::End},
    {".keystore", Match::End},
    // OpenPGP key rings and encrypted files, password databases (KeePass, Password Safe, pass) and
    // the desktop's key rings (GNOME Keyring, KWallet).
    {".gnupg", Match::Whole},
    {".gpg", Match::End},
    {".kdbx", Match::End},
    {".kdb", Match::End},
    {".psafe3", Match::End},
    {".password-store", Match::Whole},
    {"keyrings", Match::Whole},
    {".keyring", Match::End},
    {".kwl", Match::End},
    // Browser profiles' saved passwords, cookies and the keys that encrypt them: Chromium's (Chrome,
    // Edge, and every Electron application) and Firefox's.
    {"login data", Match::Start},
    {"cookies", Match::Whole},
    {"cookies-journal", Match::Whole},
    {" cookies", Match::End},
    {"web data", Match::Start},
    {"local state", Match::Whole},
    {"logins.json", Match::Whole},
    {"logins-backup.json", Match::Whole},
    {"key3.db", Match::Whole},
    {"key4.db", Match::Whole},
    {"signons.sqlite", Match::Whole},
    {"cookies.sqlite", Match::Start},
    // Tokens: Hugging Face's token and stored_tokens, Vault's, and any *.token.
    {"token", Match::Whole},
    {"stored_tokens", Match::Whole},
    {".vault-token", Match::Whole},
    {".token", Match::End},
    // Cloud, cluster and container credentials: AWS, gcloud (credentials.db, application default
    // credentials), Azure, s3cmd, boto, Kubernetes, Docker and Podman (auth.json).
    {"credentials", Match::Start},
    {"credentials.json", Match::End},
    {".aws", Match::Whole},
    {".azure", Match::Whole},
    {"access_tokens.db", Match::Whole},
    {".s3cfg", Match::Whole},
    {".boto", Match::Whole},
    {".kube", Match::Whole},
    {"kubeconfig", Match::Start},
    {".docker", Match::Whole},
    {".dockercfg", Match::Whole},
    // Tools' own logins: Codex's and Podman's auth.json, uv's auth.toml, Gemini CLI's
    // oauth_creds.json, Claude Code's .credentials.json (above), Aider's oauth-keys.env and any .env.
    {"auth.json", Match::Whole},
    {"auth.toml", Match::Whole},
    {"oauth_creds.json", Match::Whole},
    {".env", Match::End},
    // Password files of the classic command-line clients: netrc, git, npm, PyPI, PostgreSQL, MySQL.
    {".netrc", Match::Whole},
    {"_netrc", Match::Whole},
    {".git-credentials", Match::Whole},
    {".npmrc", Match::Whole},
    {".pypirc", Match::Whole},
    {".pgpass", Match::Whole},
    {".my.cnf", Match::Whole},
    {".mylogin.cnf", Match::Whole},
};

} // namespace

bool isCredentialName(const char* name)
{
    const std::string_view text(name);
    for (const SecretName& secret : kSecretNames) {
        const std::size_t size = secret.text.size();
        if (text.size() < size)
            continue;
        const std::string_view part = secret.match == Match::Whole   ? text
                                      : secret.match == Match::Start ? text.substr(0, size)
                                                                     : text.substr(text.size() - size);
        if (sameFolded(part, secret.text))
            return true;
    }
    return false;
}

namespace {

// One folder of DiskSlimRoots.
using RootsFolder = QByteArray DiskSlimRoots::*;

// How a catalogue folder written below the home maps onto an XDG base directory.
struct XdgRule {
    const char* homeRelative; // the folder, or a prefix ending in '/', as the catalogue writes it
    RootsFolder variable;
    const char* belowVariable; // for a whole folder: its place below the variable's folder
};

const XdgRule kXdgRules[] = {
    // Yarn 2 and later keep their global folder in $XDG_DATA_HOME/yarn/berry when that is set.
    {".yarn/berry/cache", &DiskSlimRoots::dataHome, "yarn/berry/cache"},
    // Everything the catalogue lists below these follows the variable: Chromium and Electron
    // applications, Firefox, Go, pip, uv, Poetry, pipx, Hugging Face, PyTorch, JetBrains, pnpm,
    // Yarn 1, Homebrew and SwiftPM all use the variable's folder when it is set.
    {".cache/", &DiskSlimRoots::cacheHome, nullptr},
    {".config/", &DiskSlimRoots::configHome, nullptr},
    {".local/share/", &DiskSlimRoots::dataHome, nullptr},
    {".local/state/", &DiskSlimRoots::stateHome, nullptr},
};

bool hasDotComponent(const QByteArray& path)
{
    for (const QByteArray& part : path.split('/')) {
        if (part == "." || part == "..")
            return true;
    }
    return false;
}

DiskSlimPlace resolve(const QString& homeRelative, const DiskSlimRoots& roots)
{
    const QByteArray relative = homeRelative.toUtf8();
    for (const XdgRule& rule : kXdgRules) {
        const std::string_view pattern(rule.homeRelative);
        const bool isPrefix = pattern.back() == '/';
        if (isPrefix ? !relative.startsWith(rule.homeRelative) : relative != rule.homeRelative)
            continue;
        const QByteArray& base = roots.*rule.variable;
        if (!isUsableXdgBase(base, roots.home))
            break; // the tool's default, below the home
        const QByteArray below = isPrefix ? relative.mid(qsizetype(pattern.size())) : QByteArray(rule.belowVariable);
        // A base inside the home is reached from the home, so a link on the way there is not followed
        // there either.
        const QByteArray homePrefix = roots.home.endsWith('/') ? roots.home : roots.home + '/';
        if (base.startsWith(homePrefix) && !hasDotComponent(base))
            return {roots.home, base.mid(homePrefix.size()) + '/' + below};
        return {base, below};
    }
    return {roots.home, relative};
}

} // namespace

DiskSlimRoots DiskSlimRoots::fromEnvironment(const Variable& variable, const QByteArray& accountHome)
{
    DiskSlimRoots roots;
    roots.home = tidyAbsolutePath(variable("HOME"));
    if (roots.home.isEmpty())
        roots.home = tidyAbsolutePath(accountHome);
    if (roots.home.isEmpty())
        roots.home = "/";
    for (auto [name, base] :
         {std::pair{"XDG_CACHE_HOME", &roots.cacheHome}, std::pair{"XDG_CONFIG_HOME", &roots.configHome},
          std::pair{"XDG_DATA_HOME", &roots.dataHome}, std::pair{"XDG_STATE_HOME", &roots.stateHome}})
        *base = usableXdgBase(name, variable(name), roots.home);
    return roots;
}

QByteArray DiskSlimRoots::homeTrash() const
{
    if (!dataHome.isEmpty())
        return (dataHome == "/" ? QByteArray() : dataHome) + "/Trash";
    return (home == "/" ? QByteArray() : home) + "/.local/share/Trash";
}

QByteArray DiskSlimPlace::path() const
{
    return (anchor.endsWith('/') ? anchor : anchor + '/') + relative;
}

QList<DiskSlimPlace> diskSlimPlaces(DiskSlimCategory category, const DiskSlimRoots& roots)
{
    const QByteArray trash = roots.homeTrash();
    QList<DiskSlimPlace> places;
    QList<QByteArray> paths;
    for (const QString& relative : diskSlimInfo(category).relativePaths) {
        const DiskSlimPlace place = resolve(relative, roots);
        const QByteArray path = place.path();
        // An odd set of variables could put a place inside the Trash; it is nobody's cache there.
        if (paths.contains(path) || path == trash || path.startsWith(trash + '/'))
            continue;
        paths.append(path);
        places.append(place);
    }
    return places;
}

} // namespace rubbly
