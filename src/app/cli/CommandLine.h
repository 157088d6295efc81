#pragma once

#include "ApplicationBus.h"

#include <QStringList>

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

// Runs `rubbly <command> …` (arguments without the program name's own handling, decoded with
// decodeLossless() so paths keep their exact bytes). Prints to stdout and stderr and returns the exit
// status. Never prompts.
int runCommandLine(const QStringList& arguments);

// The tray-application request `arguments` (with the program name first) make: plain `rubbly`,
// `--toggle-panel`, `--settings` or `--empty-trash`, alone. Nullopt for a command, --help, --version
// or anything runCommandLine() should explain.
std::optional<ApplicationAction> trayActionFromArguments(const QStringList& arguments);

} // namespace rubbly
