#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <chrono>
#include <ctime>
#include <optional>

namespace rubbly {

// Wall-clock instant with microsecond resolution. QDateTime stops at milliseconds, which is not enough
// to round-trip the floating-point seconds that stored records and snapshots carry.
using Timestamp = std::chrono::sys_time<std::chrono::microseconds>;

// Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC, the epoch of every date we store.
inline constexpr std::int64_t kReferenceEpochOffsetSeconds = 978307200;

// Seconds since 2001-01-01 00:00:00 UTC. A double keeps every microsecond for dates within about
// 136 years of 2001; beyond that the nearest representable value is used.
double toReferenceSeconds(Timestamp t);

// Inverse of toReferenceSeconds(), rounded to the nearest microsecond. Empty for NaN, infinities and
// values outside the years 1 to 9999, which no stored date of ours can hold.
std::optional<Timestamp> fromReferenceSeconds(double seconds);

// The zone local dates are read and written in (DeletionDate, the age rule's calendar days, the
// interface's clock): the system's, or UTC when TZ names a zone this system has no data for (a typo,
// a container without tzdata), which is how the C library reads local time then. Qt's system zone is
// invalid in that case, and a date in an invalid zone is no date at all: every deletion date would be
// unreadable and the age rule would never remove anything. Read again at each call, as TZ may change.
QTimeZone localZone();

QDateTime toDateTime(Timestamp t);
Timestamp fromDateTime(const QDateTime& dateTime);

// A date and time in UTC, and one at a fixed offset east of UTC. Qt 6.5 names both with QTimeZone values
// and deprecates the Qt::TimeSpec forms that Qt 6.4 (Debian 12) only has; these pick the one the build has.
QDateTime utcDateTime(QDate date, QTime time);
QDateTime offsetDateTime(QDate date, QTime time, int secondsAheadOfUtc);

// A file time (st_mtim and friends), truncated to the microsecond.
inline Timestamp fromTimespec(const timespec& ts)
{
    return Timestamp{std::chrono::seconds(ts.tv_sec) +
                     std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::nanoseconds(ts.tv_nsec))};
}

// Seconds from `from` to `to` as a double (negative when `to` is earlier).
double secondsBetween(Timestamp from, Timestamp to);

} // namespace rubbly
