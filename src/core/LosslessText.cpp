#include "LosslessText.h"

#include <algorithm>

namespace rubbly {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // the escaped byte b (0x80–0xFF) is U+DC00 + b

// The length of the valid UTF-8 sequence at `i` and its code point, or 0: no overlong forms, no
// surrogates, nothing above U+10FFFF.
int validSequence(const QByteArray& bytes, qsizetype i, char32_t& codePoint)
{
    const auto byte = [&bytes](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(static_cast<char>(c));
    } else if (c < 0x800) {
        out.append(static_cast<char>(0xC0 | (c >> 6)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(static_cast<char>(0xE0 | (c >> 12)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (c >> 18)));
        out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// True for the characters a terminal must not get as they are (see printableText()).
bool mustEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x061C || c == 0x200E ||
           c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendEscaped(QByteArray& out, unsigned char byte)
{
    switch (byte) {
    case '\a':
        out.append("\\a");
        return;
    case '\b':
        out.append("\\b");
        return;
    case '\t':
        out.append("\\t");
        return;
    case '\n':
        out.append("\\n");
        return;
    case '\v':
        out.append("\\v");
        return;
    case '\f':
        out.append("\\f");
        return;
    case '\r':
        out.append("\\r");
        return;
    default:
        break;
    }
    const char octal[] = {'\\', char('0' + (byte >> 6)), char('0' + ((byte >> 3) & 7)), char('0' + (byte & 7))};
    out.append(octal, sizeof octal);
}

} // namespace

QString printableText(const QByteArray& bytes)
{
    // Most names are printable ASCII: one look at each byte, no copy to build.
    const auto plain = [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; };
    if (std::all_of(bytes.cbegin(), bytes.cend(), plain))
        return QString::fromLatin1(bytes);
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t codePoint = lead;
        const int length = lead < 0x80 ? 1 : validSequence(bytes, i, codePoint);
        if (length == 0) {
            appendEscaped(out, lead);
            ++i;
        } else if (lead == '\\') {
            out.append("\\\\");
            ++i;
        } else if (mustEscape(codePoint)) {
            for (int k = 0; k < length; ++k)
                appendEscaped(out, static_cast<unsigned char>(bytes[i + k]));
            i += length;
        } else {
            out.append(bytes.constData() + i, length);
            i += length;
        }
    }
    // Only whole valid sequences were copied, so this decodes every byte as it is.
    return QString::fromUtf8(out);
}

QString printableText(const QString& text)
{
    return printableText(encodeLossless(text));
}

QString decodeLossless(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text.append(QLatin1Char(static_cast<char>(lead)));
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        if (const int length = validSequence(bytes, i, codePoint)) {
            text.append(QString::fromUcs4(&codePoint, 1));
            i += length;
        } else {
            text.append(QChar(static_cast<char16_t>(kEscapeBase + lead)));
            ++i;
        }
    }
    return text;
}

QByteArray encodeLossless(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes.append(static_cast<char>(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace rubbly
