#pragma once

#include <QByteArrayList>
#include <QString>
#include <QTextStream>

#include <optional>

namespace rubbly {

class TrashService;
class TrashServicing;

// `rubbly trash …`: each returns the process exit status and never prompts. A trash folder that
// could not be used or listed fails the command (exit 1) with its path and reason on `err`.
// `trash status --json` writes its items as the listing streams them, largest first.
int trashStatusCommand(TrashService& trash, bool json, QTextStream& out, QTextStream& err);
// With an age, an entry whose deletion date cannot be read stays and fails the command too (it may be
// that old); the summary and `err` say how many.
int trashEmptyCommand(TrashServicing& trash, std::optional<int> olderThanDays, QTextStream& out, QTextStream& err);
int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err);
// Every entry of every trash folder, newest first: its deletion date, size, original path and trash
// folder, one line each; with `json`, an array of the items as `trash status --json` writes them.
int trashListCommand(TrashService& trash, bool json, QTextStream& out, QTextStream& err);
// Each of `paths` (exact bytes) names the entries whose original path it is (absolute, or relative to
// the current folder), else the entry of that name in a trash folder's files/ (or that entry's full
// path); of several, the most recently trashed one, or all of them with `all`. A path that names
// nothing is a command-line error (2) and nothing is restored; else 0 when every entry went back, 1
// when any stayed (each on its own line on `err`).
int trashRestoreCommand(TrashService& trash, const QByteArrayList& paths, bool all, bool rename, QTextStream& out,
                        QTextStream& err);

// The value of --older-than: a whole number of days in ASCII digits, nothing else (no sign, no
// spaces, no exponent); a number beyond what an int holds saturates, as an age beyond every date.
std::optional<int> parseDays(const QString& text);

} // namespace rubbly
