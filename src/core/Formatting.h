#pragma once

#include "Timestamp.h"

#include <QString>
#include <QTimeZone>

namespace rubbly {

// A progress fraction as a whole percentage, truncated and kept within 0–100 (0.999 is 99; not a
// number is 0).
int progressPercent(double fraction);

// Short size for tight spaces: 0B, 512B, 12K, 3.4M, 1.5G, 2.0T (1024-based, no space).
QString formatBytesCompact(qint64 bytes);

// Size with unit for sentences and labels, 1024-based: "512 B", "12 KB", "3.4 MB", "1.25 GB".
// Bytes and KB have no decimals, MB one, GB and TB two; trailing zeros are dropped ("1 MB").
class ByteCountFormatter final {
public:
    QString format(qint64 bytes) const;
};

// The one formatter every part of the program shares; created on first use.
const ByteCountFormatter& sharedByteCountFormatter();

// "now" within a minute, else "today HH:mm", "yesterday HH:mm" or "Dec 4 HH:mm" in `zone`, in the
// interface's language (Chinese: "刚刚", "今天 HH:mm", "昨天 HH:mm", "MM月dd日 HH:mm").
QString formatRelativeTime(Timestamp date, Timestamp now, const QTimeZone& zone = localZone());

// "now", "Nm ago", "Nh ago", "Nd ago" (under 30 days), else "2026-01-21" in `zone`, in the
// interface's language (Chinese: "刚刚", "N分钟前", "N小时前", "N天前", "26/01/21").
QString formatTimeAgo(Timestamp date, Timestamp now, const QTimeZone& zone = localZone());

// `path` as a line of the interface shows it: from `~` when it is the home `home` or below it, and
// with a word joiner (U+2060) between its characters except after a slash, so a wrapping line breaks
// a path only at a slash and never inside a file name at a hyphen, a dot, a space or between two
// CJK characters. A single part wider than the line still breaks where it must.
QString displayedPath(const QByteArray& path, QByteArray home);

// Month abbreviation and day in upper case, in English whatever the locale: "DEC 4".
QString formatTodayStamp(Timestamp now, const QTimeZone& zone = localZone());

// The same day as a screen reader should say it: "Today, December 4" ("今天，12月4日").
QString spokenToday(Timestamp now, const QTimeZone& zone = localZone());

} // namespace rubbly
