#include "SimInstrument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace sim {

void PutFloatLe(std::uint8_t* p, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

float GetFloatLe(const std::uint8_t* p)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

SimInstrument::SimInstrument(std::uint8_t address, double start_time)
    : address_(address), now_(start_time), start_(start_time)
{
    // Factory settings: the measured value is the input in percent of its
    // range, alarm at 80 with 2 hysteresis, sum alarm at 1000, one decimal
    // place, 0..20 mA linear input, sum per minute, no input filter.
    PutFloatLe(table1_.data() + 0, 100.0f);
    PutFloatLe(table1_.data() + 4, 80.0f);
    PutFloatLe(table1_.data() + 8, 2.0f);
    PutFloatLe(table2_.data() + 0, 1000.0f);
    table2_[4] = 1;
    table2_[5] = 0;
    table2_[6] = 0;
    table2_[7] = 0;
}

double SimInstrument::InputAt(double t) const
{
    if (fixed_input_)
        return *fixed_input_;
    return 12.0 + 7.2 * std::sin(2.0 * std::numbers::pi * (t - start_) / kSignalPeriod);
}

double SimInstrument::InputMa() const
{
    return InputAt(now_);
}

float SimInstrument::Scale() const
{
    return GetFloatLe(table1_.data());
}

float SimInstrument::ValueAt(double t) const
{
    const double ma = InputAt(t);
    const std::uint8_t cfg = Config();
    double fraction = (cfg & kConfig4to20) ? (ma - 4.0) / 16.0 : ma / 20.0;
    // A signal below the range start (a broken 4..20 mA loop) reads as zero.
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (cfg & kConfigSqrt)
        fraction = std::sqrt(fraction);
    const double value = fraction * static_cast<double>(Scale());
    return static_cast<float>(value);
}

float SimInstrument::MeasuredValue() const
{
    return ValueAt(now_);
}

void SimInstrument::AdvanceTo(double now)
{
    if (!(now > now_))
        return;
    // The sum counts the measured value per minute or per hour: trapezoids
    // of at most a quarter second follow the slow input closely.
    const double per = (Config() & kConfigPerHour) ? 3600.0 : 60.0;
    const double span = now - now_;
    const auto steps = static_cast<long>(std::ceil(span / 0.25));
    const double h = span / static_cast<double>(steps);
    double t = now_;
    double v0 = ValueAt(t);
    for (long i = 1; i <= steps; ++i) {
        const double t1 = (i == steps) ? now : now_ + h * static_cast<double>(i);
        const double v1 = ValueAt(t1);
        sum_ += (v0 + v1) * 0.5 * (t1 - t) / per;
        t = t1;
        v0 = v1;
    }
    now_ = now;
}

Bytes SimInstrument::ReadTable(std::uint8_t table) const
{
    switch (table) {
    case 0: {
        Bytes b(8);
        PutFloatLe(b.data(), MeasuredValue());
        PutFloatLe(b.data() + 4, static_cast<float>(sum_));
        return b;
    }
    case 1:
        return Bytes(table1_.begin(), table1_.end());
    case 2:
        return Bytes(table2_.begin(), table2_.end());
    case 3:
        return Bytes{address_};
    default:
        return {};
    }
}

WriteResult SimInstrument::WriteTable(std::uint8_t table, std::span<const std::uint8_t> data)
{
    if (table == 0)
        return WriteResult::ReadOnly;
    if (table > 4)
        return WriteResult::UnknownTable;
    if (data.size() != kTableLength[table])
        return WriteResult::WrongLength;
    switch (table) {
    case 1:
        std::copy(data.begin(), data.end(), table1_.begin());
        break;
    case 2:
        std::copy(data.begin(), data.end(), table2_.begin());
        break;
    case 3:
        // 127 is the broadcast address; an instrument there could never be
        // reached again.
        if (data[0] > 126)
            return WriteResult::BadValue;
        address_ = data[0];
        break;
    case 4:
        if (data[0] != kSumResetByte)
            return WriteResult::BadValue;
        sum_ = 0.0;
        break;
    default:
        break;
    }
    return WriteResult::Accepted;
}

void SimInstrument::SetTypeText(std::string text)
{
    if (text.size() > kMaxLe - 3)
        text.resize(kMaxLe - 3);
    type_text_ = std::move(text);
}

void SimInstrument::SetVersionText(std::string text)
{
    if (text.size() > kMaxLe - 3)
        text.resize(kMaxLe - 3);
    version_text_ = std::move(text);
}

} // namespace sim
