<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>About</name>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
    <message>
        <source>Beta</source>
        <translation>Beta</translation>
    </message>
    <message>
        <source>A small, open tray tool that keeps your Trash and caches in check.</source>
        <translation>轻量、智能、透明的 Linux 桌面状态栏存储守护与清理工具。</translation>
    </message>
    <message>
        <source>Visit the website</source>
        <translation>访问官方网站</translation>
    </message>
    <message>
        <source>Follow %1</source>
        <translation>关注 %1</translation>
    </message>
    <message>
        <source>Built by Tolvik · 2026</source>
        <translation>由 Tolvik 打造 · 2026</translation>
    </message>
    <message>
        <source>Check for updates…</source>
        <translation>检查更新…</translation>
    </message>
    <message>
        <source>Checking for a new version…</source>
        <translation>正在检查新版本…</translation>
    </message>
    <message>
        <source>Rubbly is up to date</source>
        <translation>已是最新版本</translation>
    </message>
    <message>
        <source>Check again</source>
        <translation>重新检查更新</translation>
    </message>
    <message>
        <source>Download update</source>
        <translation>立即下载更新</translation>
    </message>
    <message>
        <source>Downloading the new version…</source>
        <translation>正在下载新版本安装包...</translation>
    </message>
    <message>
        <source>New version ready</source>
        <translation>新版本已就绪</translation>
    </message>
    <message>
        <source>Restart to finish updating</source>
        <translation>立即重启以完成更新</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>发现新版本</translation>
    </message>
    <message>
        <source>Rubbly replaces itself and restarts</source>
        <translation>点击后将自动无缝覆盖并重启 Rubbly</translation>
    </message>
</context>
<context>
    <name>AppAppearance</name>
    <message>
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>深色</translation>
    </message>
</context>
<context>
    <name>AutoClean</name>
    <message>
        <source>The Trash holds more than %1 GB</source>
        <translation>废纸篓占用已超过 %1 GB</translation>
    </message>
    <message>
        <source>It now holds %1 (%2 items). Empty it soon to free the disk space.</source>
        <translation>当前已占用 %1（%2 个项目），建议及时清空释放磁盘空间。</translation>
    </message>
</context>
<context>
    <name>DiskSlimCategory</name>
    <message>
        <source>AI agent workspaces</source>
        <translation>AI 智能体工作区 (Workspaces)</translation>
    </message>
    <message>
        <source>AI reasoning logs and artifacts (Brain/Artifacts)</source>
        <translation>AI 思考记录与产物 (Brain/Artifacts)</translation>
    </message>
    <message>
        <source>AI agent skills and config packs</source>
        <translation>AI Agent Skills 技能与配置包</translation>
    </message>
    <message>
        <source>Kimi desktop cache</source>
        <translation>Kimi 桌面端缓存</translation>
    </message>
    <message>
        <source>DeepSeek client cache</source>
        <translation>DeepSeek 客户端缓存</translation>
    </message>
    <message>
        <source>WorkBuddy collaborative AI cache</source>
        <translation>WorkBuddy 协同 AI 缓存</translation>
    </message>
    <message>
        <source>Qwen Work / Tongyi Qianwen cache</source>
        <translation>千问办公 / 通义千问缓存</translation>
    </message>
    <message>
        <source>Doubao / Zhipu Qingyan desktop cache</source>
        <translation>豆包 / 智谱清言桌面缓存</translation>
    </message>
    <message>
        <source>Hugging Face model cache</source>
        <translation>Hugging Face 模型缓存</translation>
    </message>
    <message>
        <source>Ollama blobs and model cache</source>
        <translation>Ollama 临时分块与模型缓存</translation>
    </message>
    <message>
        <source>Cursor / Windsurf AI cache</source>
        <translation>Cursor / Windsurf AI 缓存</translation>
    </message>
    <message>
        <source>ChatGPT / Claude desktop cache</source>
        <translation>ChatGPT / Claude 桌面缓存</translation>
    </message>
    <message>
        <source>PyTorch / GPU kernel compile cache</source>
        <translation>PyTorch / GPU 算子编译缓存</translation>
    </message>
    <message>
        <source>WeChat cache and temporary files</source>
        <translation>微信 (WeChat) 缓存与临时文件</translation>
    </message>
    <message>
        <source>Feishu / Lark meeting and media cache</source>
        <translation>飞书 / Lark 会议与媒体缓存</translation>
    </message>
    <message>
        <source>DingTalk cache and media</source>
        <translation>钉钉 (DingTalk) 缓存与媒体</translation>
    </message>
    <message>
        <source>WeCom / Tencent Meeting cache</source>
        <translation>企业微信 / 腾讯会议缓存</translation>
    </message>
    <message>
        <source>Slack / Discord / Telegram cache</source>
        <translation>Slack / Discord / Telegram 缓存</translation>
    </message>
    <message>
        <source>Notion offline data and render cache</source>
        <translation>Notion 离线数据与渲染缓存</translation>
    </message>
    <message>
        <source>Google Chrome cache</source>
        <translation>Google Chrome 缓存</translation>
    </message>
    <message>
        <source>Safari browser cache</source>
        <translation>Safari 浏览器缓存</translation>
    </message>
    <message>
        <source>Arc browser cache</source>
        <translation>Arc 浏览器缓存</translation>
    </message>
    <message>
        <source>Microsoft Edge cache</source>
        <translation>Microsoft Edge 缓存</translation>
    </message>
    <message>
        <source>Firefox browser cache</source>
        <translation>Firefox 浏览器缓存</translation>
    </message>
    <message>
        <source>Figma cache and offline data</source>
        <translation>Figma 缓存与离线数据</translation>
    </message>
    <message>
        <source>Adobe media and render cache</source>
        <translation>Adobe 媒体与渲染缓存</translation>
    </message>
    <message>
        <source>Sketch cache and cloud sync</source>
        <translation>Sketch 缓存与云端同步</translation>
    </message>
    <message>
        <source>Blender / 3D render cache</source>
        <translation>Blender / 3D 渲染缓存</translation>
    </message>
    <message>
        <source>CapCut / DaVinci editing cache</source>
        <translation>剪映 / 达芬奇 剪辑缓存</translation>
    </message>
    <message>
        <source>Xcode derived data</source>
        <translation>Xcode 派生数据</translation>
    </message>
    <message>
        <source>Xcode archives</source>
        <translation>Xcode 归档构建</translation>
    </message>
    <message>
        <source>Docker / OrbStack build cache</source>
        <translation>Docker / OrbStack 容器构建缓存</translation>
    </message>
    <message>
        <source>Rust (Cargo) dependency and build cache</source>
        <translation>Rust (Cargo) 依赖与构建缓存</translation>
    </message>
    <message>
        <source>Go build and module cache</source>
        <translation>Go 编译与模块缓存</translation>
    </message>
    <message>
        <source>Python (pip / uv / Poetry) cache</source>
        <translation>Python (pip / uv / Poetry) 缓存</translation>
    </message>
    <message>
        <source>Gradle / Maven build and dependency cache</source>
        <translation>Gradle / Maven 构建与依赖缓存</translation>
    </message>
    <message>
        <source>JetBrains IDE index and build cache</source>
        <translation>JetBrains IDE 索引与构建缓存</translation>
    </message>
    <message>
        <source>iOS / Android simulator cache</source>
        <translation>iOS / Android 模拟器临时缓存</translation>
    </message>
    <message>
        <source>npm cache</source>
        <translation>npm 缓存</translation>
    </message>
    <message>
        <source>pnpm store and cache</source>
        <translation>pnpm 存储与缓存</translation>
    </message>
    <message>
        <source>Yarn cache</source>
        <translation>Yarn 缓存</translation>
    </message>
    <message>
        <source>Homebrew cache</source>
        <translation>Homebrew 缓存</translation>
    </message>
    <message>
        <source>Swift PM cache</source>
        <translation>Swift PM 缓存</translation>
    </message>
    <message>
        <source>CocoaPods cache</source>
        <translation>CocoaPods 缓存</translation>
    </message>
    <message>
        <source>Old iOS / iPadOS device backups</source>
        <translation>iOS / iPadOS 历史设备本地备份</translation>
    </message>
    <message>
        <source>Leftover installers in Downloads (.deb / .rpm / .iso / .run)</source>
        <translation>下载目录残留安装包 (.deb / .rpm / .iso / .run)</translation>
    </message>
    <message>
        <source>App Store update leftovers</source>
        <translation>App Store 历史升级分块暂存</translation>
    </message>
    <message>
        <source>User diagnostic logs</source>
        <translation>用户诊断日志</translation>
    </message>
    <message>
        <source>Crash reports</source>
        <translation>崩溃日志报告</translation>
    </message>
</context>
<context>
    <name>Formatting</name>
    <message>
        <source>now</source>
        <comment>within a minute</comment>
        <translation>刚刚</translation>
    </message>
    <message>
        <source>today %1</source>
        <translation>今天 %1</translation>
    </message>
    <message>
        <source>yesterday %1</source>
        <translation>昨天 %1</translation>
    </message>
    <message>
        <source>MMM d</source>
        <comment>date pattern of an older day</comment>
        <translation>MM月dd日</translation>
    </message>
    <message>
        <source>%1m ago</source>
        <translation>%1分钟前</translation>
    </message>
    <message>
        <source>%1h ago</source>
        <translation>%1小时前</translation>
    </message>
    <message>
        <source>%1d ago</source>
        <translation>%1天前</translation>
    </message>
    <message>
        <source>Today, %1</source>
        <translation>今天，%1</translation>
    </message>
    <message>
        <source>MMMM d</source>
        <comment>date pattern of today, spoken</comment>
        <translation>M月d日</translation>
    </message>
    <message>
        <source>yyyy-MM-dd</source>
        <comment>date pattern of a day over 30 days ago</comment>
        <translation>yy/MM/dd</translation>
    </message>
</context>
<context>
    <name>Notifications</name>
    <message>
        <source>Freed %1 · %2 items removed</source>
        <translation>已释放 %1 · 共移除 %2 个项目</translation>
    </message>
    <message>
        <source>Removed %1/%2 items; %3 could not be deleted (no permission or in use).</source>
        <translation>已清理 %1/%2 个项目，%3 个项目因权限或占用无法删除。</translation>
    </message>
    <message>
        <source>Trash emptied</source>
        <translation>废纸篓已清空</translation>
    </message>
    <message>
        <source>Trash not fully emptied</source>
        <translation>废纸篓未能完全清空</translation>
    </message>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>Slim</source>
        <translation>瘦身</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>废纸篓</translation>
    </message>
    <message>
        <source>Kinds</source>
        <translation>文件类型</translation>
    </message>
    <message>
        <source>Purge selected, %1</source>
        <translation>清理所选，%1</translation>
    </message>
    <message>
        <source>Put back</source>
        <translation>放回原处</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>&gt; this desktop&apos;s tray shows only the icon: the Trash&apos;s size can be shown in its panel too.</source>
        <translation>&gt; 此桌面的托盘只显示图标：废纸篓的大小也可以显示在它的面板上。</translation>
    </message>
    <message>
        <source>Add to panel</source>
        <translation>添加到面板</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>&gt; moved 1 item to the Trash</source>
        <translation>&gt; 已将 1 项移入废纸篓</translation>
    </message>
    <message>
        <source>&gt; moved %1 items to the Trash</source>
        <translation>&gt; 已将 %1 项移入废纸篓</translation>
    </message>
    <message>
        <source>Show in the file manager</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message>
        <source>+ %1 more</source>
        <translation>+ 另有 %1 项</translation>
    </message>
    <message>
        <source>PURGE SELECTED</source>
        <translation>PURGE SELECTED</translation>
    </message>
    <message>
        <source>$ PURGE SELECTED (%1)</source>
        <translation>$ PURGE SELECTED (%1)</translation>
    </message>
    <message>
        <source>PURGE SELECTED (</source>
        <translation>PURGE SELECTED (</translation>
    </message>
    <message>
        <source>selected</source>
        <translation>selected</translation>
    </message>
    <message>
        <source>&gt; SLIM // CACHE PURGE</source>
        <translation>&gt; SLIM // CACHE PURGE</translation>
    </message>
    <message>
        <source>[all_clean] system cache is minimal</source>
        <translation>[all_clean] system cache is minimal</translation>
    </message>
    <message>
        <source>&gt; scanned %1 · no reclaimable caches found.</source>
        <translation>&gt; scanned %1 · no reclaimable caches found.</translation>
    </message>
    <message>
        <source>&gt; no reclaimable developer or app caches found.</source>
        <translation>&gt; no reclaimable developer or app caches found.</translation>
    </message>
    <message>
        <source>&gt; PURGING...</source>
        <translation>&gt; PURGING...</translation>
    </message>
    <message>
        <source>&gt; scanning system caches...</source>
        <translation>&gt; scanning system caches...</translation>
    </message>
    <message>
        <source>&gt; scanning...</source>
        <translation>&gt; scanning...</translation>
    </message>
    <message>
        <source>BETA</source>
        <translation>BETA</translation>
    </message>
    <message>
        <source>$ CONFIRM</source>
        <translation>$ CONFIRM</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>CANCEL</translation>
    </message>
    <message>
        <source>&gt; CONFIRM PURGE</source>
        <translation>&gt; CONFIRM PURGE</translation>
    </message>
    <message>
        <source>&gt; RELEASE TO TRASH</source>
        <translation>&gt; RELEASE TO TRASH</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Open the Trash in the file manager</source>
        <translation>在文件管理器中打开废纸篓</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>偏好设置</translation>
    </message>
    <message>
        <source>Quit Rubbly</source>
        <translation>退出 Rubbly</translation>
    </message>
    <message>
        <source>%1 total</source>
        <translation>%1 total</translation>
    </message>
    <message>
        <source>01 // TRASH</source>
        <translation>01 // TRASH</translation>
    </message>
    <message>
        <source>02 // SLIM</source>
        <translation>02 // SLIM</translation>
    </message>
    <message>
        <source>// last cleaned: %1 · %2</source>
        <translation>// last cleaned: %1 · %2</translation>
    </message>
    <message>
        <source>// last purged: %1 · %2</source>
        <translation>// last purged: %1 · %2</translation>
    </message>
    <message>
        <source>// last scanned: %1</source>
        <translation>// last scanned: %1</translation>
    </message>
    <message>
        <source>Permanently delete 1 item (%1)? Action cannot be undone.</source>
        <translation>Permanently delete 1 items (%1)? Action cannot be undone.</translation>
    </message>
    <message>
        <source>Permanently delete %1 items (%2)? Action cannot be undone.</source>
        <translation>Permanently delete %1 items (%2)? Action cannot be undone.</translation>
    </message>
    <message>
        <source>&gt; TOP ITEMS</source>
        <translation>&gt; TOP ITEMS</translation>
    </message>
    <message>
        <source>Top items</source>
        <translation>最大的项目</translation>
    </message>
    <message>
        <source>[all_clean]</source>
        <translation>[all_clean]</translation>
    </message>
    <message>
        <source>&gt; system trash is empty. 0 bytes occupied.</source>
        <translation>&gt; system trash is empty. 0 bytes occupied.</translation>
    </message>
    <message>
        <source>&gt; PURGING TRASH...</source>
        <translation>&gt; PURGING TRASH...</translation>
    </message>
    <message>
        <source>&gt; processing 1 item · %1</source>
        <translation>&gt; processing 1 items · %1</translation>
    </message>
    <message>
        <source>&gt; processing %1 items · %2</source>
        <translation>&gt; processing %1 items · %2</translation>
    </message>
    <message>
        <source>EMPTY TRASH</source>
        <translation>EMPTY TRASH</translation>
    </message>
    <message>
        <source>&gt; ERROR:</source>
        <translation>&gt; ERROR:</translation>
    </message>
    <message>
        <source>&gt; scanning trash...</source>
        <translation>&gt; scanning trash...</translation>
    </message>
    <message>
        <source>&gt; cleaned: %1 freed</source>
        <translation>&gt; cleaned: %1 freed</translation>
    </message>
    <message>
        <source>from %1</source>
        <translation>来自 %1</translation>
    </message>
    <message>
        <source>(original place unknown)</source>
        <translation>(原位置未知)</translation>
    </message>
    <message>
        <source>&gt; %1 items: their original places are taken</source>
        <translation>&gt; %1 项的原位置已被占用</translation>
    </message>
    <message>
        <source>&gt; %1 selected · %2</source>
        <translation>&gt; 已选 %1 项 · %2</translation>
    </message>
    <message>
        <source>&gt; ALL ITEMS</source>
        <translation>&gt; ALL ITEMS</translation>
    </message>
    <message>
        <source>&gt; its original place is taken</source>
        <translation>&gt; 原位置已被占用</translation>
    </message>
    <message>
        <source>&gt; listing trash...</source>
        <translation>&gt; listing trash...</translation>
    </message>
    <message>
        <source>&gt; no match for &quot;%1&quot;</source>
        <translation>&gt; 没有与“%1”匹配的项目</translation>
    </message>
    <message>
        <source>ALL ITEMS</source>
        <translation>ALL ITEMS</translation>
    </message>
    <message>
        <source>Back to the overview</source>
        <translation>返回概览</translation>
    </message>
    <message>
        <source>Clear the search</source>
        <translation>清除搜索</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>DELETE</translation>
    </message>
    <message>
        <source>Delete for good</source>
        <translation>永久删除</translation>
    </message>
    <message>
        <source>Delete the selected items for good</source>
        <translation>永久删除所选项目</translation>
    </message>
    <message>
        <source>Entries in the Trash</source>
        <translation>废纸篓中的项目</translation>
    </message>
    <message>
        <source>LARGEST</source>
        <translation>LARGEST</translation>
    </message>
    <message>
        <source>Matches any part of the name or the original path</source>
        <translation>匹配名称或原始路径中的任意部分</translation>
    </message>
    <message>
        <source>NEWEST</source>
        <translation>NEWEST</translation>
    </message>
    <message>
        <source>Order: largest first; switch to newest first</source>
        <translation>顺序：最大的在前；切换为最新的在前</translation>
    </message>
    <message>
        <source>Order: newest first; switch to largest first</source>
        <translation>顺序：最新的在前；切换为最大的在前</translation>
    </message>
    <message>
        <source>PUT BACK BESIDE IT</source>
        <translation>PUT BACK BESIDE IT</translation>
    </message>
    <message>
        <source>PUT BACK</source>
        <translation>PUT BACK</translation>
    </message>
    <message>
        <source>Put back beside the taken place, under a free name</source>
        <translation>以新名称放在原位置旁边</translation>
    </message>
    <message>
        <source>Put back the selected items</source>
        <translation>将所选项目放回原处</translation>
    </message>
    <message>
        <source>Search the Trash</source>
        <translation>搜索废纸篓</translation>
    </message>
    <message>
        <source>find by name or path</source>
        <translation>按名称或路径查找</translation>
    </message>
    <message>
        <source>Search and put back any item</source>
        <translation>搜索并放回任意项目</translation>
    </message>
</context>
<context>
    <name>Permissions</name>
    <message>
        <source>“%1” is a symbolic link, and Rubbly never follows a link into a trash folder. Move the link aside and make a real folder in its place; what it leads to stays where it is.</source>
        <translation>“%1”是符号链接，Rubbly 从不沿链接进入废纸篓文件夹。请把这个链接移到一旁，在原处新建一个真正的文件夹；链接指向的内容保持原样。</translation>
    </message>
    <message>
        <source>“%1” cannot be used: %2.</source>
        <translation>无法使用“%1”：%2。</translation>
    </message>
    <message>
        <source>Every trash folder can be read and emptied.</source>
        <translation>所有废纸篓文件夹都可以正常读取和清空。</translation>
    </message>
    <message>
        <source>The trash folder “%1” does not exist and could not be made.</source>
        <translation>废纸篓文件夹「%1」不存在，也无法创建。</translation>
    </message>
    <message>
        <source>“%1” is not a folder. Move it out of the way, then check again.</source>
        <translation>「%1」不是文件夹。请将它移走，然后重新检查。</translation>
    </message>
    <message>
        <source>“%1” is owned by %2, not by you, so Rubbly cannot read or empty it.</source>
        <translation>「%1」属于用户 %2，Rubbly 无法读取和清空它。</translation>
    </message>
    <message>
        <source>Your permissions on “%1” (%2) do not let you read it, so Rubbly cannot see what it holds.</source>
        <translation>「%1」的权限（%2）不允许读取，Rubbly 无法查看其中的内容。</translation>
    </message>
    <message>
        <source>Your permissions on “%1” (%2) do not let you change it, so Rubbly cannot delete what it holds.</source>
        <translation>「%1」的权限（%2）不允许修改，Rubbly 无法删除其中的内容。</translation>
    </message>
    <message>
        <source>Trash access needed</source>
        <translation>需要废纸篓读写权限</translation>
    </message>
    <message>
        <source>Trash access is fine</source>
        <translation>废纸篓读写权限正常</translation>
    </message>
    <message>
        <source>1. Click “Copy command” below</source>
        <translation>1. 点击下方「复制修复命令」</translation>
    </message>
    <message>
        <source>2. Paste it into a terminal and run it</source>
        <translation>2. 在终端中粘贴并运行该命令</translation>
    </message>
    <message>
        <source>Copy command</source>
        <translation>复制修复命令</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>Trash access</source>
        <translation>废纸篓读写权限</translation>
    </message>
    <message>
        <source>Rubbly needs to read and write your trash folders.</source>
        <translation>Rubbly 需要读写你的废纸篓文件夹，才能统计和清空它们。</translation>
    </message>
    <message>
        <source>3. Come back and click “Recheck”</source>
        <translation>3. 返回此处点击「重新检查」</translation>
    </message>
    <message>
        <source>Recheck</source>
        <translation>重新检查</translation>
    </message>
</context>
<context>
    <name>PanelItems</name>
    <message>
        <source>This desktop&apos;s panel shows the Trash&apos;s size beside the icon by itself, or offers no place for it; the size is in the icon&apos;s tooltip. Rubbly can add its item to the panels of KDE Plasma and XFCE.</source>
        <translation>此桌面的面板会自行在图标旁显示废纸篓的大小，或没有可放置的位置；大小显示在图标的提示中。Rubbly 可以把它的项目添加到 KDE Plasma 和 XFCE 的面板。</translation>
    </message>
    <message>
        <source>The Plasma widget is missing from this installation (%1).</source>
        <translation>此安装中缺少 Plasma 小部件（%1）。</translation>
    </message>
    <message>
        <source>Could not copy the Plasma widget to %1.</source>
        <translation>无法将 Plasma 小部件复制到 %1。</translation>
    </message>
    <message>
        <source>Could not read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>Plasma&apos;s panel is not running (no org.kde.plasmashell on the session bus).</source>
        <translation>Plasma 的面板未运行（会话总线上没有 org.kde.plasmashell）。</translation>
    </message>
    <message>
        <source>Plasma refused its scripting interface (are the widgets locked?).</source>
        <translation>Plasma 拒绝了其脚本接口（小部件是否已锁定？）。</translation>
    </message>
    <message>
        <source>Plasma could not add the widget %1 to its panel.</source>
        <translation>Plasma 无法将小部件 %1 添加到其面板。</translation>
    </message>
    <message>
        <source>The Rubbly widget is already in Plasma&apos;s panel.</source>
        <translation>Rubbly 小部件已在 Plasma 的面板中。</translation>
    </message>
    <message>
        <source>Plasma shows no panel to add the widget to.</source>
        <translation>Plasma 没有可添加小部件的面板。</translation>
    </message>
    <message>
        <source>Added the Rubbly widget (%1) to Plasma&apos;s panel; remove it as any widget, in the panel&apos;s edit mode.</source>
        <translation>已将 Rubbly 小部件（%1）添加到 Plasma 的面板；可像其他小部件一样在面板的编辑模式中移除。</translation>
    </message>
    <message>
        <source>The XFCE panel is not running (no org.xfce.Panel on the session bus).</source>
        <translation>XFCE 面板未运行（会话总线上没有 org.xfce.Panel）。</translation>
    </message>
    <message>
        <source>The XFCE panel needs its Generic Monitor plugin to show the size: install the package xfce4-genmon-plugin, then try again.</source>
        <translation>XFCE 面板需要其“通用监视器”插件来显示大小：请安装软件包 xfce4-genmon-plugin 后重试。</translation>
    </message>
    <message>
        <source>Could not read the XFCE panel&apos;s settings: %1</source>
        <translation>无法读取 XFCE 面板的设置：%1</translation>
    </message>
    <message>
        <source>Rubbly&apos;s Generic Monitor is already in the XFCE panel (genmon-%1).</source>
        <translation>Rubbly 的通用监视器已在 XFCE 面板中（genmon-%1）。</translation>
    </message>
    <message>
        <source>Could not change the XFCE panel&apos;s settings: %1</source>
        <translation>无法更改 XFCE 面板的设置：%1</translation>
    </message>
    <message>
        <source>Added Rubbly&apos;s Generic Monitor (genmon-%1) to the XFCE panel, which restarts to show it; remove it in the panel&apos;s Items preferences.</source>
        <translation>已将 Rubbly 的通用监视器（genmon-%1）添加到 XFCE 面板，面板将重新启动以显示它；可在面板首选项的“项目”中移除。</translation>
    </message>
    <message>
        <source>Added Rubbly&apos;s Generic Monitor (genmon-%1) to the XFCE panel&apos;s settings, but the panel did not restart to show it (%2); restart it with &quot;xfce4-panel -r&quot;.</source>
        <translation>已将 Rubbly 的通用监视器（genmon-%1）写入 XFCE 面板的设置，但面板未能重新启动以显示它（%2）；请用“xfce4-panel -r”重新启动面板。</translation>
    </message>
    <message>
        <source>The XFCE panel&apos;s settings list no panel.</source>
        <translation>XFCE 面板的设置中没有任何面板。</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The shortcut is active.</source>
        <translation>快捷键已生效。</translation>
    </message>
    <message>
        <source>Another program holds the shortcut: release Alt + Shift + Backspace there first.</source>
        <translation>快捷键已被其他程序占用，请先在那个程序中释放 Alt + Shift + Backspace。</translation>
    </message>
    <message>
        <source>Settings › Keyboard › View and Customize Shortcuts › Custom Shortcuts</source>
        <translation>“设置 › 键盘 › 查看及自定义快捷键 › 自定义快捷键”</translation>
    </message>
    <message>
        <source>Plasma&apos;s settings › Keyboard › Shortcuts</source>
        <translation>“Plasma 设置 › 键盘 › 快捷键”</translation>
    </message>
    <message>
        <source>the desktop&apos;s keyboard settings</source>
        <translation>桌面的键盘设置</translation>
    </message>
    <message>
        <source>Bind a key to the command rubbly --empty-trash in %1 instead.</source>
        <translation>可改为在%1中为命令 rubbly --empty-trash 绑定一个按键。</translation>
    </message>
    <message>
        <source>The desktop bound the shortcut to %1.</source>
        <translation>桌面已将快捷键绑定为 %1。</translation>
    </message>
    <message>
        <source>Waiting for your answer in the desktop&apos;s dialog.</source>
        <translation>正在等待你在桌面弹出的对话框中作答。</translation>
    </message>
    <message>
        <source>You declined the shortcut in the desktop&apos;s dialog. Switch it off and on to be asked again.</source>
        <translation>你在桌面的对话框中拒绝了此快捷键。关闭此开关再重新打开，即可再次询问。</translation>
    </message>
    <message>
        <source>The desktop refused the shortcut.</source>
        <translation>桌面拒绝了此快捷键。</translation>
    </message>
    <message>
        <source>The desktop refused the shortcut: %1.</source>
        <translation>桌面拒绝了此快捷键：%1。</translation>
    </message>
    <message>
        <source>Started from a terminal, Rubbly has no application id the desktop could name. Start it from its menu entry, or bind a key to the command rubbly --empty-trash in %1.</source>
        <translation>从终端启动时，Rubbly 没有可供桌面识别的应用 ID。请从应用菜单启动它，或在%1中为命令 rubbly --empty-trash 绑定一个按键。</translation>
    </message>
    <message>
        <source>This desktop offers no global shortcuts to programs.</source>
        <translation>此桌面不向程序提供全局快捷键。</translation>
    </message>
    <message>
        <source>This desktop does not support global shortcuts.</source>
        <translation>当前桌面环境不支持全局快捷键。</translation>
    </message>
    <message>
        <source>Registering the shortcut…</source>
        <translation>正在注册快捷键…</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>外观</translation>
    </message>
    <message>
        <source>Follow the system&apos;s appearance, or always use light or dark.</source>
        <translation>可选择跟随系统外观，或强制设置为浅色或深色模式。</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>外观模式</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>运行方式</translation>
    </message>
    <message>
        <source>When on, Rubbly runs from the tray alone and its windows stay out of the taskbar.</source>
        <translation>开启后，Rubbly 将作为纯状态栏工具运行，不在任务栏显示窗口。</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>开机自启动</translation>
    </message>
    <message>
        <source>Hide from the taskbar</source>
        <translation>不在任务栏显示</translation>
    </message>
    <message>
        <source>Updates</source>
        <translation>软件更新</translation>
    </message>
    <message>
        <source>Check for updates automatically</source>
        <translation>自动检查更新</translation>
    </message>
    <message>
        <source>Choose how Rubbly&apos;s icon and the Trash&apos;s size show in the tray.</source>
        <translation>自定义状态栏中 Rubbly 图标与文件体积的显示方式。</translation>
    </message>
    <message>
        <source>Show the size in the tray</source>
        <translation>在状态栏显示大小</translation>
    </message>
    <message>
        <source>Hide the size when the Trash is empty</source>
        <translation>废纸篓为空时隐藏大小</translation>
    </message>
    <message>
        <source>Icon shows how full the Trash is</source>
        <translation>根据容量动态展示图标形态</translation>
    </message>
    <message>
        <source>Ask once more before emptying the Trash, and say in a notification how much space was freed.</source>
        <translation>清空废纸篓时进行二次确认保护，并在完成后通过系统通知提醒释放的空间。</translation>
    </message>
    <message>
        <source>Ask before emptying</source>
        <translation>清空前进行确认</translation>
    </message>
    <message>
        <source>Notify when cleaning is done</source>
        <translation>清理完成后发送通知</translation>
    </message>
    <message>
        <source>Automatic cleaning</source>
        <translation>自动化清理总开关</translation>
    </message>
    <message>
        <source>Check the rules in the background</source>
        <translation>启用后台自动规则巡检</translation>
    </message>
    <message>
        <source>By age</source>
        <translation>按保留时间清理</translation>
    </message>
    <message>
        <source>Remove entries older than a limit</source>
        <translation>自动清理超期文件</translation>
    </message>
    <message>
        <source>More than %1 days ago</source>
        <translation>超过 %1 天</translation>
    </message>
    <message>
        <source>Remove what was trashed</source>
        <translation>保留期限</translation>
    </message>
    <message>
        <source>By size</source>
        <translation>按容量阈值清理</translation>
    </message>
    <message>
        <source>Act when the Trash grows past a size</source>
        <translation>容量达到阈值时触发</translation>
    </message>
    <message>
        <source>Over %1 GB</source>
        <translation>超过 %1 GB</translation>
    </message>
    <message>
        <source>Size limit</source>
        <translation>容量阈值</translation>
    </message>
    <message>
        <source>Empty silently (off: only notify)</source>
        <translation>静默自动清空（关闭则仅通知提醒）</translation>
    </message>
    <message>
        <source>Global shortcut</source>
        <translation>全局快捷键</translation>
    </message>
    <message>
        <source>When on, Alt + Shift + Backspace empties the Trash from anywhere.</source>
        <translation>开启后，在任意界面按下 Alt + Shift + Backspace 即可快速触发清空废纸篓。</translation>
    </message>
    <message>
        <source>Empty the Trash with a shortcut (Alt + Shift + Backspace)</source>
        <translation>启用一键清空全局快捷键 (Alt + Shift + Backspace)</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>声音反馈</translation>
    </message>
    <message>
        <source>A crisp sound tells you at once when the work is done.</source>
        <translation>操作完成时通过清脆音效提供即时反馈。</translation>
    </message>
    <message>
        <source>Play a sound when emptying</source>
        <translation>播放清空音效</translation>
    </message>
    <message>
        <source>General</source>
        <translation>通用</translation>
    </message>
    <message>
        <source>Tray</source>
        <translation>状态栏</translation>
    </message>
    <message>
        <source>Cleaning</source>
        <translation>清理</translation>
    </message>
    <message>
        <source>Automation</source>
        <translation>自动化</translation>
    </message>
    <message>
        <source>Shortcut &amp; Feedback</source>
        <translation>快捷键与反馈</translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation>权限</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Rubbly Settings</source>
        <translation>Rubbly 设置</translation>
    </message>
    <message>
        <source>Confirmation turned off</source>
        <translation>已关闭清空确认</translation>
    </message>
    <message>
        <source>Emptying the Trash will no longer ask first: every file in it is deleted for good at once.</source>
        <translation>清空废纸篓时将不再弹出二次确认，直接永久删除所有文件。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>好</translation>
    </message>
    <message>
        <source>This desktop&apos;s tray shows only the icon. Rubbly can add an item that shows the size to the desktop&apos;s panel; remove it as any panel item.</source>
        <translation>此桌面的托盘只显示图标。Rubbly 可以在桌面的面板中添加一个显示大小的项目；可像其他面板项目一样移除。</translation>
    </message>
    <message>
        <source>Add to Panel</source>
        <translation>添加到面板</translation>
    </message>
    <message>
        <source>Show the size in the panel</source>
        <translation>在面板中显示大小</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>&gt; no tray here: this desktop lacks %1.</source>
        <translation>&gt; 这里没有托盘：此桌面缺少%1。</translation>
    </message>
    <message>
        <source>a D-Bus session bus</source>
        <translation>D-Bus 会话总线</translation>
    </message>
    <message>
        <source>the AppIndicator extension (package gnome-shell-extension-appindicator)</source>
        <translation>AppIndicator 扩展（软件包 gnome-shell-extension-appindicator）</translation>
    </message>
    <message>
        <source>a System Tray widget in its panel</source>
        <translation>面板中的“系统托盘”小部件</translation>
    </message>
    <message>
        <source>a system tray in its panel (a StatusNotifierItem host or an XEmbed notification area)</source>
        <translation>面板中的系统托盘（StatusNotifierItem 宿主或 XEmbed 通知区域）</translation>
    </message>
    <message>
        <source>a system tray in its panel (a StatusNotifierItem host)</source>
        <translation>面板中的系统托盘（StatusNotifierItem 宿主）</translation>
    </message>
    <message>
        <source>Empty the Trash</source>
        <translation>清空废纸篓</translation>
    </message>
    <message>
        <source>Open Panel</source>
        <translation>打开面板</translation>
    </message>
    <message>
        <source>Empty Trash…</source>
        <translation>清空废纸篓…</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>偏好设置…</translation>
    </message>
    <message>
        <source>Quit Rubbly</source>
        <translation>退出 Rubbly</translation>
    </message>
</context>
<context>
    <name>Update</name>
    <message>
        <source>Stability improvements and new features.</source>
        <translation>包含稳定性优化与功能增强。</translation>
    </message>
    <message>
        <source>Invalid update address</source>
        <translation>无效的更新请求地址</translation>
    </message>
    <message>
        <source>Network error; please try again later</source>
        <translation>网络连接失败，请稍后重试</translation>
    </message>
    <message>
        <source>Unexpected network response</source>
        <translation>网络响应异常</translation>
    </message>
    <message>
        <source>Cannot reach the update server right now</source>
        <translation>暂时无法连接到更新服务器</translation>
    </message>
    <message>
        <source>Could not read the update information</source>
        <translation>更新信息解析失败</translation>
    </message>
    <message>
        <source>Download failed; try downloading it in a browser</source>
        <translation>自动下载失败，建议在浏览器中下载</translation>
    </message>
    <message>
        <source>Could not unpack the update; retry or download it from the website</source>
        <translation>更新包提取失败，请重试或在官网下载</translation>
    </message>
    <message>
        <source>This build has no update signing key and cannot install updates; download the new version from the website</source>
        <translation>此版本未内置更新签名公钥，无法安装更新，请在官网下载新版本</translation>
    </message>
    <message>
        <source>The update address is not HTTPS; the download was refused</source>
        <translation>更新地址未使用 HTTPS，已拒绝下载</translation>
    </message>
    <message>
        <source>The signature of the update did not verify; it was not installed</source>
        <translation>更新包签名校验失败，已拒绝安装</translation>
    </message>
</context>
<context>
    <name>ViewModel</name>
    <message>
        <source>Cleaning…</source>
        <translation>正在清理…</translation>
    </message>
    <message>
        <source>Freed %1</source>
        <translation>已释放 %1</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>废纸篓</translation>
    </message>
    <message>
        <source>Trash unavailable</source>
        <translation>废纸篓不可用</translation>
    </message>
    <message>
        <source>Could not empty the Trash</source>
        <translation>无法清空废纸篓</translation>
    </message>
    <message>
        <source>Removed %1 of %2 items; %3 could not be deleted.</source>
        <translation>已移除 %1/%2 项，%3 项无法删除。</translation>
    </message>
    <message>
        <source>Could not move to the Trash</source>
        <translation>移入废纸篓失败</translation>
    </message>
    <message>
        <source>Trash folder %1 cannot be used (%2).</source>
        <translation>废纸篓文件夹 %1 无法使用（%2）。</translation>
    </message>
    <message>
        <source>it</source>
        <translation>它</translation>
    </message>
    <message>
        <source>its path does not start at /</source>
        <translation>它的路径不以 / 开头</translation>
    </message>
    <message>
        <source>the folder above it, %1, cannot be opened: %2</source>
        <translation>无法打开其上层文件夹 %1：%2</translation>
    </message>
    <message>
        <source>%1 cannot be made: %2</source>
        <translation>无法创建%1：%2</translation>
    </message>
    <message>
        <source>%1 is a symbolic link, which is never followed</source>
        <translation>%1是符号链接，不会被跟随</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1不是文件夹</translation>
    </message>
    <message>
        <source>%1 is missing</source>
        <translation>%1不存在</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取%1：%2</translation>
    </message>
    <message>
        <source>%1 belongs to another user, user ID %2</source>
        <translation>%1属于另一位用户，用户 ID 为 %2</translation>
    </message>
    <message>
        <source>%1 is a mount point</source>
        <translation>%1是挂载点</translation>
    </message>
    <message>
        <source>%1 lets any user replace the folders in it (no sticky bit)</source>
        <translation>%1没有粘滞位，任何用户都能替换其中的文件夹</translation>
    </message>
    <message>
        <source>the volume is not answering; it is left out until it does</source>
        <translation>该卷没有响应，在它恢复之前暂不处理</translation>
    </message>
    <message>
        <source>the volume could not be looked at this time</source>
        <translation>这次无法查看该卷</translation>
    </message>
    <message>
        <source>%1 cannot be read to the end: %2</source>
        <translation>%1无法完整读取：%2</translation>
    </message>
    <message>
        <source>The age rule kept %1 items: their deletion date cannot be read.</source>
        <translation>按保留时间清理保留了 %1 个项目：无法读取它们的删除日期。</translation>
    </message>
    <message>
        <source>Removed %1 items.</source>
        <translation>已移除 %1 项。</translation>
    </message>
    <message>
        <source>Removed 1 item.</source>
        <translation>已移除 1 项。</translation>
    </message>
    <message>
        <source>The Trash could not be emptied completely</source>
        <translation>废纸篓未能完全清空</translation>
    </message>
    <message>
        <source>Deleted %1 of %2 items; %3 stayed in the Trash.</source>
        <translation>已删除 %1/%2 项，%3 项仍在废纸篓中。</translation>
    </message>
    <message>
        <source>Put back %1 of %2 items; %3 stayed in the Trash.</source>
        <translation>已放回 %1/%2 项，%3 项仍在废纸篓中。</translation>
    </message>
    <message>
        <source>Put back %1 of %2 items; %3 had already left the Trash.</source>
        <translation>已放回 %1/%2 项，%3 项已不在废纸篓中。</translation>
    </message>
    <message>
        <source>Moved %1 of %2 items to the Trash; %3 could not be moved.</source>
        <translation>已移入 %1/%2 项，%3 项无法移入废纸篓。</translation>
    </message>
    <message>
        <source>Scanning %1... (%2/%3)</source>
        <translation>正在扫描 %1... (%2/%3)</translation>
    </message>
    <message>
        <source>Finished %1 · found %2</source>
        <translation>已完成 %1 · 发现 %2</translation>
    </message>
    <message>
        <source>Finding installed applications…</source>
        <translation>正在检测已安装的应用…</translation>
    </message>
    <message>
        <source>Starting the purge…</source>
        <translation>正在开始瘦身…</translation>
    </message>
    <message>
        <source>Purging %2/%3: %1</source>
        <translation>正在清理 %1... (%2/%3)</translation>
    </message>
    <message>
        <source>Removed %1 of 1 item; it could not be deleted.</source>
        <translation>已移除 %1/1 项，1 项无法删除。</translation>
    </message>
    <message>
        <source>Deleted %1 of 1 item; it stayed in the Trash.</source>
        <translation>已删除 %1/1 项，1 项仍在废纸篓中。</translation>
    </message>
    <message>
        <source>Put back %1 of 1 item; it stayed in the Trash.</source>
        <translation>已放回 %1/1 项，1 项仍在废纸篓中。</translation>
    </message>
    <message>
        <source>Put back %1 of 1 item; it had already left the Trash.</source>
        <translation>已放回 %1/1 项，1 项已不在废纸篓中。</translation>
    </message>
    <message>
        <source>Moved %1 of 1 item to the Trash; it could not be moved.</source>
        <translation>已移入 %1/1 项，1 项无法移入废纸篓。</translation>
    </message>
    <message>
        <source>There is no entry named %1 in the Trash.</source>
        <translation>废纸篓中没有名为 %1 的项目。</translation>
    </message>
    <message>
        <source>The entry %1 is not in a trash folder in use.</source>
        <translation>项目 %1 不在正在使用的废纸篓文件夹中。</translation>
    </message>
    <message>
        <source>The trash folder %1 cannot be used.</source>
        <translation>废纸篓文件夹 %1 无法使用。</translation>
    </message>
    <message>
        <source>The trash folder %1 cannot be read to the end.</source>
        <translation>废纸篓文件夹 %1 无法完整读取。</translation>
    </message>
    <message>
        <source>The entry %1 is no longer in the Trash.</source>
        <translation>项目 %1 已不在废纸篓中。</translation>
    </message>
    <message>
        <source>The entry %1 was replaced in the Trash meanwhile and stays.</source>
        <translation>项目 %1 在此期间已在废纸篓中被替换，保持不动。</translation>
    </message>
    <message>
        <source>The entry %1 is a mount point and stays in the Trash.</source>
        <translation>项目 %1 是挂载点，仍留在废纸篓中。</translation>
    </message>
    <message>
        <source>The entry %1 holds the mount point %2, which is never entered, and stays in the Trash.</source>
        <translation>项目 %1 包含挂载点 %2（从不进入），仍留在废纸篓中。</translation>
    </message>
    <message>
        <source>The mount table cannot be read, so %1 stays in the Trash.</source>
        <translation>无法读取挂载表，%1 仍留在废纸篓中。</translation>
    </message>
    <message>
        <source>The entry %1 could not be deleted completely and stays in the Trash.</source>
        <translation>项目 %1 未能完全删除，仍留在废纸篓中。</translation>
    </message>
    <message>
        <source>Rubbly is quitting: %1 was not deleted.</source>
        <translation>Rubbly 正在退出：%1 未删除。</translation>
    </message>
    <message>
        <source>The entry %1 has no info file, so its original place is unknown.</source>
        <translation>项目 %1 没有信息文件，原位置未知。</translation>
    </message>
    <message>
        <source>The info file of %1 cannot be read.</source>
        <translation>无法读取 %1 的信息文件。</translation>
    </message>
    <message>
        <source>The info file of %1 names no usable original place.</source>
        <translation>%1 的信息文件没有给出可用的原位置。</translation>
    </message>
    <message>
        <source>The place %1 is inside the Trash.</source>
        <translation>位置 %1 在废纸篓内。</translation>
    </message>
    <message>
        <source>Another file is already at %1.</source>
        <translation>%1 已被其他文件占用。</translation>
    </message>
    <message>
        <source>The way there leads through the link %1, which is never followed.</source>
        <translation>路径经过链接 %1，Rubbly 从不沿链接移动。</translation>
    </message>
    <message>
        <source>The way there leads through %1, which is not a folder.</source>
        <translation>路径经过的 %1 不是文件夹。</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>文件夹 %1 不存在。</translation>
    </message>
    <message>
        <source>The folder %1 cannot be made.</source>
        <translation>无法创建文件夹 %1。</translation>
    </message>
    <message>
        <source>The place %1 is on another file system than the trash; move it there yourself.</source>
        <translation>位置 %1 与废纸篓不在同一文件系统上，请手动移动。</translation>
    </message>
    <message>
        <source>The system refused %1: %2.</source>
        <translation>系统拒绝了 %1：%2。</translation>
    </message>
</context>
</TS>
