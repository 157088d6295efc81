#pragma once

#include "Timestamp.h"

#include <QTimeZone>

namespace rubbly::test {

// A fixed zone with summer time, so day arithmetic across the change is exercised.
inline const QTimeZone kTestZone("Europe/Berlin");

// A wall-clock time in `zone`.
inline Timestamp localTime(int y, int mo, int d, int h, int mi, int s = 0, const QTimeZone& zone = kTestZone)
{
    return fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s), zone));
}

} // namespace rubbly::test
