#pragma once

#include <QByteArrayList>
#include <QString>
#include <QTextStream>

#include <optional>

namespace rubbly {

class TrashService;
class TrashServicing;

// `rubbly trash …`: each returns the process exit status and never prompts. `trash status --json`
// writes its items as the listing streams them, largest first.
int trashStatusCommand(TrashService& trash, bool json, const QByteArrayList& trashFolders, QTextStream& out,
                       QTextStream& err);
int trashEmptyCommand(TrashServicing& trash, std::optional<int> olderThanDays, QTextStream& out, QTextStream& err);
int trashPutCommand(TrashServicing& trash, const QByteArrayList& paths, QTextStream& err);

} // namespace rubbly
