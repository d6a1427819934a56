// The fixed number format of the value panels: known texts, and a sweep over
// many floats against a second, independent exact rounding done in 128-bit
// integer arithmetic.
#include "FixedFormat.h"
#include "FixedFormatQt.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

struct Example {
    float value;
    int significant;
    int decimals;
    const char* text;
};

TEST(FixedFormat, KnownTexts)
{
    const Example examples[] = {
        {12.5f, 7, 3, "12,500"},
        {-0.25f, 7, 3, "-0,250"},
        {0.5f, 10, 5, "0,50000"},
        {0.0f, 10, 5, "0,00000"},
        {0.0625f, 7, 3, "0,063"},          // an exact half in binary rounds away from zero
        {1.0005f, 7, 3, "1,000"},          // 1.00049996... is below the half
        {123456.789f, 7, 3, "123456,800"}, // seven significant digits, padded to three decimals
        {9999999.0f, 7, 3, "9999999,000"},
        {123456789.0f, 7, 3, "1,234568E8"},
        {100000000.0f, 7, 3, "1E8"},
        {10000000.0f, 7, 3, "1E7"},
        {99999997952.0f, 7, 3, "1E11"}, // rounding carries into a new leading digit
        // The integer-part test applies to the rounded value.
        {999.75f, 3, 1, "1E3"},
        {99.96875f, 3, 2, "100,00"},
        {9999998976.0f, 10, 5, "9999998976,00000"},
        {1e10f, 10, 5, "1E10"},
        {0.999999f, 7, 3, "1,000"},
        {std::numeric_limits<float>::max(), 10, 6, "3,402823466E38"},
        {std::numeric_limits<float>::denorm_min(), 10, 6, "0,000000"},
    };
    for (const auto& e : examples)
        EXPECT_EQ(FormatFixed(e.value, e.significant, e.decimals, ","), e.text)
            << e.value << " with " << e.significant << "/" << e.decimals;
}

TEST(FixedFormat, SignOfZeroInfinityAndNan)
{
    EXPECT_EQ(FormatFixed(-0.0f, 7, 3, ","), "0,000");
    EXPECT_EQ(FormatFixed(-0.0004f, 7, 3, ","), "0,000");
    EXPECT_EQ(FormatFixed(-0.0025f, 7, 3, ","), "-0,002"); // -0.00249999994...
    EXPECT_EQ(FormatFixed(-0.0005f, 7, 3, ","), "-0,001"); // -0.000500000024...
    EXPECT_EQ(FormatFixed(std::nextafter(-0.0005f, 0.0f), 7, 3, ","), "0,000");
    EXPECT_EQ(FormatFixed(-1e-30f, 10, 5, ","), "0,00000");

    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(FormatFixed(inf, 7, 3, ","), "INF");
    EXPECT_EQ(FormatFixed(-inf, 7, 3, ","), "-INF");
    EXPECT_EQ(FormatFixed(nan, 10, 5, ","), "NAN");
    EXPECT_EQ(FormatFixed(std::copysign(nan, -1.0f), 10, 5, ","), "-NAN");
}

TEST(FixedFormat, SeparatorIsUsedAsGiven)
{
    EXPECT_EQ(FormatFixed(12.5f, 7, 3, "."), "12.500");
    EXPECT_EQ(FormatFixed(0.5f, 10, 5, "\xd9\xab"), "0\xd9\xab"
                                                    "50000"); // Arabic separator, two bytes
    EXPECT_EQ(FormatFixed(-2.0f, 7, 0, ","), "-2");           // no separator without decimals

    const QString separator = QLocale::system().decimalPoint();
    EXPECT_EQ(FormatFixedLocale(12.5f, 7, 3), QStringLiteral("12") + separator + QStringLiteral("500"));
    EXPECT_EQ(FormatFixedLocale(1e8f, 7, 3), QStringLiteral("1E8"));
}

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 u128;

u128 Pow10(int n)
{
    u128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

std::string ToText(u128 n)
{
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
        n /= 10;
    } while (n != 0);
    return s;
}

// a / b rounded half away from zero, for non-negative a.
u128 DivideRounded(u128 a, u128 b)
{
    const u128 q = a / b;
    const u128 r = a % b;
    return q + (2 * r >= b ? 1 : 0);
}

std::string Scientific(bool negative, u128 mantissa, int exponent)
{
    std::string digits = ToText(mantissa);
    digits.erase(digits.find_last_not_of('0') + 1);
    std::string s = negative ? "-" : "";
    s += digits[0];
    if (digits.size() > 1)
        s += "," + digits.substr(1);
    return s + "E" + std::to_string(exponent);
}

// The expected text of a finite float for significant digits 7..10 and
// decimals below them: |v| = m * 2^e is rounded with integer division.
std::string Reference(float value, int significant, int decimals)
{
    const bool negative = std::signbit(value);
    int e = 0;
    const float fraction = std::frexp(std::fabs(value), &e);
    const auto m = static_cast<std::uint32_t>(std::ldexp(fraction, 24));
    e -= 24;

    // Integer part and the value times 2^k as an exact fraction.
    const u128 whole = e >= 0 ? u128{m} << e : (e > -64 ? u128{m} >> -e : 0);
    const int n = whole == 0 ? 0 : static_cast<int>(ToText(whole).size());
    if (n > significant) { // an integer here: the float's spacing is at least 1
        const u128 mantissa = DivideRounded(whole, Pow10(n - significant));
        if (mantissa == Pow10(significant))
            return Scientific(negative, mantissa, n);
        return Scientific(negative, mantissa, n - 1);
    }
    const int kept = n == 0 ? decimals : std::min(decimals, significant - n);
    u128 scaled; // |v| * 10^kept, rounded
    if (e >= 0)
        scaled = whole * Pow10(kept);
    else if (-e >= 100)
        scaled = 0;
    else
        scaled = DivideRounded(u128{m} * Pow10(kept), u128{1} << -e);
    const u128 integer = scaled / Pow10(kept);
    if (integer != 0 && static_cast<int>(ToText(integer).size()) > significant)
        return Scientific(negative, integer, static_cast<int>(ToText(integer).size()) - 1);
    std::string s = negative && scaled != 0 ? "-" : "";
    s += ToText(integer);
    if (decimals > 0) {
        std::string frac = kept > 0 ? ToText(scaled % Pow10(kept)) : "";
        frac.insert(0, static_cast<std::size_t>(kept) - frac.size(), '0');
        frac.append(static_cast<std::size_t>(decimals - kept), '0');
        s += "," + frac;
    }
    return s;
}

std::vector<float> SampleFloats()
{
    std::vector<float> values;
    std::mt19937_64 random(20261208);
    // Any bit pattern.
    for (int i = 0; i < 100000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    // Magnitudes where the fixed form and its rounding matter, spread evenly
    // over the decades from 1e-8 to 1e12.
    std::uniform_real_distribution<double> decade(-8.0, 12.0);
    for (int i = 0; i < 100000; ++i) {
        const auto v = static_cast<float>(std::pow(10.0, decade(random)));
        values.push_back(i % 2 == 0 ? v : -v);
    }
    // Around rounding boundaries at d decimals: exact binary halves (the odd
    // multiples of 2^-(d+1)), decimal near-halves x.xx5 that are not exact,
    // and the powers of ten; each with its neighbours on both sides.
    std::uniform_int_distribution<std::uint32_t> odd(0, (1u << 23) - 1);
    std::vector<float> centres;
    for (int d = 0; d <= 6; ++d)
        for (int i = 0; i < 2000; ++i) {
            centres.push_back(std::ldexp(static_cast<float>(2 * odd(random) + 1), -(d + 1)));
            const double near_half = static_cast<double>(random() % 100000000) + 0.5;
            centres.push_back(static_cast<float>(near_half * std::pow(10.0, -d)));
        }
    for (int p = -45; p <= 38; ++p)
        centres.push_back(static_cast<float>(std::pow(10.0, p)));
    for (const float centre : centres) {
        float below = centre;
        float above = centre;
        for (int step = 0; step < 3; ++step) {
            values.push_back(below);
            values.push_back(-above);
            below = std::nextafter(below, 0.0f);
            above = std::nextafter(above, 1e38f);
        }
    }
    return values;
}

TEST(FixedFormat, AgreesWithIntegerRoundingOverManyFloats)
{
    const std::vector<float> values = SampleFloats();
    const std::pair<int, int> formats[] = {{7, 3}, {10, 5}, {10, 6}};
    int mismatches = 0;
    for (const auto& [significant, decimals] : formats) {
        for (const float v : values) {
            if (!std::isfinite(v))
                continue;
            const std::string expected = Reference(v, significant, decimals);
            const std::string actual = FormatFixed(v, significant, decimals, ",");
            if (actual != expected && ++mismatches <= 20)
                ADD_FAILURE() << std::hexfloat << v << std::defaultfloat << " (" << v << ") with " << significant << "/"
                              << decimals << ": got " << actual << ", expected " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}
#endif

} // namespace
