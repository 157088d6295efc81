#include "PanelStates.h"

namespace rubbly::test {

namespace {
TrashItemDetail entry(const char* name, qint64 size, FileCategory category)
{
    TrashItemDetail item;
    item.name = QString::fromUtf8(name);
    item.trashFolder = "/home/user/.local/share/Trash";
    item.path = item.trashFolder + "/files/" + name;
    item.originalPath = QByteArray("/home/user/Downloads/") + name;
    item.size = size;
    item.category = category;
    return item;
}

TrashStatus statusOf(const QList<TrashItemDetail>& items)
{
    TrashStatus status;
    status.topItems = items;
    for (const TrashItemDetail& item : items) {
        status.totalSize += item.size;
        status.categoryDistribution[item.category] += item.size;
    }
    status.itemCount = static_cast<int>(items.size());
    return status;
}
} // namespace

TrashStatus fullTrash()
{
    TrashStatus status = statusOf({
        entry("ubuntu-24.04-desktop-amd64.iso", 6'114'246'656, FileCategory::Archive),
        entry("holiday-2025-final-cut-4k.mov", 2'350'000'000, FileCategory::Video),
        entry("node_modules-backup-of-the-old-monorepo", 912'000'000, FileCategory::Development),
        entry("IMG_20251107_183355_panorama.heic", 48'300'000, FileCategory::Image),
        entry("季度报告 2025 Q3 最终版.pdf", 12'400'000, FileCategory::Document),
        entry("podcast-episode-42.flac", 9'800'000, FileCategory::Audio),
        entry("notes.unknownext", 4'096, FileCategory::Other),
    });
    status.topItems[4].originalPath.reset(); // no info file: nowhere to put it back
    return status;
}

TrashStatus zeroByteTrash()
{
    return statusOf(
        {entry("empty-folder", 0, FileCategory::Other), entry("placeholder.txt", 0, FileCategory::Document)});
}

QList<DiskSlimItem> slimItems(Timestamp now)
{
    struct Row {
        DiskSlimCategory category;
        QList<std::pair<const char*, qint64>> paths;
        int daysOld;
    };
    const QList<Row> rows{
        {DiskSlimCategory::HuggingFaceCache,
         {{"models--meta-llama--Llama-3.1-8B", 16'106'127'360}, {"datasets", 734'003'200}},
         3},
        {DiskSlimCategory::OllamaCache, {{"blobs", 4'831'838'208}}, 12},
        {DiskSlimCategory::WechatCache, {{"Cache", 1'288'490'188}, {"Temp", 52'428'800}}, 0},
        {DiskSlimCategory::ChromeCache,
         {{"Default/Cache", 943'718'400}, {"Default/Code Cache", 188'743'680}, {"Profile 1/Cache", 75'497'472}},
         1},
        {DiskSlimCategory::FirefoxCache, {{"xk4w2bqv.default-release/cache2", 402'653'184}}, 2},
        {DiskSlimCategory::FigmaCache, {{"DesktopProfile", 96'468'992}}, 40},
        {DiskSlimCategory::RustCargoCache, {{"registry", 2'147'483'648}, {"git", 536'870'912}}, 5},
        {DiskSlimCategory::GoCache, {{"go-build", 1'610'612'736}}, 8},
        {DiskSlimCategory::PythonPipUvCache, {{"pip", 314'572'800}, {"uv", 1'073'741'824}}, 20},
        {DiskSlimCategory::NpmCache, {{"_cacache", 880'803'840}}, 1},
        {DiskSlimCategory::PnpmStore, {{"v3", 2'684'354'560}}, 4},
        {DiskSlimCategory::JetbrainsCache, {{"IntelliJIdea2025.2", 1'181'116'006}, {"CLion2025.2", 660'602'880}}, 9},
        {DiskSlimCategory::DmgInstallers,
         {{"Downloads/balena-etcher-2.1.0-x64.AppImage", 104'857'600},
          {"Downloads/code_1.106.0_amd64.deb", 111'149'056}},
         33},
        {DiskSlimCategory::SystemLogs, {{"journal-user-1000", 167'772'160}}, 0},
    };
    QList<DiskSlimItem> items;
    for (const Row& row : rows) {
        DiskSlimItem item;
        item.category = row.category;
        int n = 0;
        for (const auto& [name, size] : row.paths) {
            DiskSlimSubItem sub;
            sub.name = QString::fromUtf8(name);
            sub.path = QByteArray("/home/user/.cache/") + diskSlimInfo(row.category).rowID + '/' + name;
            sub.size = size;
            sub.isDirectory = true;
            sub.modificationDate = now - std::chrono::hours(24 * row.daysOld + 3 * n++);
            item.size += size;
            item.subItems.append(sub);
        }
        item.fileCount = 100;
        items.append(item);
    }
    return items;
}

} // namespace rubbly::test
