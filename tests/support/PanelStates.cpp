#include "PanelStates.h"

namespace rubbly::test {

namespace {
TrashItemDetail entry(const char* name, qint64 size, FileCategory category)
{
    TrashItemDetail item;
    item.name = QString::fromUtf8(name);
    item.path = QByteArray("/home/user/.local/share/Trash/files/") + name;
    item.size = size;
    item.category = category;
    return item;
}
} // namespace

TrashStatus fullTrash()
{
    TrashStatus status;
    status.topItems = {
        entry("ubuntu-24.04-desktop-amd64.iso", 6'114'246'656, FileCategory::Archive),
        entry("holiday-2025-final-cut-4k.mov", 2'350'000'000, FileCategory::Video),
        entry("node_modules-backup-of-the-old-monorepo", 912'000'000, FileCategory::Development),
        entry("IMG_20251107_183355_panorama.heic", 48'300'000, FileCategory::Image),
        entry("季度报告 2025 Q3 最终版.pdf", 12'400'000, FileCategory::Document),
        entry("podcast-episode-42.flac", 9'800'000, FileCategory::Audio),
        entry("notes.unknownext", 4'096, FileCategory::Other),
    };
    for (const TrashItemDetail& item : status.topItems) {
        status.totalSize += item.size;
        status.categoryDistribution[item.category] += item.size;
    }
    status.itemCount = static_cast<int>(status.topItems.size());
    return status;
}

TrashStatus zeroByteTrash()
{
    TrashStatus status;
    status.topItems = {entry("empty-folder", 0, FileCategory::Other),
                       entry("placeholder.txt", 0, FileCategory::Document)};
    status.itemCount = 2;
    status.categoryDistribution[FileCategory::Other] = 0;
    status.categoryDistribution[FileCategory::Document] = 0;
    return status;
}

} // namespace rubbly::test
