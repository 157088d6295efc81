#include "Formatting.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace rubbly {

int progressPercent(double fraction)
{
    if (!std::isfinite(fraction))
        return 0;
    return static_cast<int>(std::trunc(std::clamp(fraction, 0.0, 1.0) * 100.0));
}

QString formatBytesCompact(qint64 bytes)
{
    constexpr double kKiB = 1024.0;
    constexpr double kMiB = kKiB * 1024.0;
    constexpr double kGiB = kMiB * 1024.0;
    constexpr double kTiB = kGiB * 1024.0;
    const double n = static_cast<double>(bytes);
    if (bytes < 1)
        return QStringLiteral("0B");
    if (n >= kTiB)
        return QString::asprintf("%.1fT", n / kTiB);
    if (n >= kGiB)
        return QString::asprintf("%.1fG", n / kGiB);
    if (n >= kMiB)
        return QString::asprintf("%.1fM", n / kMiB);
    if (n >= kKiB)
        return QString::asprintf("%.0fK", n / kKiB);
    return QString::number(bytes) + QLatin1Char('B');
}

QString ByteCountFormatter::format(qint64 bytes) const
{
    struct Unit {
        const char* name;
        int decimals;
    };
    static constexpr std::array<Unit, 5> kUnits{{{"B", 0}, {"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}}};

    const bool negative = bytes < 0;
    // Work on the magnitude in double: -2^63 has no positive counterpart in qint64.
    double value = std::fabs(static_cast<double>(bytes));
    std::size_t unit = 0;
    while (unit + 1 < kUnits.size() && value >= 1024.0) {
        value /= 1024.0;
        ++unit;
    }
    // Rounding may reach the next unit (1023.7 KB shows as "1 MB", not "1024 KB").
    const double scale = std::pow(10.0, kUnits[unit].decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded >= 1024.0 && unit + 1 < kUnits.size()) {
        ++unit;
        rounded = std::round(rounded / 1024.0 * std::pow(10.0, kUnits[unit].decimals)) /
                  std::pow(10.0, kUnits[unit].decimals);
    }
    QString number = QString::number(rounded, 'f', kUnits[unit].decimals);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    if (negative && rounded != 0.0)
        number.prepend(QLatin1Char('-'));
    return number + QLatin1Char(' ') + QLatin1String(kUnits[unit].name);
}

const ByteCountFormatter& sharedByteCountFormatter()
{
    static const ByteCountFormatter formatter;
    return formatter;
}

namespace {

QDateTime inZone(Timestamp t, const QTimeZone& zone)
{
    return toDateTime(t).toTimeZone(zone);
}

} // namespace

QString formatRelativeTime(Timestamp date, Timestamp now, const QTimeZone& zone)
{
    if (now - date < std::chrono::seconds(60))
        return QCoreApplication::translate("Formatting", "now", "within a minute");
    const QDateTime local = inZone(date, zone);
    const QDate today = inZone(now, zone).date();
    const QString clock = local.toString(QStringLiteral("HH:mm"));
    if (local.date() == today)
        return QCoreApplication::translate("Formatting", "today %1").arg(clock);
    if (local.date() == today.addDays(-1))
        return QCoreApplication::translate("Formatting", "yesterday %1").arg(clock);
    // Month names, where a pattern has them, in English: the other language writes its months as numbers.
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(local, QCoreApplication::translate("Formatting", "MMM d", "date pattern of an older day")) +
           QLatin1Char(' ') + clock;
}

QString formatTimeAgo(Timestamp date, Timestamp now, const QTimeZone& zone)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - date).count();
    if (seconds < 60)
        return QCoreApplication::translate("Formatting", "now", "within a minute");
    if (seconds < 3600)
        return QCoreApplication::translate("Formatting", "%1m ago").arg(std::max<qint64>(seconds / 60, 1));
    if (seconds < 86400)
        return QCoreApplication::translate("Formatting", "%1h ago").arg(std::max<qint64>(seconds / 3600, 1));
    if (seconds < 2592000)
        return QCoreApplication::translate("Formatting", "%1d ago").arg(std::max<qint64>(seconds / 86400, 1));
    // English writes the full year first: "26/01/21" would read as the 26th of January 2021.
    return inZone(date, zone)
        .toString(QCoreApplication::translate("Formatting", "yyyy-MM-dd", "date pattern of a day over 30 days ago"));
}

QString spokenToday(Timestamp now, const QTimeZone& zone)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QCoreApplication::translate("Formatting", "Today, %1")
        .arg(english.toString(inZone(now, zone).date(),
                              QCoreApplication::translate("Formatting", "MMMM d", "date pattern of today, spoken")));
}

QString formatTodayStamp(Timestamp now, const QTimeZone& zone)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(inZone(now, zone), QStringLiteral("MMM d")).toUpper();
}

QString displayedPath(const QByteArray& path, QByteArray home)
{
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    // "/" as the home would turn every path into "~…"; such a home is shown as it is.
    const bool belowHome =
        home.size() > 1 && path.startsWith(home) && (path.size() == home.size() || path.at(home.size()) == '/');
    const QString text = belowHome ? u'~' + QFile::decodeName(path.mid(home.size())) : QFile::decodeName(path);
    constexpr QChar kWordJoiner(0x2060);
    QString shown;
    shown.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        shown.append(c);
        if (i + 1 < text.size() && c != u'/' && !c.isHighSurrogate())
            shown.append(kWordJoiner);
    }
    return shown;
}

} // namespace rubbly
