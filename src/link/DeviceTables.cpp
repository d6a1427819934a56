// The instrument's tables and the program variables their fields fill.
//
// Fields are moved byte by byte in little-endian order, so the layout on the
// wire does not depend on the host's byte order. Floats travel as their IEEE
// single-precision bit pattern, unchanged.
//
// Packing copies every variable as it stands. In particular CONFIG is sent as
// held: the parameters dialog builds it from its six options with bits 6 and
// 7 cleared, so those bits go out as 0 without packing having to alter a
// value that the program holds.
#include "DeviceTables.h"

#include <cstring>

float meas_value = 0.0f;
float sum_value = 0.0f;
float SCALE = 0.0f;
float SP_ALA = 0.0f;
float HYSTER = 0.0f;
float SP_SUM = 0.0f;
std::uint8_t DP = 0;
std::uint8_t CONFIG = 0;
std::int16_t FILTR = 0;
std::uint8_t dev_address = 0;

namespace {

static_assert(sizeof(float) == 4, "table floats are 32-bit IEEE single precision");

std::uint32_t get_u32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put_u32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

float get_float(const std::uint8_t* p)
{
    const std::uint32_t bits = get_u32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void put_float(std::uint8_t* p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put_u32(p, bits);
}

std::int16_t get_i16(const std::uint8_t* p)
{
    const auto bits = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return static_cast<std::int16_t>(bits);
}

void put_i16(std::uint8_t* p, std::int16_t value)
{
    const auto bits = static_cast<std::uint16_t>(value);
    p[0] = static_cast<std::uint8_t>(bits);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
}

} // namespace

void unpack_table(std::uint8_t table, const std::uint8_t* data)
{
    switch (table) {
    case 0:
        meas_value = get_float(data + 0);
        sum_value = get_float(data + 4);
        break;
    case 1:
        SCALE = get_float(data + 0);
        SP_ALA = get_float(data + 4);
        HYSTER = get_float(data + 8);
        break;
    case 2:
        SP_SUM = get_float(data + 0);
        DP = data[4];
        CONFIG = data[5];
        FILTR = get_i16(data + 6);
        break;
    case 3:
        dev_address = data[0];
        break;
    default:
        // No other table has variables.
        break;
    }
}

void pack_table(std::uint8_t table, std::uint8_t* out)
{
    switch (table) {
    case 0:
        put_float(out + 0, meas_value);
        put_float(out + 4, sum_value);
        break;
    case 1:
        put_float(out + 0, SCALE);
        put_float(out + 4, SP_ALA);
        put_float(out + 8, HYSTER);
        break;
    case 2:
        put_float(out + 0, SP_SUM);
        out[4] = DP;
        out[5] = CONFIG;
        put_i16(out + 6, FILTR);
        break;
    case 3:
        out[0] = dev_address;
        break;
    default:
        break;
    }
}

void reset_table_variables()
{
    meas_value = 0.0f;
    sum_value = 0.0f;
    SCALE = 0.0f;
    SP_ALA = 0.0f;
    HYSTER = 0.0f;
    SP_SUM = 0.0f;
    DP = 0;
    CONFIG = 0;
    FILTR = 0;
    dev_address = 0;
}
