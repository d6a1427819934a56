#pragma once
// The model of the simulated ORBENA 52: its tables, its bus address, the
// current-loop input and the running sum. Time is handed in by the caller (in
// seconds, any origin), so the model runs on the real clock in the simulator
// and on a controlled one in tests.
#include "SimFrames.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Table layouts as the instrument keeps them (data bytes, little-endian).
inline constexpr std::size_t kTableLength[5] = {8, 12, 8, 1, 1};
inline constexpr std::uint8_t kSumResetByte = 0x5A;

// CONFIG bits the model acts on.
inline constexpr std::uint8_t kConfigPerHour = 0x08; // bit 3: sum per hour (else per minute)
inline constexpr std::uint8_t kConfigSqrt = 0x10;    // bit 4: square-rooted input
inline constexpr std::uint8_t kConfig4to20 = 0x20;   // bit 5: 4..20 mA input (else 0..20 mA)

// Result of a write: accepted, or refused with this reason.
enum class WriteResult { Accepted, ReadOnly, UnknownTable, WrongLength, BadValue };

class SimInstrument {
public:
    explicit SimInstrument(std::uint8_t address = 0, double start_time = 0.0);

    std::uint8_t Address() const { return address_; }
    void SetAddress(std::uint8_t address) { address_ = address; }

    // Moves the model's clock forward to `now`, integrating the sum.
    void AdvanceTo(double now);
    double Now() const { return now_; }

    // The input signal in mA at the model's time: a slow sine between 4.8 and
    // 19.2 mA (period `kSignalPeriod`), or a fixed current set for tests.
    double InputMa() const;
    void SetFixedInput(std::optional<double> milliamps) { fixed_input_ = milliamps; }
    static constexpr double kSignalPeriod = 240.0;

    float MeasuredValue() const;
    double Sum() const { return sum_; }
    void ResetSum() { sum_ = 0.0; }

    // The data bytes of table 0..3 as they are answered.
    Bytes ReadTable(std::uint8_t table) const;
    // A write of table 1..3 or the sum-reset table 4. An accepted address
    // write takes effect at once; the caller answers from the old address.
    WriteResult WriteTable(std::uint8_t table, std::span<const std::uint8_t> data);

    float Scale() const;
    std::uint8_t Config() const { return table2_[5]; }

    const std::string& TypeText() const { return type_text_; }
    const std::string& VersionText() const { return version_text_; }
    // Texts longer than the longest answer (246 bytes) are cut.
    void SetTypeText(std::string text);
    void SetVersionText(std::string text);

private:
    double InputAt(double t) const;
    float ValueAt(double t) const;

    std::uint8_t address_;
    double now_;
    double sum_ = 0.0;
    double start_;
    std::optional<double> fixed_input_;
    std::array<std::uint8_t, 12> table1_{};
    std::array<std::uint8_t, 8> table2_{};
    std::string type_text_ = "ORBENA 52";
    // The instrument's texts are in its code page, Windows-1250: this one
    // reads "verze 1.00, simulovaný měřič".
    std::string version_text_ = "verze 1.00, simulovan\xFD m\xEC\xF8i\xE8";
};

// Little-endian helpers for the table fields.
void PutFloatLe(std::uint8_t* p, float value);
float GetFloatLe(const std::uint8_t* p);

} // namespace sim
