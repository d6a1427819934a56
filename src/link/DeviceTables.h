#pragma once
// The instrument's numbered tables: their lengths, and the program variables
// their fields fill. All multi-byte fields are little-endian, floats are IEEE
// single precision, copied unchanged between the frame and the variables.
#include <cstdint>

inline constexpr std::uint8_t table_lengths[4] = {8, 12, 8, 1};

// Table 0, measurement (read only).
extern float meas_value;
extern float sum_value;
// Table 1, limits.
extern float SCALE;
extern float SP_ALA;
extern float HYSTER;
// Table 2, configuration.
extern float SP_SUM;
extern std::uint8_t DP;
extern std::uint8_t CONFIG;
extern std::int16_t FILTR;
// Table 3, address.
extern std::uint8_t dev_address;

// Copies table t's data bytes (table_lengths[t] of them) into its variables.
void unpack_table(std::uint8_t table, const std::uint8_t* data);
// Copies table t's variables into `out` (table_lengths[t] bytes).
void pack_table(std::uint8_t table, std::uint8_t* out);
// Sets every program variable back to zero (program start; tests).
void reset_table_variables();
