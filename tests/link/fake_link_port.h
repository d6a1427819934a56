#pragma once
// An in-memory LinkPort for the protocol tests: it records every write, read
// request and purge in order, and answers each read from a script. A read
// copies into the caller's buffer only the bytes that "arrived"; the rest of
// the requested range can be filled by a poison function, so a check that
// looked past the received bytes would see tempting values there.
#include "LinkPort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// "68 05 05 68" -> {0x68, 0x05, 0x05, 0x68}
inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    std::string token;
    while (in >> token)
        out.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    return out;
}

class FakeLinkPort : public LinkPort {
public:
    enum class Op { Write, Read, PurgeRx, PurgeTx };
    struct Event {
        Op op;
        Bytes bytes;              // written bytes, or bytes delivered by a read
        std::uint32_t wanted = 0; // read: count asked for
    };
    struct Answer {
        Bytes bytes;
        std::uint8_t result = 1;
    };
    // Called after a read with the caller's buffer, what arrived and what was
    // asked for; may write buffer[received .. wanted).
    using Poison = std::function<void(std::uint8_t* buffer, std::uint32_t received, std::uint32_t wanted)>;

    std::vector<Event> events;
    std::deque<Answer> answers;             // one per read; empty: silence
    std::deque<std::uint8_t> write_results; // one per write; empty: success
    Poison poison;

    void answer(const Bytes& bytes, std::uint8_t result = 1) { answers.push_back({bytes, result}); }
    void silence() { answers.push_back({{}, 1}); }

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        Answer a;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(a.bytes.size(), wanted));
        if (n > 0)
            std::memcpy(buffer, a.bytes.data(), n);
        if (poison)
            poison(buffer, n, wanted);
        received = n;
        events.push_back({Op::Read, Bytes(a.bytes.begin(), a.bytes.begin() + n), wanted});
        return a.result;
    }

    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        std::uint8_t result = 1;
        if (!write_results.empty()) {
            result = write_results.front();
            write_results.pop_front();
        }
        written = result != 0 ? count : 0;
        events.push_back({Op::Write, Bytes(buffer, buffer + count), 0});
        return result;
    }

    void PurgeRx() override { events.push_back({Op::PurgeRx, {}, 0}); }
    void PurgeTx() override { events.push_back({Op::PurgeTx, {}, 0}); }

    // The order of operations as "W R Tx Rx".
    std::string sequence() const
    {
        std::string s;
        for (const auto& e : events) {
            if (!s.empty())
                s += ' ';
            switch (e.op) {
            case Op::Write:
                s += 'W';
                break;
            case Op::Read:
                s += 'R';
                break;
            case Op::PurgeRx:
                s += "Rx";
                break;
            case Op::PurgeTx:
                s += "Tx";
                break;
            }
        }
        return s;
    }

    std::vector<Bytes> writes() const
    {
        std::vector<Bytes> w;
        for (const auto& e : events)
            if (e.op == Op::Write)
                w.push_back(e.bytes);
        return w;
    }

    std::vector<std::uint32_t> read_sizes() const
    {
        std::vector<std::uint32_t> r;
        for (const auto& e : events)
            if (e.op == Op::Read)
                r.push_back(e.wanted);
        return r;
    }
};

// A long data answer built the plain way, independent of the code under test.
inline Bytes data_answer(std::uint8_t da, std::uint8_t sa, const Bytes& data)
{
    const auto le = static_cast<std::uint8_t>(data.size() + 3);
    Bytes f;
    f.reserve(data.size() + 9);
    for (std::uint8_t b : {std::uint8_t{0x68}, le, le, std::uint8_t{0x68}, da, sa, std::uint8_t{0x08}})
        f.push_back(b);
    for (std::uint8_t b : data)
        f.push_back(b);
    unsigned sum = 0;
    for (std::size_t i = 4; i < f.size(); ++i)
        sum += f[i];
    f.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    f.push_back(0x16);
    return f;
}
