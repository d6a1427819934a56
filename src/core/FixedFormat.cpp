#include "FixedFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// An unsigned integer of any size as base-10^9 limbs, least significant first.
using Limbs = std::vector<std::uint32_t>;
constexpr std::uint32_t kLimbBase = 1000000000u;

void MultiplySmall(Limbs& number, std::uint32_t factor)
{
    std::uint64_t carry = 0;
    for (auto& limb : number) {
        const std::uint64_t product = std::uint64_t{limb} * factor + carry;
        limb = static_cast<std::uint32_t>(product % kLimbBase);
        carry = product / kLimbBase;
    }
    while (carry != 0) {
        number.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
        carry /= kLimbBase;
    }
}

std::string ToDecimalText(const Limbs& number)
{
    std::string text = std::to_string(number.back());
    for (auto it = number.rbegin() + 1; it != number.rend(); ++it) {
        const std::string part = std::to_string(*it);
        text.append(9 - part.size(), '0');
        text += part;
    }
    return text;
}

// A positive number as value = 0.digits x 10^point, `digits` without leading
// or trailing zeros; zero has no digits.
struct Decimal {
    std::string digits;
    int point = 0;
};

Decimal TrimmedDecimal(std::string digits, int point)
{
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {};
    digits.erase(0, first);
    point -= static_cast<int>(first);
    digits.erase(digits.find_last_not_of('0') + 1);
    return {digits, point};
}

// The exact decimal expansion of a finite non-negative double. Every double is
// M x 2^E with an integer M; for E < 0 that is M x 5^-E / 10^-E, so the digits
// are those of the integer M x 5^-E with the point moved -E places.
Decimal ExactDecimal(double magnitude)
{
    if (magnitude == 0.0)
        return {};
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    while ((mantissa & 1u) == 0 && exponent < 0) {
        mantissa >>= 1;
        ++exponent;
    }

    Limbs number;
    for (std::uint64_t rest = mantissa; rest != 0; rest /= kLimbBase)
        number.push_back(static_cast<std::uint32_t>(rest % kLimbBase));

    if (exponent >= 0) {
        for (int left = exponent; left > 0; left -= 31)
            MultiplySmall(number, std::uint32_t{1} << std::min(left, 31));
        const std::string text = ToDecimalText(number);
        return TrimmedDecimal(text, static_cast<int>(text.size()));
    }
    static constexpr std::uint32_t kPowersOf5[] = {1,     5,      25,      125,     625,      3125,      15625,
                                                   78125, 390625, 1953125, 9765625, 48828125, 244140625, 1220703125};
    for (int left = -exponent; left > 0; left -= 13)
        MultiplySmall(number, kPowersOf5[std::min(left, 13)]);
    const std::string text = ToDecimalText(number);
    return TrimmedDecimal(text, static_cast<int>(text.size()) + exponent);
}

// Keeps the first `keep` digits, rounding half away from zero. Since the
// digits are exact, the remainder is at least one half exactly when the first
// dropped digit is 5 or more.
Decimal RoundToDigits(Decimal number, int keep)
{
    if (keep < 0 || number.digits.empty())
        return {};
    if (static_cast<std::size_t>(keep) >= number.digits.size())
        return number;
    const bool up = number.digits[static_cast<std::size_t>(keep)] >= '5';
    number.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        auto i = number.digits.size();
        while (i > 0 && number.digits[i - 1] == '9') {
            number.digits[i - 1] = '0';
            --i;
        }
        if (i == 0) {
            number.digits.insert(number.digits.begin(), '1');
            ++number.point;
        } else {
            ++number.digits[i - 1];
        }
    }
    return TrimmedDecimal(number.digits, number.point);
}

char DigitAt(const Decimal& number, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= number.digits.size())
        return '0';
    return number.digits[static_cast<std::size_t>(index)];
}

} // namespace

std::string FormatFixed(float value, int significant_digits, int decimals, const std::string& decimal_separator)
{
    significant_digits = std::max(significant_digits, 1);
    decimals = std::max(decimals, 0);
    const bool negative = std::signbit(value);
    if (std::isnan(value))
        return negative ? "-NAN" : "NAN";
    if (std::isinf(value))
        return negative ? "-INF" : "INF";

    const double magnitude = std::fabs(static_cast<double>(value));
    Decimal rounded;
    // A value below a tenth of the last decimal's unit rounds to zero; it
    // needs no expansion of its up to 150 digits.
    if (magnitude >= std::pow(10.0, -(decimals + 1))) {
        const Decimal exact = ExactDecimal(magnitude);
        // Decimals kept: the fewer of `decimals` and what the significant
        // digits leave after the leading digit's position.
        const int kept_decimals = std::min(decimals, significant_digits - exact.point);
        rounded = RoundToDigits(exact, exact.point + kept_decimals);
    }

    std::string text;
    if (negative && !rounded.digits.empty())
        text = "-";

    if (rounded.point > significant_digits) {
        text += rounded.digits[0];
        if (rounded.digits.size() > 1) {
            text += decimal_separator;
            text.append(rounded.digits, 1);
        }
        text += 'E';
        text += std::to_string(rounded.point - 1);
        return text;
    }

    if (rounded.point <= 0)
        text += '0';
    for (int i = 0; i < rounded.point; ++i)
        text += DigitAt(rounded, i);
    if (decimals > 0) {
        text += decimal_separator;
        for (int i = 0; i < decimals; ++i)
            text += DigitAt(rounded, rounded.point + i);
    }
    return text;
}
