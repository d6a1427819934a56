// The chart's axes as plain functions: time ticks and their labels against
// the calendar, value ticks, and the layout's room for plot and legend.
#include "AxisLayout.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// The calendar's own reading of a date-time number, rounded to the
// millisecond, as an independent check of the labels.
QDateTime Calendar(double x)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch.addMSecs(static_cast<qint64>(std::llround(x * 86400000.0)));
}

} // namespace

TEST(ChartAxes, TimeTicksAreOrderedInRangeAndLabelledAsTheCalendarReadsThem)
{
    struct Case {
        const char* name;
        double x0, x1;
        int max_ticks;
        const char* format; // the label the step calls for, in QDateTime terms
    };
    const double day = 46000; // a date-time number at midnight
    const Case cases[] = {
        {"milliseconds", day + 0.5, day + 0.5 + 0.05 * kSecond, 8, "hh:mm:ss.zzz"},
        {"seconds", day + 0.25, day + 0.25 + 40 * kSecond, 8, "hh:mm:ss"},
        {"seconds across midnight", day - 20 * kSecond, day + 20 * kSecond, 8, "hh:mm:ss"},
        {"minutes across midnight", day - 0.01, day + 0.01, 6, "hh:mm:ss"},
        {"hours within a day", day + 0.1, day + 0.9, 8, "hh:mm:ss"},
        {"hours across midnight", day - 0.3, day + 0.3, 8, "dd.MM. hh:mm"},
        {"hours across two midnights", day - 0.6, day + 1.4, 10, "dd.MM. hh:mm"},
        {"days", day, day + 30, 8, "dd.MM.yyyy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TimeAxis axis = TimeTicks(c.x0, c.x1, c.max_ticks);
        ASSERT_FALSE(axis.ticks.empty());
        EXPECT_LE(static_cast<int>(axis.ticks.size()), c.max_ticks + 1);
        for (std::size_t i = 0; i < axis.ticks.size(); ++i) {
            const double v = axis.ticks[i];
            EXPECT_GE(v, c.x0);
            EXPECT_LE(v, c.x1);
            if (i > 0) {
                EXPECT_GT(v, axis.ticks[i - 1]);
            }
            EXPECT_EQ(TimeLabel(v, axis), Calendar(v).toString(QString::fromLatin1(c.format))) << "tick " << i;
        }
    }
}

TEST(ChartAxes, ValueTicksStayOrderedAndLabelsTellThemApart)
{
    struct Case {
        double y0, y1;
        int max_ticks;
    };
    const Case cases[] = {
        {0, 100, 5},      {-7.3, 12.1, 6},   {0.001, 0.0012, 4}, {1e10, 1e10 + 0.01, 5},
        {-1e12, 3e12, 5}, {1e-12, 3e-12, 4}, {-5, -4.99, 3},     {-1e307, 1e307, 6},
    };
    const QLocale locale = QLocale::c();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y0 << ".." << c.y1);
        const ValueAxis axis = ValueTicks(c.y0, c.y1, c.max_ticks);
        ASSERT_GE(axis.ticks.size(), 1u);
        EXPECT_LE(static_cast<int>(axis.ticks.size()), 2 * c.max_ticks + 1);
        for (std::size_t i = 0; i < axis.ticks.size(); ++i) {
            EXPECT_GE(axis.ticks[i], c.y0);
            EXPECT_LE(axis.ticks[i], c.y1);
            if (i > 0) {
                EXPECT_GT(axis.ticks[i], axis.ticks[i - 1]);
                EXPECT_NE(ValueLabel(axis.ticks[i], axis, locale), ValueLabel(axis.ticks[i - 1], axis, locale));
            }
        }
    }
}
