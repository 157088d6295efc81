#include "Timestamp.h"

#include <cmath>

namespace rubbly {

namespace {
// 0001-01-01 and 9999-12-31 relative to the reference epoch, in seconds.
constexpr double kMinReferenceSeconds = -63113904000.0;
constexpr double kMaxReferenceSeconds = 252423993599.0;
} // namespace

double toReferenceSeconds(Timestamp t)
{
    const auto us = t.time_since_epoch().count() - kReferenceEpochOffsetSeconds * 1'000'000;
    // Split into whole seconds and the fraction so the fraction keeps every microsecond.
    const auto whole = us / 1'000'000;
    const auto frac = us % 1'000'000;
    return static_cast<double>(whole) + static_cast<double>(frac) / 1e6;
}

std::optional<Timestamp> fromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds < kMinReferenceSeconds || seconds > kMaxReferenceSeconds)
        return std::nullopt;
    const double whole = std::floor(seconds);
    const auto frac = std::llround((seconds - whole) * 1e6);
    const auto us = (static_cast<std::int64_t>(whole) + kReferenceEpochOffsetSeconds) * 1'000'000 + frac;
    return Timestamp{std::chrono::microseconds{us}};
}

QTimeZone localZone()
{
    // By its id rather than through systemTimeZone(), which on newer Qt (6.8) also prints a warning when
    // the zone is unknown: that case is handled here, and the command line's stderr is for its own messages.
    QTimeZone zone(QTimeZone::systemTimeZoneId());
    return zone.isValid() ? zone : QTimeZone::utc();
}

QDateTime toDateTime(Timestamp t)
{
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(t.time_since_epoch()).count();
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::UTC);
#else
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
#endif
}

QDateTime utcDateTime(QDate date, QTime time)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime(date, time, QTimeZone::UTC);
#else
    return QDateTime(date, time, Qt::UTC);
#endif
}

QDateTime offsetDateTime(QDate date, QTime time, int secondsAheadOfUtc)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime(date, time, QTimeZone::fromSecondsAheadOfUtc(secondsAheadOfUtc));
#else
    return QDateTime(date, time, Qt::OffsetFromUTC, secondsAheadOfUtc);
#endif
}

Timestamp fromDateTime(const QDateTime& dateTime)
{
    return Timestamp{std::chrono::milliseconds{dateTime.toMSecsSinceEpoch()}};
}

double secondsBetween(Timestamp from, Timestamp to)
{
    return static_cast<double>((to - from).count()) / 1e6;
}

} // namespace rubbly
