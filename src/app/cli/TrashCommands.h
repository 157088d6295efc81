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
int trashEmptyCommand(TrashServicing& trash, std::optional<int> olderThanDays, QTextStream& out, QTextStream& err);
int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err);

// The value of --older-than: a whole number of days in ASCII digits, nothing else (no sign, no
// spaces, no exponent); a number beyond what an int holds saturates, as an age beyond every date.
std::optional<int> parseDays(const QString& text);

} // namespace rubbly
