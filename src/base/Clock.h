#pragma once
#include <QDateTime>
#include <functional>

// The wall clock as the measurement cycle sees it. The program uses the local
// time; tests replace it to step time second by second without sleeping.
using ClockFunction = std::function<QDateTime()>;
inline QDateTime SystemNow()
{
    return QDateTime::currentDateTime();
}

// Date-time number of the chart: days since 30 December 1899 00:00 with the
// time of day as the fraction.
double ToDateTimeNumber(const QDateTime& t);
