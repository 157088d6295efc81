#include "TrashCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "Formatting.h"
#include "PanelLogic.h"
#include "TrashService.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rubbly {

namespace {

QString isoDate(Timestamp t)
{
    return toDateTime(t).toString(Qt::ISODateWithMs);
}

QString errorText(const TrashError& error)
{
    switch (error.kind) {
    case TrashServiceError::TrashURLUnavailable:
        return QStringLiteral("no trash folder was found");
    case TrashServiceError::PermissionDenied:
        return QStringLiteral("permission denied: ") + error.message;
    case TrashServiceError::FileSystem:
        break;
    }
    return error.message;
}

QJsonObject itemJson(const TrashItemDetail& item)
{
    QJsonObject object{
        {QStringLiteral("name"), item.name},
        {QStringLiteral("path"), QFile::decodeName(item.path)},
        {QStringLiteral("size"), item.size},
        {QStringLiteral("category"), fileCategoryTitle(item.category)},
        {QStringLiteral("isDirectory"), item.isDirectory},
        {QStringLiteral("modificationDate"),
         item.modificationDate ? QJsonValue(isoDate(*item.modificationDate)) : QJsonValue(QJsonValue::Null)},
    };
    if (item.originalPath)
        object.insert(QStringLiteral("originalPath"), QFile::decodeName(*item.originalPath));
    if (item.deletionDate)
        object.insert(QStringLiteral("deletionDate"), isoDate(*item.deletionDate));
    return object;
}

QString countText(int n)
{
    return n == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(n);
}

} // namespace

int trashStatusCommand(TrashServicing& trash, bool json, const QByteArrayList& trashFolders, QTextStream& out,
                       QTextStream& err)
{
    const TrashStatusResult result = blockingWait(trash.fetchStatus());
    if (!result) {
        err << "rubbly: the Trash cannot be read: " << errorText(result.error()) << "\n";
        return ExitFailure;
    }
    const TrashStatus& status = result.value();
    const ByteCountFormatter& bytes = sharedByteCountFormatter();
    if (json) {
        QJsonObject categories;
        for (const auto& [category, size] : status.categoryDistribution)
            categories.insert(fileCategoryTitle(category), size);
        QJsonArray folders;
        for (const QByteArray& folder : trashFolders)
            folders.append(QFile::decodeName(folder));
        QJsonArray items;
        for (const TrashItemDetail& item : status.topItems)
            items.append(itemJson(item));
        const QJsonObject root{
            {QStringLiteral("totalSize"), status.totalSize},
            {QStringLiteral("itemCount"), status.itemCount},
            {QStringLiteral("lastUpdatedAt"), isoDate(status.lastUpdatedAt)},
            {QStringLiteral("categoryDistribution"), categories},
            {QStringLiteral("trashFolders"), folders},
            {QStringLiteral("items"), items},
        };
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return ExitSuccess;
    }

    out << "Trash: " << bytes.format(status.totalSize) << " in " << countText(status.itemCount) << "\n";
    // The panel's names, in every locale (the JSON above keeps the stored titles scripts rely on),
    // largest first as the panel lists them.
    for (const auto& [category, size] : distributionOrder(status))
        out << "  " << fileCategoryLabel(category).leftJustified(14) << bytes.format(size).rightJustified(10) << "\n";
    if (!status.topItems.isEmpty()) {
        out << "Largest:\n";
        for (const TrashItemDetail& item : status.previewItems()) {
            out << "  " << bytes.format(item.size).rightJustified(10) << "  " << item.name;
            if (item.originalPath)
                out << "  (from " << QFile::decodeName(*item.originalPath) << ")";
            out << "\n";
        }
    }
    for (const QByteArray& folder : trashFolders)
        out << "Trash folder: " << QFile::decodeName(folder) << "\n";
    return ExitSuccess;
}

int trashEmptyCommand(TrashServicing& trash, std::optional<int> olderThanDays, QTextStream& out, QTextStream& err)
{
    const TrashCleanupOutcome result =
        blockingWait(olderThanDays ? trash.removeItems(*olderThanDays) : trash.emptyTrash());
    if (!result) {
        err << "rubbly: the Trash cannot be emptied: " << errorText(result.error()) << "\n";
        return ExitFailure;
    }
    const TrashCleanupResult& counts = result.value();
    out << "Removed " << countText(counts.removedCount) << ", freed "
        << sharedByteCountFormatter().format(counts.freedBytes) << "; " << counts.failedCount << " failed\n";
    if (counts.failedCount > 0) {
        err << "rubbly: " << countText(counts.failedCount)
            << " could not be deleted completely and stayed in the Trash\n";
        return ExitFailure;
    }
    return ExitSuccess;
}

int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err)
{
    const TrashPutResult result = blockingWait(trash.moveToTrash(paths));
    if (!result) {
        err << "rubbly: " << result.error().message << "\n";
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace rubbly
