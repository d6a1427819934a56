// The number conversions of the entry fields and the fixed format of the
// value panels and the parameters dialog.
//
// Input: a selector byte, then either the text of an entry field or a float's
// bit pattern.
#include "DecimalParse.h"
#include "FixedFormat.h"
#include "FuzzInput.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// The integer entry fields and the conversion each one's check uses. Add a
// field here when its dialog gets an integer check of its own; the properties
// below then hold for it too.
struct IntegerField {
    const char* field;
    bool (*parse)(const std::string& text, std::int32_t& value);
};
constexpr IntegerField kIntegerFields[] = {
    {"ed_zaznam (recording period)", &ParseInt32},
    {"ed_poc_mer (chart points kept)", &ParseInt32},
    {"address change dialog (CheckAddress)", &ParseInt32},
};

// The float entry fields (the parameters dialog's numbers), likewise.
struct FloatField {
    const char* field;
    bool (*parse)(const std::string& text, float& value);
};
// The parameters dialog reads its four numbers with the regional separator.
constexpr FloatField kFloatFields[] = {
    {"parameters dialog, decimal comma",
     [](const std::string& text, float& value) { return ParseDecimalFloat(text, ",", value); }},
    {"parameters dialog, decimal point",
     [](const std::string& text, float& value) { return ParseDecimalFloat(text, ".", value); }},
};

// The digit and decimal pairs the program formats with: the measured value,
// the sum, the parameters dialog.
constexpr int kFormats[][2] = {{7, 3}, {10, 5}, {10, 6}};

// ParseInt32's rule, written plainly: blanks around, optional sign, decimal
// digits, within the 32-bit range.
bool ReferenceInt(const std::string& text, std::int32_t& value)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const auto last = text.find_last_not_of(" \t");
    std::string t = text.substr(first, last - first + 1);
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        t.erase(0, 1);
    }
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos)
        return false;
    t.erase(0, std::min(t.find_first_not_of('0'), t.size() - 1));
    if (t.size() > 10)
        return false;
    const long long magnitude = std::stoll(t);
    const long long v = negative ? -magnitude : magnitude;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

void CheckIntegerFields(const std::string& text)
{
    for (const IntegerField& f : kIntegerFields) {
        std::int32_t value = 12345;
        const bool ok = f.parse(text, value);
        if (!ok) {
            FUZZ_CHECK(value == 12345); // a refused text leaves the value alone
        } else {
            // An accepted value reads back from its own decimal text.
            std::int32_t again = 0;
            FUZZ_CHECK(f.parse(std::to_string(value), again) && again == value);
        }
        if (f.parse == &ParseInt32) {
            std::int32_t expected = 0;
            FUZZ_CHECK(ok == ReferenceInt(text, expected));
            if (ok)
                FUZZ_CHECK(value == expected);
        }
    }
}

void CheckFloatFields(const std::string& text)
{
    for (const FloatField& f : kFloatFields) {
        float value = 12345.0f;
        if (f.parse(text, value))
            FUZZ_CHECK(std::isfinite(value)); // beyond the float range is refused
        else
            FUZZ_CHECK(value == 12345.0f); // a refused text leaves the value alone
    }
}

bool AllDigits(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

void CheckFixed(float value, int digits, int decimals, const std::string& separator)
{
    const std::string text = FormatFixed(value, digits, decimals, separator);
    const bool sign = std::signbit(value);
    if (std::isnan(value)) {
        FUZZ_CHECK(text == (sign ? "-NAN" : "NAN"));
        return;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK(text == (sign ? "-INF" : "INF"));
        return;
    }
    FUZZ_CHECK(!text.empty());
    const bool minus = text[0] == '-';
    std::string body = minus ? text.substr(1) : text;
    const double x = static_cast<double>(value);
    if (minus)
        FUZZ_CHECK(x < 0);

    std::string mantissa = body;
    std::string exponent;
    if (const auto e = body.find('E'); e != std::string::npos) {
        mantissa = body.substr(0, e);
        exponent = body.substr(e + 1);
    }
    std::string whole = mantissa;
    std::string fraction;
    if (const auto s = mantissa.find(separator); s != std::string::npos) {
        whole = mantissa.substr(0, s);
        fraction = mantissa.substr(s + separator.size());
        FUZZ_CHECK(AllDigits(fraction));
    }
    FUZZ_CHECK(AllDigits(whole));
    const double shown =
        std::strtod((whole + "." + (fraction.empty() ? "0" : fraction)).c_str(), nullptr) * (minus ? -1.0 : 1.0);

    if (exponent.empty()) {
        // Fixed form: no needless leading zero, exactly `decimals` decimals,
        // the integer part within the digit limit, and the value within half
        // a unit of the last kept digit.
        FUZZ_CHECK(whole.size() == 1 || whole[0] != '0');
        FUZZ_CHECK(static_cast<int>(fraction.size()) == decimals);
        FUZZ_CHECK(static_cast<int>(whole.size()) <= digits);
        if (minus)
            FUZZ_CHECK(shown != 0.0); // never "-0,000"
        const int kept = whole == "0" ? decimals : std::min(decimals, digits - static_cast<int>(whole.size()));
        const double half_unit = 0.5 * std::pow(10.0, -kept);
        FUZZ_CHECK(std::fabs(shown - x) <= half_unit * (1 + 1e-9) + std::fabs(x) * 1e-15);
    } else {
        // Scientific form: one digit before the separator, no trailing zeros,
        // an exponent without "+" or leading zeros, used only when the integer
        // part would need more digits than allowed.
        FUZZ_CHECK(whole.size() == 1 && whole != "0");
        FUZZ_CHECK(fraction.empty() || fraction.back() != '0');
        FUZZ_CHECK(static_cast<int>(1 + fraction.size()) <= digits);
        FUZZ_CHECK(AllDigits(exponent) && exponent[0] != '0');
        const int e = std::atoi(exponent.c_str());
        FUZZ_CHECK(e >= digits);
        const double scaled = shown * std::pow(10.0, e);
        const double half_unit = 0.5 * std::pow(10.0, e - (digits - 1));
        FUZZ_CHECK(std::fabs(scaled - x) <= half_unit * (1 + 1e-9));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t selector = in.Byte();
    if ((selector & 1) == 0) {
        const std::string text = in.RestText();
        CheckIntegerFields(text);
        CheckFloatFields(text);
        return 0;
    }
    const float value = FloatFromBits(in.U32());
    const std::string separator = (selector & 2) != 0 ? "." : ",";
    for (const auto& f : kFormats)
        CheckFixed(value, f[0], f[1], separator);
    return 0;
}
