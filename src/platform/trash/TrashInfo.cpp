#include "TrashInfo.h"

#include "PercentDecoding.h"
#include "UntrustedFile.h"

#include <QDateTime>
#include <QList>

namespace rubbly {

namespace {

bool digits(const QByteArray& s, qsizetype from, qsizetype count, int* value)
{
    if (from + count > s.size())
        return false;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

} // namespace

std::optional<Timestamp> TrashInfo::parseDate(const QByteArray& raw, const QTimeZone& zone)
{
    const QByteArray s = raw.trimmed();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    qsizetype i = 0;
    // Date: yyyy-MM-dd or yyyyMMdd.
    if (!digits(s, 0, 4, &year))
        return std::nullopt;
    i = 4;
    const bool extended = i < s.size() && s[i] == '-';
    if (extended)
        ++i;
    if (!digits(s, i, 2, &month))
        return std::nullopt;
    i += 2;
    if (extended && (i >= s.size() || s[i++] != '-'))
        return std::nullopt;
    if (!digits(s, i, 2, &day))
        return std::nullopt;
    i += 2;
    if (i >= s.size() || (s[i] != 'T' && s[i] != ' '))
        return std::nullopt;
    ++i;
    // Time: HH:mm:ss or HHmmss.
    if (!digits(s, i, 2, &hour))
        return std::nullopt;
    i += 2;
    const bool colons = i < s.size() && s[i] == ':';
    if (colons)
        ++i;
    if (!digits(s, i, 2, &minute))
        return std::nullopt;
    i += 2;
    if (colons && (i >= s.size() || s[i++] != ':'))
        return std::nullopt;
    if (!digits(s, i, 2, &second))
        return std::nullopt;
    i += 2;
    int micros = 0;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        int scale = 100000;
        bool any = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            micros += (s[i] - '0') * scale;
            scale /= 10;
            ++i;
            any = true;
        }
        if (!any)
            return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, std::min(second, 59));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;

    QDateTime dateTime;
    if (i == s.size()) {
        dateTime = QDateTime(date, time, zone);
    } else if (s[i] == 'Z' && i + 1 == s.size()) {
        dateTime = utcDateTime(date, time);
    } else if (s[i] == '+' || s[i] == '-') {
        const int sign = s[i] == '-' ? -1 : 1;
        int oh = 0, om = 0;
        qsizetype j = i + 1;
        if (!digits(s, j, 2, &oh))
            return std::nullopt;
        j += 2;
        if (j < s.size() && s[j] == ':')
            ++j;
        if (j < s.size() && !digits(s, j, 2, &om))
            return std::nullopt;
        if (j < s.size())
            j += 2;
        if (j != s.size() || oh > 23 || om > 59)
            return std::nullopt;
        dateTime = offsetDateTime(date, time, sign * (oh * 3600 + om * 60));
    } else {
        return std::nullopt;
    }
    if (!dateTime.isValid())
        return std::nullopt;
    return fromDateTime(dateTime) + std::chrono::seconds(second - time.second()) + std::chrono::microseconds(micros);
}

TrashInfo TrashInfo::parse(const QByteArray& content, const QTimeZone& zone)
{
    TrashInfo info;
    bool inGroup = false;
    bool seenPath = false;
    bool seenDate = false;
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            inGroup = line.trimmed() == "[Trash Info]";
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1);
        // The first occurrence wins even when it is unusable: a later duplicate is not trusted more.
        if (key == "Path" && !seenPath) {
            seenPath = true;
            // A malformed escape leaves the place unknown rather than naming another file.
            const std::optional<QByteArray> decoded = percentDecoded(value);
            if (decoded && !decoded->isEmpty())
                info.path = decoded;
        } else if (key == "DeletionDate" && !seenDate) {
            seenDate = true;
            info.deletionDate = parseDate(value, zone);
        }
    }
    return info;
}

QByteArray TrashInfo::serialize(const QByteArray& path, Timestamp deletionDate, const QTimeZone& zone)
{
    const QDateTime local = toDateTime(deletionDate).toTimeZone(zone);
    return QByteArrayLiteral("[Trash Info]\nPath=") + path.toPercentEncoding("/") +
           QByteArrayLiteral("\nDeletionDate=") + local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           '\n';
}

std::optional<TrashInfo> TrashInfo::read(int infoFd, const char* name, const QTimeZone& zone, struct stat* seen)
{
    const auto content = readUntrustedFile(infoFd, name, kMaxFileSize, seen);
    if (!content)
        return std::nullopt;
    return parse(*content, zone);
}

} // namespace rubbly
