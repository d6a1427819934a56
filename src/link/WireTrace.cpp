#include "WireTrace.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

// Passes every call on to the real back end and tells the trace what went
// over the line.
class TracingBackend final : public SerialBackend {
public:
    TracingBackend(std::unique_ptr<SerialBackend> inner, std::unique_ptr<WireTraceLog> log)
        : inner_(std::move(inner)), log_(std::move(log))
    {}

    bool Open(const std::string& device_path) override
    {
        const bool ok = inner_->Open(device_path);
        // COM0 ("žádný port") has no device.
        log_->Note("open " + (device_path.empty() ? std::string("(no port)") : device_path) + (ok ? "" : " failed"));
        if (!ok)
            log_->EndGroup();
        return ok;
    }
    bool IsOpen() const override { return inner_->IsOpen(); }
    void Close() override
    {
        inner_->Close();
        log_->Note("close");
        log_->EndGroup();
    }
    bool SetQueues(std::uint32_t input_size, std::uint32_t output_size) override
    {
        return inner_->SetQueues(input_size, output_size);
    }
    bool SetTimeouts(std::uint32_t interval_ms, std::uint32_t per_byte_ms, std::uint32_t constant_ms) override
    {
        return inner_->SetTimeouts(interval_ms, per_byte_ms, constant_ms);
    }
    bool ReadLineState() override { return inner_->ReadLineState(); }
    void SetLineFormat(std::uint32_t baud_rate) override
    {
        baud_rate_ = baud_rate;
        inner_->SetLineFormat(baud_rate);
    }
    void SetSpeed(std::uint32_t baud_rate) override
    {
        baud_rate_ = baud_rate;
        inner_->SetSpeed(baud_rate);
    }
    bool ApplyLineState() override
    {
        const bool ok = inner_->ApplyLineState();
        const std::string speed = std::to_string(baud_rate_) + " bit/s";
        log_->Note(ok ? speed + ", 8 data bits, even parity, 1 stop bit" : "line settings refused at " + speed);
        return ok;
    }
    void PurgeRx() override { inner_->PurgeRx(); }
    void PurgeTx() override { inner_->PurgeTx(); }
    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        const bool ok = inner_->Read(buffer, wanted, received);
        log_->Received(buffer, wanted, received, ok);
        return ok;
    }
    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        const bool ok = inner_->Write(buffer, count, written);
        log_->Sent(buffer, count, written, ok);
        return ok;
    }

private:
    std::unique_ptr<SerialBackend> inner_;
    std::unique_ptr<WireTraceLog> log_;
    std::uint32_t baud_rate_ = 0;
};

} // namespace

std::string TraceHex(const std::uint8_t* bytes, std::size_t count)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

WireTraceLog::WireTraceLog(std::FILE* file, const std::string& first_note)
    : file_(file), wall_start_(std::chrono::system_clock::now()), steady_start_(std::chrono::steady_clock::now())
{
    Note(first_note);
}

WireTraceLog::~WireTraceLog()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

std::string WireTraceLog::Stamp() const
{
    using namespace std::chrono;
    const auto now = wall_start_ + duration_cast<system_clock::duration>(steady_clock::now() - steady_start_);
    const std::time_t secs = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    // The program has one thread; nothing else uses the shared result.
    const std::tm* tm = std::localtime(&secs);
    char date[32] = "";
    if (tm != nullptr)
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", tm);
    char out[48];
    std::snprintf(out, sizeof out, "%s.%03d", date, static_cast<int>(ms));
    return out;
}

void WireTraceLog::Line(const char* tag, const std::string& text)
{
    const std::string line = Stamp() + " " + tag + " " + text + "\n";
    std::fputs(line.c_str(), file_);
    // Each line reaches the file at once, so a trace of a program that hangs
    // or is killed still shows the last exchange.
    std::fflush(file_);
}

void WireTraceLog::Sent(const std::uint8_t* bytes, std::size_t count, std::size_t written, bool ok)
{
    if (in_exchange_)
        EndGroup();
    std::string text = count > 0 ? TraceHex(bytes, count) : "nothing";
    if (!ok)
        text += "  (write failed)";
    else if (written < count)
        text += "  (" + std::to_string(written) + " of " + std::to_string(count) + " bytes written)";
    Line("TX", text);
    in_exchange_ = true;
}

void WireTraceLog::Received(const std::uint8_t* bytes, std::size_t wanted, std::size_t received, bool ok)
{
    const std::string failed = ok ? "" : "read failed, ";
    const std::string count = std::to_string(received) + " of " + std::to_string(wanted) + " bytes";
    if (received == 0)
        Line("RX", "nothing received  (" + failed + count + ")");
    else if (!ok || received < wanted)
        Line("RX", TraceHex(bytes, received) + "  (" + failed + count + ")");
    else
        Line("RX", TraceHex(bytes, received));
    in_exchange_ = true;
}

void WireTraceLog::Note(const std::string& text)
{
    Line("--", text);
}

void WireTraceLog::EndGroup()
{
    std::fputs("\n", file_);
    std::fflush(file_);
    in_exchange_ = false;
}

std::unique_ptr<SerialBackend> WithWireTrace(std::unique_ptr<SerialBackend> backend, const std::string& trace_path,
                                             const std::string& first_note, std::string& error)
{
    error.clear();
    if (trace_path.empty())
        return backend;
    std::FILE* file = std::fopen(trace_path.c_str(), "a");
    if (file == nullptr) {
        error = "cannot open the wire trace " + trace_path + ": " + std::strerror(errno);
        return backend;
    }
    return std::make_unique<TracingBackend>(std::move(backend), std::make_unique<WireTraceLog>(file, first_note));
}
