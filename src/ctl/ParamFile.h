#pragma once
// The instrument's parameters (tables 1 and 2) as one value, and the backup
// file that holds them: plain text, one "NAME = value" line per parameter,
// so that it can be compared with diff and edited by hand.
//
//   kx52-params 1
//   # comment lines start with "#"; blank lines are skipped
//   SCALE = 1.5
//   DP = 2
//   FILTR = 1
//   SP_ALA = 80
//   HYSTER = 0.5
//   SP_SUM = 1000
//   AIN = 4-20mA
//   IN_FUNKCE = linearni
//   INTEGRACE = hodina
//   OUT1 = prekroceni
//   OUT2 = trvale
//   AOUT = 0-20mA
//
// The first line names the kind of file and its version. Every parameter
// appears exactly once. The four numbers are written with as many digits as
// it takes to read back the same 32-bit float, so a saved file restores an
// instrument exactly; DP is 0..5, FILTR 0 or 1, and each CONFIG option takes
// one of its two words. Bits 6 and 7 of CONFIG are always 0.
#include <cstdint>
#include <string>
#include <string_view>

struct DeviceParams {
    float scale = 0.0f;
    float sp_ala = 0.0f;
    float hyster = 0.0f;
    float sp_sum = 0.0f;
    std::uint8_t dp = 0;
    std::uint8_t config = 0;
    std::int16_t filtr = 0;
};

// The parameter variables of the device tables, and back.
DeviceParams ParamsFromTables();
void ParamsToTables(const DeviceParams& params);

// Equal to the last bit (floats compared by their bytes, so -0 differs from 0).
bool SameParams(const DeviceParams& a, const DeviceParams& b);

// The first line of every backup file.
inline constexpr std::string_view kParamFileHeader = "kx52-params 1";

// The "NAME = value" lines, one per parameter, in the order of the file.
std::string FormatParamLines(const DeviceParams& params);
// A whole backup file: the header, comments naming each parameter, the lines.
std::string FormatParamFile(const DeviceParams& params);

// The differences between two sets of parameters, "NAME: a -> b" per line.
std::string DescribeParamDifferences(const DeviceParams& expected, const DeviceParams& actual);

// Checks a whole backup file. On a fault gives false with the line it is on
// (0 when it concerns the file as a whole) and a message.
bool ParseParamFile(std::string_view text, DeviceParams& params, int& error_line, std::string& error);

// The shortest decimal text ("%.6g" to "%.9g", C locale) that reads back as
// exactly `value`.
std::string FloatText(float value);
