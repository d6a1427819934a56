#include "Clock.h"

namespace {
const QDateTime& Epoch()
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch;
}
} // namespace

double ToDateTimeNumber(const QDateTime& t)
{
    // Whole days from the calendar, the time of day as the fraction, both in
    // local time, so that a clock change does not shift earlier points.
    const qint64 days = Epoch().date().daysTo(t.date());
    const double fraction = t.time().msecsSinceStartOfDay() / 86400000.0;
    return static_cast<double>(days) + fraction;
}
