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
// With `under` (paths, relative to the current folder, tidied by name: links are not resolved), only
// the entries trashed from one of those paths or from below it.
int trashListCommand(TrashService& trash, bool json, QTextStream& out, QTextStream& err,
                     const QByteArrayList& under = {});
// The original path of every entry, each once, each ended by a NUL: for shell completion, from the
// info files alone (no entry is sized). Prints nothing it cannot read, and always succeeds.
int trashPathsCommand(TrashService& trash, QTextStream& out);
// Each of `paths` (exact bytes) names the entries whose original path it is (absolute, or relative to
// the current folder), else the entry of that name in a trash folder's files/ (or that entry's full
// path); of several, the most recently trashed one, or all of them with `all`. A path that names
// nothing is a command-line error (2) and nothing is restored; else 0 when every entry went back, 1
// when any stayed (each on its own line on `err`).
// With `into`, each entry goes into that folder (relative to the current folder; it must exist) under
// the name it was trashed with.
int trashRestoreCommand(TrashService& trash, const QByteArrayList& paths, bool all, bool rename, QTextStream& out,
                        QTextStream& err, const QByteArray& into = {});
// Puts back what the last put (a command's or a drop on the panel) moved: 0 when all went back, 1 when
// any stayed, 2 when no put is remembered or nothing of it is left in the Trash.
int trashRestoreLastCommand(TrashService& trash, bool rename, QTextStream& out, QTextStream& err);
// Deletes for good the entries whose original path matches one of `patterns`, as trash-rm takes them:
// a pattern with a '/' is a shell glob (or the exact text) of the whole original path, relative to the
// current folder when it does not start with '/'; one without is a glob of the last name. Prints what
// it removed; 0 when every match went, 1 when any stayed (or a trash folder could not be used), 2 when
// nothing matched any pattern.
int trashRemoveCommand(TrashService& trash, const QByteArrayList& patterns, QTextStream& out, QTextStream& err);
// True when the original path `path` matches `pattern`, made absolute against `base` when it holds a
// '/', by trashRemoveCommand()'s rules.
bool originalPathMatches(const QByteArray& pattern, const QByteArray& path, const QByteArray& base);

// The value of --older-than: a whole number of days in ASCII digits, nothing else (no sign, no
// spaces, no exponent); a number beyond what an int holds saturates, as an age beyond every date.
std::optional<int> parseDays(const QString& text);

} // namespace rubbly
