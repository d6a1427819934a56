#pragma once
// The link end to end, shared by its tests: every operation through the real
// ComPort ("COM 3", found through XDG_CONFIG_HOME) over a pseudo-terminal to
// the simulated instrument, which has frame code of its own. A spy between
// the protocol and the port records every write, read and purge, and the
// simulator counts what reached it.
#include "ComPort.h"
#include "DeviceTables.h"
#include "Orbena52Sim.h"
#include "Protokol_spol.h"
#include "TempConfigHome_posix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::Fault;
using SimBytes = std::vector<std::uint8_t>;

namespace {

// Passes every operation on to the real port and records it.
class SpyPort : public LinkPort {
public:
    enum class Op { Write, Read, PurgeRx, PurgeTx };
    struct Event {
        Op op;
        SimBytes bytes;           // written, or received
        std::uint32_t wanted = 0; // reads
    };

    explicit SpyPort(LinkPort& inner) : inner_(inner) {}

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        const std::uint8_t r = inner_.ReadBytes(buffer, wanted, received);
        events.push_back({Op::Read, SimBytes(buffer, buffer + std::min(received, wanted)), wanted});
        return r;
    }
    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        events.push_back({Op::Write, SimBytes(buffer, buffer + count), 0});
        return inner_.WriteBytes(buffer, count, written);
    }
    void PurgeRx() override
    {
        events.push_back({Op::PurgeRx, {}, 0});
        inner_.PurgeRx();
    }
    void PurgeTx() override
    {
        events.push_back({Op::PurgeTx, {}, 0});
        inner_.PurgeTx();
    }

    std::size_t Count(Op op) const
    {
        std::size_t n = 0;
        for (const Event& e : events)
            n += e.op == op ? 1 : 0;
        return n;
    }
    std::vector<Op> Ops() const
    {
        std::vector<Op> v;
        for (const Event& e : events)
            v.push_back(e.op);
        return v;
    }
    // Whether the last two operations were PurgeTx then PurgeRx.
    bool EndsWithPurge() const
    {
        const std::size_t n = events.size();
        return n >= 2 && events[n - 2].op == Op::PurgeTx && events[n - 1].op == Op::PurgeRx;
    }

    std::vector<Event> events;

private:
    LinkPort& inner_;
};

using Op = SpyPort::Op;

std::vector<int> g_pauses;
void SleepAndRecord(int ms)
{
    g_pauses.push_back(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

constexpr int kCom = 3;
constexpr std::uint8_t kAddress = 5;

class LinkSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home_ = std::make_unique<TempConfigHome>("kx52-linksim");
        dir_ = home_->Path();

        sim::SimConfig c;
        c.com = kCom;
        c.address = kAddress;
        c.config_dir = dir_;
        c.log = nullptr;
        sim_ = std::make_unique<sim::Orbena52Sim>(c);
        std::string error;
        ASSERT_TRUE(sim_->Open(error)) << error;
        sim_->WithStation([](sim::SimStation& st) { st.Instrument().SetFixedInput(12.0); });
        sim_->Start();

        port_ = std::make_unique<ComPort>();
        port_->com_index = kCom;
        port_->baud_rate = 115200;
        ASSERT_EQ(port_->OpenPort(kCom), 0);
        spy_ = std::make_unique<SpyPort>(*port_);

        reset_table_variables();
        g_pauses.clear();
        link_set_port(spy_.get());
        link_set_sleep_hook(&SleepAndRecord);
        link_set_message_handler(nullptr);
        set_dest_address(kAddress);
        set_source_address(0);
    }

    void TearDown() override
    {
        link_set_port(nullptr);
        link_set_sleep_hook(nullptr);
        if (port_)
            port_->ClosePort();
        sim_.reset();
        home_.reset();
    }

    // Reopens the port at another speed (the simulator paces to it).
    void ReopenAt(std::int32_t baud)
    {
        port_->ClosePort();
        port_->baud_rate = baud;
        ASSERT_EQ(port_->OpenPort(kCom), 0);
    }

    // Requests the simulator received, in order, with their arrival times.
    std::vector<std::pair<Clock::time_point, SimBytes>> ReceivedRequests()
    {
        std::vector<std::pair<Clock::time_point, SimBytes>> out;
        for (const sim::SimRecord& r : sim_->History()) {
            if (r.dir == sim::SimRecord::Dir::Rx)
                out.emplace_back(r.time, r.bytes);
        }
        return out;
    }

    // Lets a request the program sent just before purging arrive (or not)
    // before the simulator's counts are read.
    void Settle() { std::this_thread::sleep_for(60ms); }

    std::unique_ptr<TempConfigHome> home_;
    std::string dir_;
    std::unique_ptr<sim::Orbena52Sim> sim_;
    std::unique_ptr<ComPort> port_;
    std::unique_ptr<SpyPort> spy_;
};

} // namespace
