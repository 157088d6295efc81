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

// `bytes` (a name, a path, a message) as one line of terminal output may show it, escaped the way
// `ls --escape` writes names: \a \b \t \n \v \f \r for those controls, \\ for the backslash itself,
// and a three-digit octal escape (\033, \377) for every other byte of a character that must not reach
// a terminal as it is: the other C0 and C1 controls and DEL (escape sequences, a forged line), the line
// and paragraph separators, the marks that reorder a line's text on screen (U+061C, U+200E, U+200F,
// U+202A–U+202E, U+2066–U+2069), and every byte that is not part of valid UTF-8. Everything else,
// spaces and CJK included, passes unchanged. C, printf(1) and bash's $'…' all read each escape back as
// its one byte, so two names that differ still print differently.
QString printableText(const QByteArray& bytes);
// The same for text: a character that decodeLossless() made from a byte as that byte, every other
// one as its UTF-8.
QString printableText(const QString& text);

} // namespace rubbly
