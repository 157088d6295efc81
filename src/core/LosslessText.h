#pragma once

#include <QByteArray>
#include <QString>

namespace rubbly {

// Text that keeps every byte of what it was made from, for names the system hands over as bytes (the
// command line's arguments). Valid UTF-8 decodes as usual; every byte that is not part of a valid
// sequence becomes the lone surrogate U+DC80–U+DCFF, which no valid UTF-8 can produce, so encoding
// gives the exact bytes back. Shown, such a character is U+FFFD; acted on, it is its byte.
QString decodeLossless(const QByteArray& bytes);
// The bytes decodeLossless() made `text` from. Other text is encoded as UTF-8, a lone surrogate that
// decodeLossless() never makes as U+FFFD.
QByteArray encodeLossless(const QString& text);

} // namespace rubbly
