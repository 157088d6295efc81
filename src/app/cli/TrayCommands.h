#pragma once

#include "PanelItems.h"

#include <QTextStream>

#include <optional>

namespace rubbly {

// `rubbly tray label [--wait LAST] [--genmon]`: the running tray application's label (empty when
// none runs) for a panel item; with --wait, only once it differs from LAST (blocking until then);
// with --genmon, as XFCE's generic monitor reads it.
int trayLabelCommand(const std::optional<QString>& waitPast, bool genmon, const QString& program, QTextStream& out,
                     QTextStream& err);

class DefaultsStore;

// `rubbly tray add-to-panel`: puts the size item into the running desktop's panel and says what it
// did, or why it could not (exit 1). Once it is there, `settings` records it, so the tray stops
// offering to add it.
int trayAddToPanelCommand(const PanelItems& items, PanelDesktop desktop, DefaultsStore& settings, QTextStream& out,
                          QTextStream& err);

} // namespace rubbly
