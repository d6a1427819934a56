#include "DecimalParse.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Takes the digits at the front of `text`; gives how many there were.
std::size_t TakeDigits(std::string_view& text, std::string& out)
{
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n]))
        ++n;
    out.append(text.substr(0, n));
    text.remove_prefix(n);
    return n;
}

} // namespace

bool ParseDecimalFloat(std::string_view text, std::string_view separator, float& value)
{
    text = Trimmed(text);
    // The number is rewritten in the plain notation the standard conversion
    // reads ("-123.45e6"), which does not depend on the process's locale.
    std::string plain;
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (negative)
        plain += '-';

    const std::size_t int_start = plain.size();
    const std::size_t int_digits = TakeDigits(text, plain);
    const std::size_t int_end = plain.size();
    std::size_t frac_digits = 0;
    if (!separator.empty() && text.starts_with(separator)) {
        text.remove_prefix(separator.size());
        plain += '.';
        frac_digits = TakeDigits(text, plain);
    }
    if (int_digits + frac_digits == 0)
        return false;

    // Saturated at a bound far beyond any float, so that no count overflows.
    constexpr long long kExponentBound = 1000000000;
    long long exponent = 0;
    if (!text.empty() && (text.front() == 'E' || text.front() == 'e')) {
        text.remove_prefix(1);
        plain += 'e';
        bool exponent_negative = false;
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            exponent_negative = text.front() == '-';
            if (exponent_negative)
                plain += '-';
            text.remove_prefix(1);
        }
        std::string exponent_digits;
        if (TakeDigits(text, exponent_digits) == 0)
            return false;
        for (char c : exponent_digits)
            exponent = std::min(exponent * 10 + (c - '0'), kExponentBound);
        plain += exponent_digits;
        if (exponent_negative)
            exponent = -exponent;
    }
    if (!text.empty())
        return false;

    float result = 0.0f;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), result);
    if (error == std::errc() && end == plain.data() + plain.size()) {
        value = result;
        return true;
    }
    if (error != std::errc::result_out_of_range)
        return false;
    // Out of range either way: beyond the largest float is an error, below
    // the smallest one rounds to zero. The decimal order of the number, the
    // place of its first significant digit relative to the separator, tells
    // which.
    std::string digits(plain.data() + int_start, int_end - int_start);
    if (frac_digits > 0)
        digits.append(plain, int_end + 1, frac_digits);
    const std::size_t first_significant = digits.find_first_not_of('0');
    if (first_significant == std::string::npos) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    const long long order = static_cast<long long>(int_digits) - static_cast<long long>(first_significant) + exponent;
    if (order > 0)
        return false;
    value = negative ? -0.0f : 0.0f;
    return true;
}

bool ParseInt32(const std::string& text, std::int32_t& value)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    if (begin == end)
        return false;
    std::size_t i = begin;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        return false;
    std::int64_t magnitude = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return false;
    }
    const std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > std::numeric_limits<std::int32_t>::max() ||
        signed_value < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
}
