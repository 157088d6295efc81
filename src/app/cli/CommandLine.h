#pragma once

#include "ApplicationBus.h"

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace rubbly {

// Exit statuses of the command-line front end.
enum ExitStatus {
    ExitSuccess = 0,
    ExitFailure = 1, // the command ran and something failed; the message names it
    ExitUsage = 2,   // the command line itself was wrong
};

// Names the program for Qt (settings, logs, --version) and returns its arguments, each with its exact
// bytes (decodeLossless): a path that is not UTF-8 must name that file, not the one whose name its
// U+FFFD rendering spells. Both executables start with it.
QStringList startProgram(int argc, char* argv[]);

// Runs `rubbly update <sub>` once its arguments are checked (`sub` is check, download or install);
// returns the exit status.
using UpdateCommand = int (*)(const QString& sub, QTextStream& out, QTextStream& err);

// Runs `rubbly <command> …` (arguments without the program name's own handling, decoded with
// decodeLossless() so paths keep their exact bytes). Prints to stdout and stderr and returns the exit
// status. Never prompts. The update commands need the network, archive and signature libraries, which
// only the tray program links: it passes `update`, and `rubbly` hands those commands to it
// (isUpdateCommand()), so that every other command starts without loading them.
int runCommandLine(const QStringList& arguments, UpdateCommand update = nullptr);

// Whether `arguments` (with the program name first) name an `update` command.
bool isUpdateCommand(const QStringList& arguments);

// The tray-application request `arguments` (with the program name first) make: plain `rubbly`,
// `--toggle-panel`, `--settings` or `--empty-trash`, alone. Nullopt for a command, --help, --version
// or anything runCommandLine() should explain.
std::optional<ApplicationAction> trayActionFromArguments(const QStringList& arguments);

} // namespace rubbly
