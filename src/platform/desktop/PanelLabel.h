#pragma once

#include "Result.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace rubbly::panellabel {

// The running tray application keeps the text of its status item's label in one small file, so
// that the items it puts into a desktop's own panel (a Plasma widget, an XFCE generic monitor) can
// draw it where the desktop's tray would not: $XDG_RUNTIME_DIR/rubbly/panel-label, the bytes of the
// label in UTF-8. No file means no tray application runs.

// The folder and the file, from the session's environment (without XDG_RUNTIME_DIR: Qt's fallback
// runtime folder, which is private to the user as well).
QByteArray folder(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QByteArray filePath(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Replaces the file with `label` (creating the folder 0700); the error is a sentence.
Result<Done, QString> publish(const QString& label,
                              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
// Removes the file when the application ends, so the panel items stop showing a stale size.
void withdraw(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// The label now; nullopt when no tray application runs.
std::optional<QString> read(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Blocks until the label differs from `last` and returns it (an empty one when the application
// ended), or nullopt with `error` set when it cannot watch. Waits on inotify of the folder, so it sleeps without any
// timer while nothing changes: one such process per panel item costs no wake-ups, and one short run per change.
std::optional<QString> waitForChange(const QString& last, QString& error,
                                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

} // namespace rubbly::panellabel
