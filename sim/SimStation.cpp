#include "SimStation.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::uint8_t kRequestBit = 0x40;
constexpr std::uint8_t kFunctionMask = 0x0F;
// Function codes of requests (low nibble; the frame count bits are ignored).
constexpr std::uint8_t kSdaLow = 0x03;
constexpr std::uint8_t kSdaHigh = 0x05;
constexpr std::uint8_t kStatus = 0x09;
constexpr std::uint8_t kSrdLow = 0x0C;
constexpr std::uint8_t kSrdHigh = 0x0D;

constexpr std::uint8_t kServiceIdentType = 0x00;
constexpr std::uint8_t kServiceRead = 0x01;
constexpr std::uint8_t kServiceWrite = 0x02;
constexpr std::uint8_t kServiceIdentVersion = 0x04;

// Stray bytes sent before an answer; none of them can start a frame.
constexpr std::uint8_t kGarbage[] = {0xFF, 0x00, 0xE5, 0x7E, 0x55, 0xAA, 0x01, 0xFE};

const char* WriteResultText(WriteResult r)
{
    switch (r) {
    case WriteResult::Accepted:
        return "accepted";
    case WriteResult::ReadOnly:
        return "refused: read-only table";
    case WriteResult::UnknownTable:
        return "refused: no such table";
    case WriteResult::WrongLength:
        return "refused: wrong data length";
    case WriteResult::BadValue:
        return "refused: value not allowed";
    }
    return "?";
}

} // namespace

const char* FaultName(Fault f)
{
    switch (f) {
    case Fault::NoAnswer:
        return "no-answer";
    case Fault::BadFcs:
        return "bad-fcs";
    case Fault::WrongFc:
        return "fc09";
    case Fault::Cut:
        return "cut";
    case Fault::Delay:
        return "delay";
    case Fault::Pause:
        return "pause";
    case Fault::RefuseWrites:
        return "refuse-writes";
    case Fault::Garbage:
        return "garbage";
    case Fault::OtherSource:
        return "other-source";
    case Fault::ForeignIdent:
        return "foreign-ident";
    case Fault::Vanish:
        return "vanish-after";
    case Fault::E5Ack:
        return "e5-ack";
    case Fault::Unplug:
        return "unplug";
    }
    return "?";
}

int DefaultFaultParam(Fault f)
{
    switch (f) {
    case Fault::Cut:
        return 1;
    case Fault::Delay:
        return 600;
    case Fault::Pause:
        return 150;
    case Fault::RefuseWrites:
        return 0x02;
    case Fault::Garbage:
        return 3;
    case Fault::OtherSource:
        return -1; // own address + 1
    default:
        return 0;
    }
}

void SimFaults::Set(Fault f, int count, std::optional<int> param)
{
    Slot& s = slots_[static_cast<std::size_t>(f)];
    // The port can vanish only once; "always" means after the next exchange
    // (or, unplugged, in the middle of the next answer).
    if ((f == Fault::Vanish || f == Fault::Unplug) && count == kAlways)
        count = 1;
    s.remaining = count < 0 ? kAlways : count;
    s.param = param.value_or(DefaultFaultParam(f));
}

void SimFaults::ClearAll()
{
    slots_ = {};
}

bool SimFaults::Active(Fault f) const
{
    return slots_[static_cast<std::size_t>(f)].remaining != 0;
}

std::optional<int> SimFaults::Take(Fault f)
{
    Slot& s = slots_[static_cast<std::size_t>(f)];
    if (s.remaining == 0)
        return std::nullopt;
    if (s.remaining > 0)
        --s.remaining;
    return s.param;
}

SimStation::SimStation(std::uint8_t address, double start_time) : instrument_(address, start_time)
{
    SetForeignFields("REGULATOR RX-7", "RADA 200", "VERZE 3.14");
}

std::size_t SimStation::ReadsOf(int table) const
{
    return (table >= 0 && table < 5) ? reads_[static_cast<std::size_t>(table)] : 0;
}

std::size_t SimStation::WritesOf(int table) const
{
    return (table >= 0 && table < 5) ? writes_[static_cast<std::size_t>(table)] : 0;
}

void SimStation::ResetCounts()
{
    counts_ = {};
    reads_ = {};
    writes_ = {};
    requests_ = 0;
    ignored_ = 0;
}

void SimStation::SetForeignFields(std::string a, std::string b, std::string c)
{
    foreign_text_.clear();
    for (const std::string& field : {a, b, c}) {
        std::string f = field.substr(0, 32);
        f.resize(32, ' ');
        foreign_text_ += f;
    }
}

void SimStation::SetForeignText(std::string text)
{
    // The answer's data are a header byte and the text.
    if (text.size() > kMaxLe - 4)
        text.resize(kMaxLe - 4);
    foreign_text_ = std::move(text);
}

Bytes SimStation::ForeignAnswer(std::uint8_t da, std::uint8_t sa) const
{
    // The other family answers with its own function code, a header byte and
    // its text (normally three 32-character fields).
    Bytes data;
    data.push_back(0x00);
    data.insert(data.end(), foreign_text_.begin(), foreign_text_.end());
    return MakeLongFrame(da, sa, kForeignFc, data);
}

Plan SimStation::Handle(const Frame& frame, double now)
{
    Plan p;
    instrument_.AdvanceTo(now);
    const std::uint8_t me = instrument_.Address();
    if (frame.da != me) {
        p.note = frame.da == kBroadcast ? "broadcast: not answered"
                                        : "for station " + std::to_string(frame.da) + ": not answered";
        return p;
    }
    p.for_us = true;
    ++requests_;

    const bool is_request = (frame.fc & kRequestBit) != 0;
    const std::uint8_t function = frame.fc & kFunctionMask;
    const std::uint8_t master = frame.sa;
    bool data_answer = false;

    if (!frame.is_long) {
        if (is_request && function == kStatus) {
            p.kind = RequestKind::Probe;
            p.answer = MakeShortFrame(master, me, kAckOk);
            p.note = "status probe";
        }
    } else if (is_request && (function == kSrdLow || function == kSrdHigh) && !frame.data.empty()) {
        const std::uint8_t service = frame.data[0];
        if (service == kServiceRead && frame.data.size() == 2 && frame.data[1] <= 3) {
            p.kind = RequestKind::ReadTable;
            p.table = frame.data[1];
            p.answer = MakeLongFrame(master, me, kDataFc, instrument_.ReadTable(frame.data[1]));
            p.note = "read table " + std::to_string(p.table);
            data_answer = true;
        } else if ((service == kServiceIdentType || service == kServiceIdentVersion) && frame.data.size() == 1) {
            const bool type = service == kServiceIdentType;
            p.kind = type ? RequestKind::IdentType : RequestKind::IdentVersion;
            const std::string& text = type ? instrument_.TypeText() : instrument_.VersionText();
            const auto* t = reinterpret_cast<const std::uint8_t*>(text.data());
            p.answer = MakeLongFrame(master, me, kDataFc, std::span(t, text.size()));
            p.note = type ? "identification: type" : "identification: version";
            data_answer = true;
        }
    } else if (is_request && (function == kSdaLow || function == kSdaHigh) && frame.data.size() >= 2 &&
               frame.data[0] == kServiceWrite) {
        p.kind = RequestKind::WriteTable;
        p.table = frame.data[1];
        if (faults_.Take(Fault::E5Ack)) {
            // The short acknowledgement in one character: the write is taken.
            instrument_.WriteTable(frame.data[1], std::span(frame.data).subspan(2));
            p.answer = Bytes{0xE5};
            p.note = "write table " + std::to_string(p.table) + " acknowledged with E5 (injected)";
        } else if (const auto fc = faults_.Take(Fault::RefuseWrites)) {
            p.answer = MakeShortFrame(master, me, static_cast<std::uint8_t>(*fc));
            p.note = "write table " + std::to_string(p.table) + " refused (injected)";
        } else {
            const WriteResult r = instrument_.WriteTable(frame.data[1], std::span(frame.data).subspan(2));
            p.answer = MakeShortFrame(master, me, r == WriteResult::Accepted ? kAckOk : kAckUserError);
            p.note = "write table " + std::to_string(p.table) + " " + WriteResultText(r);
            if (r == WriteResult::Accepted && p.table == 3)
                p.note += ", address now " + std::to_string(instrument_.Address());
        }
    }

    ++counts_[static_cast<std::size_t>(p.kind)];
    if (p.kind == RequestKind::ReadTable)
        ++reads_[static_cast<std::size_t>(p.table)];
    if (p.kind == RequestKind::WriteTable && p.table >= 0 && p.table < 5)
        ++writes_[static_cast<std::size_t>(p.table)];
    if (p.kind == RequestKind::Other) {
        ++ignored_;
        p.note = "unknown request: not answered";
        return p;
    }

    std::string injected;
    auto mark = [&injected](Fault f) {
        injected += injected.empty() ? " [" : ", ";
        injected += FaultName(f);
    };
    if (faults_.Take(Fault::NoAnswer)) {
        p.answer.clear();
        mark(Fault::NoAnswer);
    } else {
        const bool ident = p.kind == RequestKind::IdentType || p.kind == RequestKind::IdentVersion;
        if (ident && faults_.Take(Fault::ForeignIdent)) {
            p.answer = ForeignAnswer(master, me);
            data_answer = false;
            mark(Fault::ForeignIdent);
        }
        // Faults that alter a frame leave a single-character answer alone.
        const bool whole_frame = p.answer.size() >= 6;
        if (const auto other = whole_frame ? faults_.Take(Fault::OtherSource) : std::nullopt) {
            const int a = *other >= 0 ? *other : (me + 1) % 127;
            p.answer[p.answer[0] == kStartLong ? 5 : 2] = static_cast<std::uint8_t>(a);
            RefreshSum(p.answer);
            mark(Fault::OtherSource);
        }
        if (data_answer && faults_.Take(Fault::WrongFc)) {
            p.answer[6] = kWrongDataFc;
            RefreshSum(p.answer);
            mark(Fault::WrongFc);
        }
        if (whole_frame && faults_.Take(Fault::BadFcs)) {
            p.answer[p.answer.size() - 2] ^= 0x5A;
            mark(Fault::BadFcs);
        }
        if (const auto n = faults_.Take(Fault::Cut)) {
            const auto cut = static_cast<std::size_t>(std::clamp(*n, 0, static_cast<int>(p.answer.size())));
            p.answer.resize(p.answer.size() - cut);
            mark(Fault::Cut);
        }
        if (const auto n = faults_.Take(Fault::Garbage)) {
            Bytes g;
            for (int i = 0; i < std::max(*n, 0); ++i)
                g.push_back(kGarbage[static_cast<std::size_t>(i) % sizeof kGarbage]);
            p.answer.insert(p.answer.begin(), g.begin(), g.end());
            mark(Fault::Garbage);
        }
        if (const auto ms = faults_.Take(Fault::Delay)) {
            p.delay_ms = std::max(*ms, 0);
            mark(Fault::Delay);
        }
        if (const auto ms = faults_.Take(Fault::Pause)) {
            p.pause_at = p.answer.size() / 2;
            p.pause_ms = std::max(*ms, 0);
            mark(Fault::Pause);
        }
    }
    if (!p.answer.empty() && faults_.Active(Fault::Unplug)) {
        faults_.Take(Fault::Unplug);
        if (!faults_.Active(Fault::Unplug)) {
            p.vanish = true;
            p.unplug_at = std::max<std::size_t>(p.answer.size() / 2, 1);
            mark(Fault::Unplug);
        }
    } else if (faults_.Active(Fault::Vanish)) {
        faults_.Take(Fault::Vanish);
        if (!faults_.Active(Fault::Vanish)) {
            p.vanish = true;
            mark(Fault::Vanish);
        }
    }
    if (!injected.empty())
        p.note += injected + "]";
    return p;
}

std::string ToHex(std::span<const std::uint8_t> bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 0x0F];
    }
    return s;
}

} // namespace sim
