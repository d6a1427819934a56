// Packing and unpacking of the device tables: byte layout, byte order, and
// which variables each table touches.
#include "DeviceTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t float_bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Packs table t into a buffer with guard bytes on both sides.
Bytes pack_guarded(std::uint8_t table)
{
    Bytes buffer(table_lengths[table] + 4u, 0xAA);
    pack_table(table, buffer.data() + 2);
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[1], 0xAA);
    EXPECT_EQ(buffer[buffer.size() - 2], 0xAA);
    EXPECT_EQ(buffer[buffer.size() - 1], 0xAA);
    return Bytes(buffer.begin() + 2, buffer.end() - 2);
}

} // namespace

class TablesTest : public ::testing::Test {
protected:
    void SetUp() override { reset_table_variables(); }
};

TEST_F(TablesTest, Table1PacksAndUnpacksItsThreeFloats)
{
    SCALE = 1.0f;
    SP_ALA = -2.5f;
    HYSTER = 0.1f;
    EXPECT_EQ(pack_guarded(1), (Bytes{0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20, 0xC0, 0xCD, 0xCC, 0xCC, 0x3D}));

    const Bytes data = {0x00, 0x00, 0x20, 0xC1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x7F};
    unpack_table(1, data.data());
    EXPECT_EQ(SCALE, -10.0f);
    EXPECT_EQ(SP_ALA, 0.0f);
    EXPECT_TRUE(std::isinf(HYSTER));
}

TEST_F(TablesTest, Table2FieldsAndSignedFilter)
{
    SP_SUM = 100.0f;
    DP = 5;
    CONFIG = 0x3F;
    FILTR = -2;
    EXPECT_EQ(pack_guarded(2), (Bytes{0x00, 0x00, 0xC8, 0x42, 0x05, 0x3F, 0xFE, 0xFF}));

    const Bytes data = {0x00, 0x00, 0x80, 0xBF, 0xFF, 0x80, 0x34, 0x12};
    unpack_table(2, data.data());
    EXPECT_EQ(SP_SUM, -1.0f);
    EXPECT_EQ(DP, 255);
    EXPECT_EQ(CONFIG, 0x80);
    EXPECT_EQ(FILTR, 0x1234);

    const Bytes negative = {0, 0, 0, 0, 0, 0, 0x00, 0x80};
    unpack_table(2, negative.data());
    EXPECT_EQ(FILTR, -32768);
}

TEST_F(TablesTest, FloatBitPatternsTravelUnchanged)
{
    // A NaN with a payload and a negative zero survive the round trip bit
    // for bit: nothing on the way converts the value.
    const Bytes data = {0x01, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x00, 0x80};
    unpack_table(0, data.data());
    EXPECT_EQ(float_bits(meas_value), 0x7FC00001u);
    EXPECT_EQ(float_bits(sum_value), 0x80000000u);
    EXPECT_EQ(pack_guarded(0), data);
}

TEST_F(TablesTest, EachTableTouchesOnlyItsOwnVariables)
{
    const Bytes ones(12, 0x11);
    unpack_table(3, ones.data());
    EXPECT_EQ(dev_address, 0x11);
    EXPECT_EQ(meas_value, 0.0f);
    EXPECT_EQ(SCALE, 0.0f);
    EXPECT_EQ(SP_SUM, 0.0f);
    EXPECT_EQ(DP, 0);

    unpack_table(0, ones.data());
    EXPECT_NE(meas_value, 0.0f);
    EXPECT_NE(sum_value, 0.0f);
    EXPECT_EQ(SCALE, 0.0f);
    EXPECT_EQ(SP_SUM, 0.0f);
    EXPECT_EQ(CONFIG, 0);
    EXPECT_EQ(FILTR, 0);

    // The sum-reset number has no variables.
    const float meas = meas_value;
    unpack_table(4, ones.data());
    EXPECT_EQ(meas_value, meas);
    EXPECT_EQ(dev_address, 0x11);
    Bytes out(4, 0xAA);
    pack_table(4, out.data());
    EXPECT_EQ(out, Bytes(4, 0xAA));
}

TEST_F(TablesTest, RoundTripAndReset)
{
    for (std::uint8_t t = 0; t < 4; ++t) {
        Bytes data(table_lengths[t]);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(0x31 + 7 * i + t);
        unpack_table(t, data.data());
        EXPECT_EQ(pack_guarded(t), data) << int(t);
    }

    reset_table_variables();
    for (std::uint8_t t = 0; t < 4; ++t)
        EXPECT_EQ(pack_guarded(t), Bytes(table_lengths[t], 0)) << int(t);
}
