#include "TrashCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "Formatting.h"
#include "PanelLogic.h"
#include "TrashServicing.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <limits>

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

// Prints the trash folders that could not be used or listed; true when there was one.
bool reportFolderProblems(const QList<TrashFolderProblem>& problems, QTextStream& err)
{
    for (const TrashFolderProblem& problem : problems)
        err << "rubbly: " << problem.message() << "\n";
    return !problems.isEmpty();
}

} // namespace

std::optional<int> parseDays(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 days = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        days = std::min<qint64>(days * 10 + (c.unicode() - u'0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(days);
}

int trashStatusCommand(TrashServicing& trash, bool json, QTextStream& out, QTextStream& err)
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
        for (const QByteArray& folder : status.trashFolders)
            folders.append(QFile::decodeName(folder));
        QJsonArray unusable;
        for (const TrashFolderProblem& problem : status.folderProblems)
            unusable.append(QJsonObject{{QStringLiteral("path"), QFile::decodeName(problem.path)},
                                        {QStringLiteral("reason"), problem.reason}});
        QJsonArray items;
        for (const TrashItemDetail& item : status.topItems)
            items.append(itemJson(item));
        const QJsonObject root{
            {QStringLiteral("totalSize"), status.totalSize},
            {QStringLiteral("itemCount"), status.itemCount},
            {QStringLiteral("lastUpdatedAt"), isoDate(status.lastUpdatedAt)},
            {QStringLiteral("categoryDistribution"), categories},
            {QStringLiteral("trashFolders"), folders},
            {QStringLiteral("unusableTrashFolders"), unusable},
            {QStringLiteral("items"), items},
        };
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return reportFolderProblems(status.folderProblems, err) ? ExitFailure : ExitSuccess;
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
    for (const QByteArray& folder : status.trashFolders)
        out << "Trash folder: " << QFile::decodeName(folder) << "\n";
    // Its entries are not counted above: the Trash is not known to be as small as it looks.
    for (const TrashFolderProblem& problem : status.folderProblems)
        out << "Trash folder not used: " << QFile::decodeName(problem.path) << " (" << problem.reason << ")\n";
    return reportFolderProblems(status.folderProblems, err) ? ExitFailure : ExitSuccess;
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
    for (const QString& problem : counts.problems)
        err << "rubbly: " << problem << "\n";
    if (counts.failedCount > 0)
        err << "rubbly: " << countText(counts.failedCount)
            << " could not be deleted completely and stayed in the Trash\n";
    return counts.complete() ? ExitSuccess : ExitFailure;
}

int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err)
{
    const TrashPutReport report = blockingWait(trash.moveToTrash(paths));
    for (const TrashError& failure : report.failures)
        err << "rubbly: " << failure.message << "\n";
    return report.failures.isEmpty() ? ExitSuccess : ExitFailure;
}

} // namespace rubbly
