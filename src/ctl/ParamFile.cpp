#include "ParamFile.h"

#include "CtlCommandLine.h"
#include "DecimalParse.h"
#include "DeviceTables.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The six CONFIG options: the key, the bit, the words for 0 and 1, and what
// the option means (the comment of the backup file).
struct ConfigOption {
    const char* key;
    std::uint8_t mask;
    const char* word0;
    const char* word1;
    const char* meaning;
};

constexpr std::array<ConfigOption, 6> kConfigOptions = {{
    {"AIN", 0x20, "0-20mA", "4-20mA", "vstupní signál 0..20 mA / 4..20 mA"},
    {"IN_FUNKCE", 0x10, "linearni", "odmocneny", "lineární / odmocněný vstupní signál"},
    {"INTEGRACE", 0x08, "minuta", "hodina", "integrované množství za 1 minutu / za 1 hodinu"},
    {"OUT1", 0x04, "prekroceni", "nedosazeni", "výstup OUT 1 sepnutý při překročení / při nedosažení"},
    {"OUT2", 0x02, "trvale", "casove", "výstup OUT 2: trvalé / časově omezené sepnutí při překročení"},
    {"AOUT", 0x01, "0-20mA", "4-20mA", "analogový výstup 0..20 mA / 4..20 mA"},
}};

enum class Field { Scale, Dp, Filtr, SpAla, Hyster, SpSum };

struct NamedField {
    const char* key;
    Field field;
    const char* meaning;
};

constexpr std::array<NamedField, 6> kFields = {{
    {"SCALE", Field::Scale, "koeficient stupnice"},
    {"DP", Field::Dp, "desetinná tečka: počet desetinných míst na displeji, 0..5"},
    {"FILTR", Field::Filtr, "vstupní filtr: 0 bez filtru, 1 s filtrem"},
    {"SP_ALA", Field::SpAla, "limita alarmu OUT 1"},
    {"HYSTER", Field::Hyster, "hystereze limity OUT 1"},
    {"SP_SUM", Field::SpSum, "limita alarmu OUT 2 (suma)"},
}};

constexpr std::size_t kKeyCount = kFields.size() + kConfigOptions.size();

// The float field `f` names, nullptr for DP and FILTR.
template <typename Params> auto FloatOf(Params& p, Field f) -> decltype(&p.scale)
{
    switch (f) {
    case Field::Scale:
        return &p.scale;
    case Field::SpAla:
        return &p.sp_ala;
    case Field::Hyster:
        return &p.hyster;
    case Field::SpSum:
        return &p.sp_sum;
    default:
        return nullptr;
    }
}

std::string FieldText(const DeviceParams& p, Field f)
{
    switch (f) {
    case Field::Dp:
        return std::to_string(p.dp);
    case Field::Filtr:
        return std::to_string(p.filtr);
    default:
        return FloatText(*FloatOf(p, f));
    }
}

std::string OptionText(const DeviceParams& p, const ConfigOption& o)
{
    return (p.config & o.mask) != 0 ? o.word1 : o.word0;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::uint32_t Bits(float v)
{
    std::uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

} // namespace

std::string FloatText(float value)
{
    char buffer[48];
    for (int precision = 6; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(value));
        float back = 0.0f;
        if (ParseDecimalFloat(buffer, ".", back) && Bits(back) == Bits(value))
            break;
    }
    return buffer;
}

DeviceParams ParamsFromTables()
{
    DeviceParams p;
    p.scale = SCALE;
    p.sp_ala = SP_ALA;
    p.hyster = HYSTER;
    p.sp_sum = SP_SUM;
    p.dp = DP;
    p.config = CONFIG;
    p.filtr = FILTR;
    return p;
}

void ParamsToTables(const DeviceParams& p)
{
    SCALE = p.scale;
    SP_ALA = p.sp_ala;
    HYSTER = p.hyster;
    SP_SUM = p.sp_sum;
    DP = p.dp;
    CONFIG = p.config;
    FILTR = p.filtr;
}

bool SameParams(const DeviceParams& a, const DeviceParams& b)
{
    return Bits(a.scale) == Bits(b.scale) && Bits(a.sp_ala) == Bits(b.sp_ala) && Bits(a.hyster) == Bits(b.hyster) &&
           Bits(a.sp_sum) == Bits(b.sp_sum) && a.dp == b.dp && a.config == b.config && a.filtr == b.filtr;
}

std::string FormatParamLines(const DeviceParams& p)
{
    std::string out;
    for (const NamedField& f : kFields)
        out += std::string(f.key) + " = " + FieldText(p, f.field) + "\n";
    for (const ConfigOption& o : kConfigOptions)
        out += std::string(o.key) + " = " + OptionText(p, o) + "\n";
    return out;
}

std::string FormatParamFile(const DeviceParams& p)
{
    std::string out(kParamFileHeader);
    out += "\n# Parametry přístroje ORBENA 52 (tabulky 1 a 2), uložené programem kx52ctl.\n"
           "# Řádky \"NÁZEV = hodnota\"; řádky začínající \"#\" a prázdné řádky se přeskakují.\n"
           "# Nahrání: kx52ctl params load SOUBOR\n";
    for (const NamedField& f : kFields)
        out += std::string("\n# ") + f.meaning + "\n" + f.key + " = " + FieldText(p, f.field) + "\n";
    out += "\n# CONFIG\n";
    for (const ConfigOption& o : kConfigOptions) {
        out += std::string("\n# ") + o.meaning + ": " + o.word0 + " / " + o.word1 + "\n";
        out += std::string(o.key) + " = " + OptionText(p, o) + "\n";
    }
    return out;
}

std::string DescribeParamDifferences(const DeviceParams& expected, const DeviceParams& actual)
{
    std::string out;
    for (const NamedField& f : kFields) {
        const std::string a = FieldText(expected, f.field);
        const std::string b = FieldText(actual, f.field);
        const float* fa = FloatOf(expected, f.field);
        if (a != b || (fa != nullptr && Bits(*fa) != Bits(*FloatOf(actual, f.field))))
            out += std::string(f.key) + ": " + a + " -> " + b + "\n";
    }
    if ((expected.config & 0xC0) != (actual.config & 0xC0))
        out += "CONFIG bity 6 a 7: " + std::to_string(expected.config >> 6) + " -> " +
               std::to_string(actual.config >> 6) + "\n";
    for (const ConfigOption& o : kConfigOptions) {
        if ((expected.config & o.mask) != (actual.config & o.mask))
            out += std::string(o.key) + ": " + OptionText(expected, o) + " -> " + OptionText(actual, o) + "\n";
    }
    return out;
}

bool ParseParamFile(std::string_view text, DeviceParams& params, int& error_line, std::string& error)
{
    DeviceParams p;
    std::array<int, kKeyCount> seen_on{}; // line of each key, 0 while not seen
    int line_number = 0;
    bool header_seen = false;
    auto fail = [&](int line, std::string message) {
        error_line = line;
        error = std::move(message);
        return false;
    };

    // A UTF-8 byte-order mark (an editor may add one) is not part of the header.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        const std::string_view line = Trim(raw);
        if (!header_seen) {
            if (line != kParamFileHeader)
                return fail(line_number, "soubor nezačíná řádkem \"" + std::string(kParamFileHeader) +
                                             "\" (není to záloha parametrů kx52ctl, nebo jiná verze)");
            header_seen = true;
            continue;
        }
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail(line_number, "očekává se \"NÁZEV = hodnota\", ne \"" + std::string(line) + "\"");
        const std::string key(Trim(line.substr(0, eq)));
        const std::string value(Trim(line.substr(eq + 1)));

        std::size_t index = kKeyCount;
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            if (key == kFields[i].key)
                index = i;
        }
        for (std::size_t i = 0; i < kConfigOptions.size(); ++i) {
            if (key == kConfigOptions[i].key)
                index = kFields.size() + i;
        }
        if (index == kKeyCount)
            return fail(line_number, "neznámý parametr \"" + key + "\"");
        if (seen_on[index] != 0)
            return fail(line_number,
                        key + " je zadán podruhé (poprvé na řádku " + std::to_string(seen_on[index]) + ")");
        seen_on[index] = line_number;

        if (index < kFields.size()) {
            const Field f = kFields[index].field;
            long long whole = 0;
            if (f == Field::Dp) {
                if (!ParseWhole(value, 0, 5, whole))
                    return fail(line_number, "DP musí být celé číslo 0..5, ne \"" + value + "\"");
                p.dp = static_cast<std::uint8_t>(whole);
            } else if (f == Field::Filtr) {
                if (!ParseWhole(value, 0, 1, whole))
                    return fail(line_number, "FILTR musí být 0 nebo 1, ne \"" + value + "\"");
                p.filtr = static_cast<std::int16_t>(whole);
            } else if (!ParseDecimalFloat(value, ".", *FloatOf(p, f))) {
                return fail(line_number,
                            key + " musí být číslo v rozsahu 32bitového float (desetinná tečka), ne \"" + value + "\"");
            }
        } else {
            const ConfigOption& o = kConfigOptions[index - kFields.size()];
            if (value == o.word1)
                p.config = static_cast<std::uint8_t>(p.config | o.mask);
            else if (value != o.word0)
                return fail(line_number, key + " musí být " + o.word0 + " nebo " + o.word1 + ", ne \"" + value + "\"");
        }
    }
    if (!header_seen)
        return fail(0, "soubor je prázdný");
    std::string missing;
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        if (seen_on[i] == 0) {
            missing += missing.empty() ? "" : ", ";
            missing += i < kFields.size() ? kFields[i].key : kConfigOptions[i - kFields.size()].key;
        }
    }
    if (!missing.empty())
        return fail(0, "chybí " + missing);
    params = p;
    return true;
}
