#include "FileUriList.h"

#include "PercentDecoding.h"

#include <QSysInfo>

#include <optional>

namespace rubbly {

namespace {

// The bytes a URI's percent-encoded path stands for, or nothing when they would name another file
// than the sender meant: a malformed escape, an escaped '/' (it would split a name into folders) or
// NUL, a raw control character, or a query or fragment where the path should end.
std::optional<QByteArray> decodeUriPath(const QByteArray& encoded)
{
    for (const char c : encoded) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '?' || c == '#')
            return std::nullopt;
    }
    static constexpr char kSplitting[] = {'/', '\0'};
    return percentDecoded(encoded, QByteArrayView(kSplitting, sizeof kSplitting));
}

} // namespace

QByteArrayList localPathsFromUriList(const QByteArray& uriList)
{
    QByteArrayList paths;
    static const QByteArray localHost = QSysInfo::machineHostName().toUtf8();
    for (QByteArray line : uriList.split('\n')) {
        // Lines end in CRLF; nothing else is trimmed, since a path's bytes are the path.
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#') || line.size() < 6 || line.left(6).toLower() != "file:/")
            continue;
        QByteArray rest = line.mid(5);
        if (rest.startsWith("//")) {
            rest = rest.mid(2);
            const qsizetype slash = rest.indexOf('/');
            if (slash < 0)
                continue;
            const QByteArray host = rest.left(slash);
            if (!host.isEmpty() && host != "localhost" && host != localHost)
                continue; // another machine's file: nothing we can move
            rest = rest.mid(slash);
        }
        // Percent-decoding gives the bytes back, whatever their encoding.
        const auto path = decodeUriPath(rest);
        if (path && !path->isEmpty())
            paths.append(*path);
    }
    return paths;
}

} // namespace rubbly
