#pragma once
// The serial back end kx52ctl opens its port through.
#include "SerialBackend.h"

#include <memory>
#include <string>

// Passes every call on to the real back end; remembers which device an
// opening tried and why the system refused it, and opens a fixed device
// path instead of the one of "COM n" when the user named one.
class NotingBackend final : public SerialBackend {
public:
    NotingBackend(std::unique_ptr<SerialBackend> inner, std::string fixed_path)
        : inner_(std::move(inner)), fixed_path_(std::move(fixed_path))
    {}

    bool Open(const std::string& device_path) override;
    bool IsOpen() const override { return inner_->IsOpen(); }
    void Close() override { inner_->Close(); }
    bool SetQueues(std::uint32_t in, std::uint32_t out) override { return inner_->SetQueues(in, out); }
    bool SetTimeouts(std::uint32_t interval_ms, std::uint32_t per_byte_ms, std::uint32_t constant_ms) override
    {
        return inner_->SetTimeouts(interval_ms, per_byte_ms, constant_ms);
    }
    bool ReadLineState() override { return inner_->ReadLineState(); }
    void SetLineFormat(std::uint32_t baud_rate) override { inner_->SetLineFormat(baud_rate); }
    void SetSpeed(std::uint32_t baud_rate) override { inner_->SetSpeed(baud_rate); }
    bool ApplyLineState() override { return inner_->ApplyLineState(); }
    void PurgeRx() override { inner_->PurgeRx(); }
    void PurgeTx() override { inner_->PurgeTx(); }
    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        return inner_->Read(buffer, wanted, received);
    }
    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        return inner_->Write(buffer, count, written);
    }

    std::string tried_path;
    std::string reason;

private:
    std::unique_ptr<SerialBackend> inner_;
    std::string fixed_path_;
};
