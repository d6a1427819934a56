#pragma once
// The link's port in memory, with the simulated instrument's station behind
// it: every frame written reaches the station, whose answer (if any) is what
// the next reads deliver. Quick and deterministic, for the dialogs that talk
// to the instrument; the end-to-end tests use the simulator over a pty.
#include "LinkPort.h"
#include "Protokol_spol.h"
#include "SimFrames.h"
#include "SimStation.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

class StationPort : public LinkPort {
public:
    explicit StationPort(std::uint8_t address) : station(address) {}

    sim::SimStation station;
    std::vector<sim::Bytes> written;

    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done) override
    {
        done = count;
        written.emplace_back(buffer, buffer + count);
        pending_.clear();
        now_ += 0.2; // the station's clock: each request a little later
        for (const sim::FrameParser::Event& e : parser_.Feed({buffer, count}, now_))
            if (e.is_frame) {
                const sim::Plan plan = station.Handle(e.frame, now_);
                pending_.insert(pending_.end(), plan.answer.begin(), plan.answer.end());
            }
        return 1;
    }
    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        received = static_cast<std::uint32_t>(std::min<std::size_t>(wanted, pending_.size()));
        std::copy_n(pending_.begin(), received, buffer);
        pending_.erase(pending_.begin(), pending_.begin() + received);
        return 1;
    }
    void PurgeRx() override { pending_.clear(); }
    void PurgeTx() override {}

    // Destination addresses of the frames written, in order.
    std::vector<int> Destinations() const
    {
        std::vector<int> out;
        for (const sim::Bytes& f : written)
            out.push_back(f.empty() ? -1 : f[0] == sim::kStartLong ? f[4] : f[1]);
        return out;
    }

private:
    sim::FrameParser parser_;
    std::deque<std::uint8_t> pending_;
    double now_ = 0.0;
};

// Puts a StationPort under the link for the life of the object, with the
// program at source address 0 and the instrument's address as destination.
// The link's pause before a repeated identification request is not waited.
class StationLink {
public:
    explicit StationLink(std::uint8_t address) : port(address)
    {
        link_set_port(&port);
        link_set_sleep_hook([](int) {});
        set_dest_address(address);
        set_source_address(0);
    }
    ~StationLink()
    {
        link_set_port(nullptr);
        link_set_sleep_hook(nullptr);
    }
    StationLink(const StationLink&) = delete;
    StationLink& operator=(const StationLink&) = delete;

    StationPort port;
};
