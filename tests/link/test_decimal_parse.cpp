// Reading back numbers typed in the regional notation of the fixed format:
// accepted and refused texts with either separator, and a sweep of random
// texts against the C library's own conversion.
#include "DecimalParse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace {

TEST(DecimalParse, AcceptedTextsGiveTheNearestFloat)
{
    struct Accepted {
        const char* separator;
        const char* text;
        float value;
    };
    const float max = std::numeric_limits<float>::max();
    // clang-format off
    const Accepted cases[] = {
        {",", "2,000000", 2.0f}, {",", "  -1,5  ", -1.5f}, {",", "\t7\t", 7.0f}, {",", "+3", 3.0f},
        {",", "1,234568E8", 123456800.0f}, {",", "1e-3", 0.001f}, {",", "1E+2", 100.0f}, {",", "-2,5e-1", -0.25f},
        {",", ",5", 0.5f}, {",", "5,", 5.0f}, {",", "0,1", 0.1f}, {".", "1.5", 1.5f}, {".", " -0.000001 ", -1e-6f},
        {"\xD9\xAB", "1\xD9\xAB" "5", 1.5f}, // a separator of more than one byte
        // Ties go to the even neighbour; the edges of the range.
        {",", "16777217", 16777216.0f}, {",", "16777219", 16777220.0f}, {",", "3,402823466E38", max},
        {",", "-3,4028235677E38", -max}, {",", "1,4e-45", std::numeric_limits<float>::denorm_min()},
        {",", "1e0000000000000000000001", 10.0f},
        {",", "0,00000000000000000000000000000000000000000000000000000000000001e100", 1e38f},
        // Below the smallest float: a zero of the number's sign.
        {",", "1e-50", 0.0f}, {",", "-7e-46", -0.0f}, {",", "-1e-99999999999999999999", -0.0f},
        {",", "0,000000000000000000000000000000000000000000000000000000000000001e10", 0.0f}};
    // clang-format on
    for (const Accepted& c : cases) {
        float value = -12345.0f;
        ASSERT_TRUE(ParseDecimalFloat(c.text, c.separator, value)) << '"' << c.text << '"';
        EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(c.value))
            << '"' << c.text << "\" gave " << value;
    }
}

TEST(DecimalParse, RefusedTextsLeaveTheValueAlone)
{
    struct Refused {
        const char* separator;
        const char* text;
    };
    // Other notation, thousands separators of either kind, incomplete or
    // foreign forms, and numbers beyond the largest float.
    // clang-format off
    const Refused cases[] = {
        {",", ""}, {",", "   "}, {",", "abc"}, {",", "1.5"}, {",", "1 000"}, {",", "1\xC2\xA0" "000"},
        {",", "1,000,5"}, {",", ","}, {",", "-"}, {",", "+-1"}, {",", "--1"}, {",", "1e"}, {",", "1e+"},
        {",", "e5"}, {",", "1,5x"}, {",", "1e5,5"}, {",", "1 e5"}, {",", "INF"}, {",", "NAN"}, {",", "0x10"},
        {",", "\xEF\xBC\x91"}, {",", "1e39"}, {",", "-1e39"}, {",", "3,40282357E38"},
        {",", "1e99999999999999999999"}, {",", "100000000000000000000000000000000000000000"}, {".", "1,5"},
        {".", "1,000.5"}};
    // clang-format on
    for (const Refused& c : cases) {
        float value = 42.0f;
        EXPECT_FALSE(ParseDecimalFloat(c.text, c.separator, value)) << '"' << c.text << '"';
        EXPECT_EQ(value, 42.0f) << '"' << c.text << '"';
    }
}

// Random decimal texts, read with "," and compared with the C library's
// conversion of the same text written with ".".
TEST(DecimalParse, AgreesWithTheCLibraryOnRandomTexts)
{
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
    std::mt19937 random(52);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_int_distribution<int> exponent(-60, 60);
    int overflows = 0;
    int underflows = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string digits;
        const int n = length(random);
        for (int k = 0; k < n; ++k)
            digits += static_cast<char>('0' + digit(random));
        const auto point = static_cast<std::size_t>(std::uniform_int_distribution<int>(0, n)(random));
        std::string with_comma = digits;
        with_comma.insert(point, ",");
        std::string with_point = digits;
        with_point.insert(point, ".");
        const std::string tail = "e" + std::to_string(exponent(random));
        with_comma = (i % 2 ? "-" : "") + with_comma + tail;
        with_point = (i % 2 ? "-" : "") + with_point + tail;

        errno = 0;
        const float expected = std::strtof(with_point.c_str(), nullptr);
        const bool too_large = std::isinf(expected);
        overflows += too_large ? 1 : 0;
        underflows += expected == 0.0f && digits.find_first_not_of('0') != std::string::npos ? 1 : 0;
        float value = 0.0f;
        const bool accepted = ParseDecimalFloat(with_comma, ",", value);
        ASSERT_EQ(accepted, !too_large) << with_comma;
        if (accepted) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(expected)) << with_comma;
        }
    }
    // The sweep reached both ends of the range.
    EXPECT_GT(overflows, 100);
    EXPECT_GT(underflows, 100);
}

TEST(ParseInt32, AcceptsSignedDecimalsWithinRangeOnly)
{
    std::int32_t v = 7;
    EXPECT_TRUE(ParseInt32("2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_FALSE(ParseInt32("2147483648", v));
    EXPECT_FALSE(ParseInt32("-2147483649", v));
    EXPECT_FALSE(ParseInt32("-", v));
    EXPECT_FALSE(ParseInt32("0x10", v));
    EXPECT_FALSE(ParseInt32("1 2", v));
    EXPECT_EQ(v, INT32_MAX) << "a failed parse leaves the value alone";
}

} // namespace
