#pragma once
// The simulated instrument's station: takes the frames its parser found,
// answers those addressed to it as the instrument would, and alters or
// withholds answers as the injected faults say. No input or output here; the
// simulator's run loop puts the answers on the line.
#include "SimFrames.h"
#include "SimInstrument.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace sim {

enum class Fault {
    NoAnswer,     // the answer is withheld
    BadFcs,       // the answer's check sum is wrong
    WrongFc,      // a data answer carries FC 0x09 instead of 0x08
    Cut,          // the answer loses its last `param` bytes
    Delay,        // `param` ms of silence before the answer
    Pause,        // `param` ms of silence in the middle of the answer
    RefuseWrites, // a write is not applied and is acknowledged with FC `param`
    Garbage,      // `param` stray bytes go out before the answer
    OtherSource,  // the answer comes from source address `param`
    ForeignIdent, // identification answered in another family's format
    Vanish,       // the port disappears after `count` exchanges
    E5Ack,        // a write is applied and acknowledged with the single byte 0xE5
    Unplug,       // the port disappears in the middle of the answer
};
inline constexpr std::size_t kFaultCount = 13;
inline constexpr int kAlways = -1;

const char* FaultName(Fault f);
// The parameter a fault takes when none is given.
int DefaultFaultParam(Fault f);

// Active faults, each for a number of answers it applies to (or always).
class SimFaults {
public:
    // count: answers it applies to (kAlways: every one; 0 clears it).
    // For Vanish, count is the number of exchanges after which the port goes.
    void Set(Fault f, int count = kAlways, std::optional<int> param = std::nullopt);
    void Clear(Fault f) { Set(f, 0); }
    void ClearAll();
    bool Active(Fault f) const;
    int Remaining(Fault f) const { return slots_[static_cast<std::size_t>(f)].remaining; }
    // When f is active: uses up one of its answers and gives its parameter.
    std::optional<int> Take(Fault f);

private:
    struct Slot {
        int remaining = 0;
        int param = 0;
    };
    std::array<Slot, kFaultCount> slots_{};
};

enum class RequestKind { ReadTable, WriteTable, Probe, IdentType, IdentVersion, Other };
inline constexpr std::size_t kRequestKinds = 6;

struct Plan {
    bool for_us = false; // addressed to this station
    RequestKind kind = RequestKind::Other;
    int table = -1;
    Bytes answer;              // empty: nothing is sent
    int delay_ms = 0;          // silence before the answer
    std::size_t pause_at = 0;  // bytes sent before the pause
    int pause_ms = 0;          // silence after pause_at bytes
    bool vanish = false;       // close the port after this exchange
    std::size_t unplug_at = 0; // with vanish: bytes sent before the port goes (0: all)
    std::string note;          // what happened, for the log
};

class SimStation {
public:
    explicit SimStation(std::uint8_t address = 0, double start_time = 0.0);

    Plan Handle(const Frame& frame, double now);

    SimInstrument& Instrument() { return instrument_; }
    const SimInstrument& Instrument() const { return instrument_; }
    SimFaults& Faults() { return faults_; }

    // Requests addressed to this station, by kind; table reads and writes
    // also by table number (0..4).
    std::size_t Count(RequestKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }
    std::size_t ReadsOf(int table) const;
    std::size_t WritesOf(int table) const;
    std::size_t Requests() const { return requests_; }
    std::size_t Ignored() const { return ignored_; }
    void ResetCounts();

    // The identification of another family's instrument: three texts of at
    // most 32 characters, sent space-filled.
    void SetForeignFields(std::string a, std::string b, std::string c);
    // Or one text sent as it is, of any length up to what a frame holds
    // (longer texts are cut), in place of the three fields.
    void SetForeignText(std::string text);
    Bytes ForeignAnswer(std::uint8_t da, std::uint8_t sa) const;

    static constexpr std::uint8_t kDataFc = 0x08;
    static constexpr std::uint8_t kWrongDataFc = 0x09;
    static constexpr std::uint8_t kForeignFc = 0x0A;
    static constexpr std::uint8_t kAckOk = 0x00;
    static constexpr std::uint8_t kAckUserError = 0x01;

private:
    SimInstrument instrument_;
    SimFaults faults_;
    std::array<std::size_t, kRequestKinds> counts_{};
    std::array<std::size_t, 5> reads_{};
    std::array<std::size_t, 5> writes_{};
    std::size_t requests_ = 0;
    std::size_t ignored_ = 0;
    std::string foreign_text_;
};

// Space-separated upper-case hex, as the log shows frames.
std::string ToHex(std::span<const std::uint8_t> bytes);

} // namespace sim
