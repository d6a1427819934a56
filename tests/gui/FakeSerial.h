#pragma once
// A serial back end in memory that plays the instrument's part for table 0:
// every table-0 request written is answered with the values set here, unless
// the instrument is told to stay silent.
#include "SerialBackend.h"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct FakeLine {
    bool open = false;
    bool answering = true;
    float meas = 0.0f;
    float sum = 0.0f;
    int opens = 0;
    int closes = 0;
    // Devices that refuse to open, as a missing /dev/ttyS1 does.
    std::vector<std::string> missing;
    std::vector<std::vector<std::uint8_t>> written;
    std::deque<std::uint8_t> pending;
};

class FakeSerial : public SerialBackend {
public:
    explicit FakeSerial(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

    bool Open(const std::string& path) override
    {
        // "COM 0" stands for no port at all and never opens.
        if (path == DevicePathForCom(0))
            return false;
        for (const std::string& gone : line_->missing)
            if (path == gone)
                return false;
        line_->open = true;
        ++line_->opens;
        return true;
    }
    bool IsOpen() const override { return line_->open; }
    void Close() override
    {
        line_->open = false;
        ++line_->closes;
    }
    bool SetQueues(std::uint32_t, std::uint32_t) override { return true; }
    bool SetTimeouts(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    bool ReadLineState() override { return true; }
    void SetLineFormat(std::uint32_t) override {}
    void SetSpeed(std::uint32_t) override {}
    bool ApplyLineState() override { return true; }
    void PurgeRx() override { line_->pending.clear(); }
    void PurgeTx() override {}
    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        received = 0;
        while (received < wanted && !line_->pending.empty()) {
            buffer[received++] = line_->pending.front();
            line_->pending.pop_front();
        }
        return line_->open;
    }
    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        written = count;
        line_->written.emplace_back(buffer, buffer + count);
        // 68 05 05 68 DA SA 6C 01 00 FCS 16: a read of table 0.
        if (line_->answering && count == 11 && buffer[6] == 0x6C && buffer[7] == 0x01 && buffer[8] == 0x00) {
            std::uint8_t frame[17] = {0x68, 0x0B, 0x0B, 0x68, buffer[5], buffer[4], 0x08};
            std::memcpy(frame + 7, &line_->meas, 4);
            std::memcpy(frame + 11, &line_->sum, 4);
            std::uint8_t fcs = 0;
            for (int i = 4; i < 15; ++i)
                fcs = static_cast<std::uint8_t>(fcs + frame[i]);
            frame[15] = fcs;
            frame[16] = 0x16;
            line_->pending.insert(line_->pending.end(), frame, frame + 17);
        }
        return line_->open;
    }

private:
    std::shared_ptr<FakeLine> line_;
};
