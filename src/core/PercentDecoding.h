#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace rubbly {

// The bytes a percent-encoded text stands for (trash info paths, file URIs), or nothing when it is
// not well formed: every '%' must start two hex digits. Qt's own decoder turns "%zz" into some byte
// and keeps a cut-off "%4" as written, so a damaged text would name another file than it meant. An
// escape standing for one of `refused` also gives nothing (an escaped '/' in a name, say).
std::optional<QByteArray> percentDecoded(QByteArrayView encoded, QByteArrayView refused = {});

} // namespace rubbly
