#include "TrashCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "Formatting.h"
#include "Json.h"
#include "LosslessText.h"
#include "PanelLogic.h"
#include "TrashService.h"

#include <QFile>
#include <QFileDevice>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fnmatch.h>
#include <limits>
#include <unistd.h>

namespace rubbly {

namespace {

// UTC, to the millisecond, as Qt::ISODateWithMs writes it ("2026-03-01T09:00:00.000Z"), for the years
// every file has (0 to 9999); false for the rest.
bool formatIsoDate(Timestamp t, char (&text)[24])
{
    const qint64 ms = std::chrono::floor<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const time_t seconds = static_cast<time_t>(ms / 1000);
    struct tm utc = {};
    if (ms < 0 || !::gmtime_r(&seconds, &utc) || utc.tm_year + 1900 > 9999)
        return false;
    const auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char('0' + value % 10);
    };
    std::memcpy(text, "0000-00-00T00:00:00.000Z", sizeof text);
    put(0, utc.tm_year + 1900, 4);
    put(5, utc.tm_mon + 1, 2);
    put(8, utc.tm_mday, 2);
    put(11, utc.tm_hour, 2);
    put(14, utc.tm_min, 2);
    put(17, utc.tm_sec, 2);
    put(20, int(ms % 1000), 3);
    return true;
}

// The same as text; QDateTime's own formatting for the years formatIsoDate() leaves, whatever it does.
QString isoDate(Timestamp t)
{
    char text[24];
    return formatIsoDate(t, text) ? QString::fromLatin1(text, sizeof text) : toDateTime(t).toString(Qt::ISODateWithMs);
}

// The engine's message names the folder: printed as printableText() shows it.
QString errorText(const TrashError& error)
{
    switch (error.kind) {
    case TrashServiceError::TrashURLUnavailable:
        return QStringLiteral("no trash folder was found");
    case TrashServiceError::PermissionDenied:
        return QStringLiteral("permission denied: ") + printableText(error.message);
    case TrashServiceError::FileSystem:
        break;
    }
    return printableText(error.message);
}

QString countText(int n)
{
    return n == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(n);
}

// Every name, path and message below comes from outside (a file name, an info file on a stick, a
// mount table, the arguments) and goes through printableText(): text output is read by a terminal,
// and a control byte in a name must neither drive it nor start a line of its own. (--json escapes by
// the rules of JSON instead.)

// The entry's name in files/, as its bytes: the item's own name is decoded, every byte that is not
// UTF-8 already lost to U+FFFD.
QString printableName(const TrashItemDetail& item)
{
    return printableText(item.path.mid(item.path.lastIndexOf('/') + 1));
}

// Prints the trash folders that could not be used or listed; true when there was one.
bool reportFolderProblems(const QList<TrashFolderProblem>& problems, QTextStream& err)
{
    for (const TrashFolderProblem& problem : problems)
        err << "rubbly: trash folder " << printableText(problem.path) << " not used: " << printableText(problem.reason)
            << "\n";
    return !problems.isEmpty();
}

// A JSON listing exactly as QJsonDocument indents it, with the items written one by one as the listing
// hands them over: `trash status --json`'s object, laid out around a marker item (the text before the
// marker goes out with the first entry, the text after it once all are out), or `trash list --json`'s
// bare array.
class ItemsJsonWriter final {
public:
    explicit ItemsJsonWriter(QTextStream& out)
        : m_out(out)
    {
    }

    void beginStatus(const TrashStatus& status)
    {
        m_indent = QByteArray(8, ' '); // an item of the root's array is indented by two levels
        m_empty = document(status, {});
        const QByteArray marked = document(status, {kMarker});
        const QByteArray markerLine = "\n" + m_indent + '"' + kMarker.toUtf8() + "\"\n";
        const qsizetype at = marked.indexOf(markerLine, marked.indexOf("\"items\": ["));
        begin(marked.left(at + 1), marked.mid(at + markerLine.size() - 1));
    }
    void beginArray()
    {
        m_indent = QByteArray(4, ' ');
        m_empty = QJsonDocument(QJsonArray()).toJson(QJsonDocument::Indented);
        begin("[\n", "\n]\n");
    }
    void entry(const TrashItemDetail& item)
    {
        m_chunk.append(m_written++ == 0 ? m_head : QByteArray(",\n"));
        appendItem(item);
        if (m_chunk.size() >= kChunk)
            write();
    }
    void end()
    {
        if (m_written == 0)
            m_chunk = m_empty;
        else
            m_chunk.append(m_tail);
        write();
        if (auto* file = qobject_cast<QFileDevice*>(m_out.device()))
            file->flush();
    }

private:
    // An item's object as QJsonDocument indents it (keys in its sorted order, strings escaped as it
    // escapes them), written straight into the chunk: through a QJsonObject and a document per item
    // it cost more than the whole listing.
    void appendItem(const TrashItemDetail& item)
    {
        const QByteArray& pad = m_indent;
        const auto key = [&](const char* name) { m_chunk.append(pad).append("    \"").append(name).append("\": "); };
        const auto string = [&](const char* name, const QString& value) {
            key(name);
            json::appendString(m_chunk, value);
            m_chunk.append(",\n");
        };
        const auto date = [&](const char* name, Timestamp value) {
            key(name);
            appendDate(value);
            m_chunk.append(",\n");
        };
        m_chunk.append(pad).append("{\n");
        string("category", fileCategoryTitle(item.category));
        if (item.deletionDate)
            date("deletionDate", *item.deletionDate);
        key("isDirectory");
        m_chunk.append(item.isDirectory ? "true,\n" : "false,\n");
        if (item.modificationDate) {
            date("modificationDate", *item.modificationDate);
        } else {
            key("modificationDate");
            m_chunk.append("null,\n");
        }
        string("name", item.name);
        if (item.originalPath) {
            key("originalPath");
            appendPath(*item.originalPath);
            m_chunk.append(",\n");
        }
        key("path");
        appendPath(item.path);
        m_chunk.append(",\n");
        key("size");
        m_chunk.append(QByteArray::number(item.size));
        if (!item.trashFolder.isEmpty()) {
            m_chunk.append(",\n");
            key("trashFolder");
            appendPath(item.trashFolder);
        }
        m_chunk.append('\n').append(pad).append('}');
    }
    // The items are most of a listing's output, and nearly every path and date is plain ASCII: those
    // are written as they are, the rest through their decoded text exactly as before.
    void appendPath(const QByteArray& path)
    {
        const auto printable = [](char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; };
        if (std::all_of(path.cbegin(), path.cend(), printable))
            m_chunk.append('"').append(path).append('"');
        else
            json::appendString(m_chunk, QFile::decodeName(path));
    }
    void appendDate(Timestamp t)
    {
        char text[24];
        if (formatIsoDate(t, text))
            m_chunk.append('"').append(text, sizeof text).append('"');
        else
            json::appendString(m_chunk, isoDate(t));
    }
    void begin(QByteArray head, QByteArray tail)
    {
        // What was written through the stream before goes out first: the items go to its device
        // directly, as bytes (through the stream, each would be decoded and encoded again).
        m_out.flush();
        m_head = std::move(head);
        m_tail = std::move(tail);
    }
    static QByteArray document(const TrashStatus& status, const QJsonArray& items)
    {
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
        const QJsonObject root{
            {QStringLiteral("totalSize"), status.totalSize},
            {QStringLiteral("itemCount"), status.itemCount},
            {QStringLiteral("lastUpdatedAt"), isoDate(status.lastUpdatedAt)},
            {QStringLiteral("categoryDistribution"), categories},
            {QStringLiteral("trashFolders"), folders},
            {QStringLiteral("unusableTrashFolders"), unusable},
            {QStringLiteral("items"), items},
        };
        return QJsonDocument(root).toJson(QJsonDocument::Indented);
    }

    void write()
    {
        if (QIODevice* device = m_out.device())
            device->write(m_chunk);
        else
            m_out << m_chunk;
        m_chunk.clear();
    }

    static constexpr qsizetype kChunk = 64 * 1024;
    inline static const QString kMarker = QStringLiteral("rubbly:items");
    QTextStream& m_out;
    QByteArray m_head, m_tail, m_empty, m_indent;
    // Items written but not handed to the device yet.
    QByteArray m_chunk;
    qint64 m_written = 0;
};

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

int trashStatusCommand(TrashService& trash, bool json, QTextStream& out, QTextStream& err)
{
    if (json) {
        // The writer runs on the service's actor while this thread waits for the listing.
        ItemsJsonWriter writer(out);
        const TrashStatusResult result = blockingWait(trash.listEntries(
            TrashEntryOrder::LargestFirst, [&](const TrashStatus& status) { writer.beginStatus(status); },
            [&](const TrashItemDetail& item) { writer.entry(item); }));
        if (!result) {
            err << "rubbly: the Trash cannot be read: " << errorText(result.error()) << "\n";
            return ExitFailure;
        }
        writer.end();
        return reportFolderProblems(result.value().folderProblems, err) ? ExitFailure : ExitSuccess;
    }

    const TrashStatusResult result = blockingWait(trash.fetchStatus());
    if (!result) {
        err << "rubbly: the Trash cannot be read: " << errorText(result.error()) << "\n";
        return ExitFailure;
    }
    const TrashStatus& status = result.value();
    const ByteCountFormatter& bytes = sharedByteCountFormatter();
    out << "Trash: " << bytes.format(status.totalSize) << " in " << countText(status.itemCount) << "\n";
    // The panel's names, in every locale (the JSON above keeps the stored titles scripts rely on),
    // largest first as the panel lists them.
    for (const auto& [category, size] : distributionOrder(status))
        out << "  " << fileCategoryLabel(category).leftJustified(14) << bytes.format(size).rightJustified(10) << "\n";
    if (!status.topItems.isEmpty()) {
        out << "Largest:\n";
        for (const TrashItemDetail& item : status.previewItems()) {
            out << "  " << bytes.format(item.size).rightJustified(10) << "  " << printableName(item);
            if (item.originalPath)
                out << "  (from " << printableText(*item.originalPath) << ")";
            out << "\n";
        }
    }
    for (const QByteArray& folder : status.trashFolders)
        out << "Trash folder: " << printableText(folder) << "\n";
    // Its entries are not counted above: the Trash is not known to be as small as it looks.
    for (const TrashFolderProblem& problem : status.folderProblems)
        out << "Trash folder not used: " << printableText(problem.path) << " (" << printableText(problem.reason)
            << ")\n";
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
        << sharedByteCountFormatter().format(counts.freedBytes) << "; " << counts.failedCount << " failed";
    if (counts.undatedCount > 0)
        out << "; " << counts.undatedCount << " kept without a readable date";
    out << "\n";
    for (const QString& problem : counts.problemMessages())
        err << "rubbly: " << printableText(problem) << "\n";
    if (counts.failedCount > 0)
        err << "rubbly: " << countText(counts.failedCount)
            << " could not be deleted completely and stayed in the Trash\n";
    // Such an entry may be older than the age asked for, so the request is not known to be done: a
    // failure, as find(1) fails when it cannot examine a file. `trash list` shows which they are.
    if (counts.undatedCount > 0)
        err << "rubbly: " << countText(counts.undatedCount)
            << " stayed in the Trash because no deletion date can be read for them (shown as \"(no date)\" by "
               "rubbly trash list; rubbly trash empty without --older-than removes them)\n";
    return counts.complete() && counts.undatedCount == 0 ? ExitSuccess : ExitFailure;
}

int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err)
{
    const TrashPutReport report = blockingWait(trash.moveToTrash(paths));
    for (const TrashError& failure : report.failures)
        err << "rubbly: " << printableText(failure.message) << "\n";
    return report.failures.isEmpty() ? ExitSuccess : ExitFailure;
}

namespace {

// "yyyy-MM-dd HH:mm" in local time. Through localtime_r: QDateTime's conversion to local time looks at
// /etc/localtime again for every call, a stat per line of a listing of the whole Trash.
QString localMinute(Timestamp t)
{
    // POSIX lets localtime_r skip reading the zone; read it once here.
    [[maybe_unused]] static const bool zoneRead = [] {
        ::tzset();
        return true;
    }();
    const time_t seconds = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
    struct tm local = {};
    if (!::localtime_r(&seconds, &local))
        return QStringLiteral("(no date)");
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
    return QString::fromLatin1(text);
}

// `trash list`'s line for an entry: its deletion date in local time, its size, where it came from and
// the trash folder it is in.
QString listLine(const TrashItemDetail& item)
{
    const QString date = item.deletionDate ? localMinute(*item.deletionDate) : QStringLiteral("(no date)");
    const QString from = item.originalPath ? printableText(*item.originalPath)
                                           : QStringLiteral("(unknown place) ") + printableText(item.path);
    return QStringLiteral("%1  %2  %3  (in %4)\n")
        .arg(date.leftJustified(16), sharedByteCountFormatter().format(item.size).rightJustified(10), from,
             printableText(item.trashFolder));
}

} // namespace

namespace {

QByteArray currentFolder()
{
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? QByteArray(cwd) : QByteArray("/");
}

// True when `path` is `folder` or lies below it, by name.
bool atOrBelow(const QByteArray& path, const QByteArray& folder)
{
    return path == folder || folder == "/" || (path.startsWith(folder) && path.at(folder.size()) == '/');
}

} // namespace

int trashListCommand(TrashService& trash, bool json, QTextStream& out, QTextStream& err, const QByteArrayList& under)
{
    QByteArrayList folders;
    const QByteArray base = currentFolder();
    for (const QByteArray& path : under)
        folders.append(TrashRestorer::lexicalAbsolutePath(path, base));
    const auto wanted = [&folders](const TrashItemDetail& item) {
        return folders.isEmpty() ||
               (item.originalPath && std::any_of(folders.cbegin(), folders.cend(), [&](const QByteArray& folder) {
                    return atOrBelow(*item.originalPath, folder);
                }));
    };
    // Each entry is written as the listing hands it over, on the service's actor while this thread
    // waits: a Trash of any size costs the listing's own buffer, not a copy of every entry.
    ItemsJsonWriter writer(out);
    const TrashStatusResult result = blockingWait(trash.listEntries(
        TrashEntryOrder::NewestFirst,
        [&](const TrashStatus&) {
            if (json)
                writer.beginArray();
        },
        [&](const TrashItemDetail& item) {
            if (!wanted(item))
                return;
            if (json)
                writer.entry(item);
            else
                out << listLine(item);
        }));
    if (!result) {
        err << "rubbly: the Trash cannot be read: " << errorText(result.error()) << "\n";
        return ExitFailure;
    }
    if (json)
        writer.end();
    return reportFolderProblems(result->folderProblems, err) ? ExitFailure : ExitSuccess;
}

int trashPathsCommand(TrashService& trash, QTextStream& out)
{
    const QList<TrashRestorer::Entry> entries = blockingWait(trash.restorableEntries()).entries;
    QSet<QByteArray> seen;
    QByteArray bytes;
    for (const TrashRestorer::Entry& entry : entries) {
        if (entry.originalPath && !seen.contains(*entry.originalPath)) {
            seen.insert(*entry.originalPath);
            bytes.append(*entry.originalPath).append('\0');
        }
    }
    out.flush();
    if (QIODevice* device = out.device())
        device->write(bytes);
    return ExitSuccess;
}

namespace {

int printRestoreReport(const TrashRestoreReport& report, QTextStream& out, QTextStream& err)
{
    for (const QByteArray& restored : report.restoredPaths)
        out << "Restored " << printableText(restored) << "\n";
    for (const TrashError& failure : report.failures)
        err << "rubbly: " << printableText(failure.message) << "\n";
    return report.failures.isEmpty() ? ExitSuccess : ExitFailure;
}

} // namespace

int trashRestoreCommand(TrashService& trash, const QByteArrayList& paths, bool all, bool rename, QTextStream& out,
                        QTextStream& err, const QByteArray& into)
{
    const auto [entries, problems] = blockingWait(trash.restorableEntries());
    const QByteArray base = currentFolder();

    QList<TrashEntryRef> chosen;
    QByteArrayList unmatched;
    for (const QByteArray& path : paths) {
        const QByteArray absolute = TrashRestorer::lexicalAbsolutePath(path, base);
        QList<const TrashRestorer::Entry*> matches;
        for (const TrashRestorer::Entry& entry : entries) {
            if (entry.originalPath == absolute)
                matches.append(&entry);
        }
        // Only when no original path matches: a name in files/ is not what the user most likely meant
        // when a file trashed from the very place they named exists.
        if (matches.isEmpty()) {
            for (const TrashRestorer::Entry& entry : entries) {
                if ((!path.contains('/') && entry.ref.name == path) ||
                    absolute == entry.ref.trashFolder + "/files/" + entry.ref.name)
                    matches.append(&entry);
            }
        }
        if (matches.isEmpty()) {
            unmatched.append(path);
            continue;
        }
        // Newest first, so the most recently trashed one gets the original place (an entry without a
        // readable date counts as the oldest); without --all only that one.
        std::stable_sort(matches.begin(), matches.end(), [](const auto* a, const auto* b) {
            return a->deletionDate.value_or(Timestamp::min()) > b->deletionDate.value_or(Timestamp::min());
        });
        if (!all)
            matches = {matches.first()};
        for (const TrashRestorer::Entry* match : std::as_const(matches)) {
            if (!chosen.contains(match->ref))
                chosen.append(match->ref);
        }
    }
    if (!unmatched.isEmpty()) {
        for (const QByteArray& path : std::as_const(unmatched))
            err << "rubbly: nothing in the Trash was trashed from " << printableText(path)
                << " or has that name; nothing was restored\n";
        for (const QString& problem : std::as_const(problems))
            err << "rubbly: " << printableText(problem) << "\n";
        err << "rubbly: see rubbly trash status for what the Trash holds\n";
        return ExitUsage;
    }

    const TrashRestoreReport report = blockingWait(
        into.isEmpty() ? trash.restore(chosen, rename)
                       : trash.restoreInto(chosen, TrashRestorer::lexicalAbsolutePath(into, base), rename));
    return printRestoreReport(report, out, err);
}

int trashRestoreLastCommand(TrashService& trash, bool rename, QTextStream& out, QTextStream& err)
{
    const Result<TrashRestoreReport, TrashError> result = blockingWait(trash.restoreLastPut(rename));
    if (!result) {
        err << "rubbly: nothing was restored: " << printableText(result.error().message) << "\n";
        return ExitUsage;
    }
    return printRestoreReport(result.value(), out, err);
}

bool originalPathMatches(const QByteArray& pattern, const QByteArray& path, const QByteArray& base)
{
    if (!pattern.contains('/')) {
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        return name == pattern || ::fnmatch(pattern.constData(), name.constData(), 0) == 0;
    }
    // Tidied as the original paths are, so "./build/*.o" and "build//*.o" mean "build/*.o" here; a
    // trailing slash names the folder itself.
    const QByteArray whole = TrashRestorer::lexicalAbsolutePath(pattern, base);
    return path == whole || ::fnmatch(whole.constData(), path.constData(), FNM_PATHNAME) == 0;
}

int trashRemoveCommand(TrashService& trash, const QByteArrayList& patterns, QTextStream& out, QTextStream& err)
{
    const auto [entries, problems] = blockingWait(trash.restorableEntries());
    const QByteArray base = currentFolder();
    QList<TrashEntryRef> chosen;
    QHash<QByteArray, QByteArray> originals; // by trash folder and name
    QByteArrayList unmatched;
    for (const QByteArray& pattern : patterns) {
        bool any = false;
        for (const TrashRestorer::Entry& entry : entries) {
            if (!entry.originalPath || !originalPathMatches(pattern, *entry.originalPath, base))
                continue;
            any = true;
            if (!chosen.contains(entry.ref)) {
                chosen.append(entry.ref);
                originals.insert(entry.ref.trashFolder + '/' + entry.ref.name, *entry.originalPath);
            }
        }
        if (!any)
            unmatched.append(pattern);
    }
    for (const QByteArray& pattern : std::as_const(unmatched))
        err << "rubbly: nothing in the Trash was trashed from a path that matches " << printableText(pattern) << "\n";
    for (const QString& problem : std::as_const(problems))
        err << "rubbly: " << printableText(problem) << "\n";
    if (chosen.isEmpty())
        return problems.isEmpty() ? ExitUsage : ExitFailure;

    const TrashRemoveReport report = blockingWait(trash.removeEntries(chosen));
    for (const TrashEntryRef& removed : report.removed)
        out << "Removed " << printableText(originals.value(removed.trashFolder + '/' + removed.name)) << "  (was "
            << printableText(removed.trashFolder + "/files/" + removed.name) << ")\n";
    out << "Removed " << countText(int(report.removed.size())) << ", freed "
        << sharedByteCountFormatter().format(report.freedBytes) << "; " << report.failures.size() << " failed\n";
    for (const TrashError& failure : report.failures)
        err << "rubbly: " << printableText(failure.message) << "\n";
    return report.failures.isEmpty() && problems.isEmpty() ? ExitSuccess : ExitFailure;
}

} // namespace rubbly
