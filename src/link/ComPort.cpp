#include "ComPort.h"

#include "KxError.h"

#include <thread>
#include <utility>

namespace {

// Driver queue sizes and read time-outs of every opening: at most 100 ms
// between two received bytes, 2 ms per wanted byte plus 500 ms for a whole
// read.
constexpr std::uint32_t kQueueSize = 256;
constexpr std::uint32_t kIntervalMs = 100;
constexpr std::uint32_t kPerByteMs = 2;
constexpr std::uint32_t kConstantMs = 500;
// Bits a byte takes on the line: start bit, 8 data bits, parity, stop bit.
constexpr std::uint64_t kBitsPerByte = 11;

// The name the user knows the port by, also in every message: "COM" and the
// number, COM0 for "žádný port".
std::string ComName(std::int32_t n)
{
    return "COM" + std::to_string(n);
}

// Speeds below 1 cannot be set; they are passed as 0, which every back end
// refuses, instead of wrapping round to a huge unsigned speed.
std::uint32_t SpeedArgument(std::int32_t baud)
{
    return baud > 0 ? static_cast<std::uint32_t>(baud) : 0u;
}

// The time `bytes` bytes take on the line at `baud` bit/s, rounded up.
std::chrono::nanoseconds LineTime(std::size_t bytes, std::int32_t baud)
{
    if (baud <= 0) {
        return std::chrono::nanoseconds(0);
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes) * kBitsPerByte;
    const auto rate = static_cast<std::uint64_t>(baud);
    return std::chrono::nanoseconds((bits * 1000000000ull + rate - 1) / rate);
}

} // namespace

ComPort::ComPort(std::unique_ptr<SerialBackend> backend) : backend_(std::move(backend)) {}

ComPort::~ComPort()
{
    ClosePort();
}

std::int32_t ComPort::OpenPort(std::int32_t n)
{
    const std::string name = ComName(n);
    // A port still open from an earlier action is closed first: the new
    // opening would otherwise be refused by our own exclusive hold, and the
    // old handle would be lost.
    if (backend_->IsOpen()) {
        WaitUntilSent();
        backend_->Close();
    }
    if (!backend_->Open(DevicePathForCom(n))) {
        ResetSelection();
        port_name = name;
        return 1;
    }
    if (!backend_->SetQueues(kQueueSize, kQueueSize)) {
        FailAfterOpen("Na " + name + " nelze otevřít vyrovnávací buffer");
    }
    if (!backend_->SetTimeouts(kIntervalMs, kPerByteMs, kConstantMs)) {
        FailAfterOpen("Na " + name + " nelze nastavit Timeout");
    }
    if (!backend_->ReadLineState()) {
        FailAfterOpen("Nelze získat konfiguraci na sériovém portu " + name);
    }
    backend_->SetLineFormat(SpeedArgument(baud_rate));
    ApplyLineSettings();
    backend_->PurgeTx();
    backend_->PurgeRx();
    return 0;
}

void ComPort::RaiseOpenError()
{
    throw KxError("Sériový port " + port_name + " nelze otevřít");
}

void ComPort::OpenPortOrRaise(std::int32_t n, const std::function<void()>& before_raise)
{
    if (OpenPort(n) == 0)
        return;
    if (before_raise)
        before_raise();
    RaiseOpenError();
}

bool ComPort::TryOpenPort(std::int32_t n, std::string& error)
{
    keep_selection_ = true;
    try {
        const bool opened = OpenPort(n) == 0;
        keep_selection_ = false;
        if (!opened)
            error = "Sériový port " + port_name + " nelze otevřít";
        return opened;
    } catch (const KxError& e) {
        keep_selection_ = false;
        error = e.what();
        return false;
    }
}

void ComPort::ClosePort()
{
    if (backend_ && backend_->IsOpen()) {
        WaitUntilSent();
        backend_->Close();
    }
}

void ComPort::ApplyLineSettings()
{
    // The name is taken before anything can reset the selection.
    const std::string name = ComName(com_index);
    if (!backend_->ApplyLineState()) {
        FailAfterOpen("Nepodařila se reinicializace portu " + name);
    }
}

void ComPort::SetLineSpeed(std::int32_t baud)
{
    baud_rate = baud;
    backend_->SetSpeed(SpeedArgument(baud));
}

std::uint8_t ComPort::ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received)
{
    received = 0;
    if (!backend_->IsOpen() || (buffer == nullptr && wanted > 0)) {
        return 0;
    }
    std::size_t got = 0;
    const bool ok = backend_->Read(buffer, wanted, got);
    received = static_cast<std::uint32_t>(got);
    return ok ? 1 : 0;
}

std::uint8_t ComPort::WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written)
{
    written = 0;
    if (!backend_->IsOpen() || (buffer == nullptr && count > 0)) {
        return 0;
    }
    // An answer left over from an earlier exchange must never be read as
    // the answer to this request. The wait for the previous frame comes
    // first, so that nothing arriving during it escapes the input purge.
    WaitUntilSent();
    PurgeRx();
    PurgeTx();
    const auto start = std::chrono::steady_clock::now();
    std::size_t put = 0;
    const bool ok = backend_->Write(buffer, count, put);
    sent_by_ = start + LineTime(put, baud_rate);
    written = static_cast<std::uint32_t>(put);
    return ok ? 1 : 0;
}

void ComPort::PurgeRx()
{
    if (backend_->IsOpen()) {
        backend_->PurgeRx();
    }
}

void ComPort::PurgeTx()
{
    if (backend_->IsOpen()) {
        WaitUntilSent();
        backend_->PurgeTx();
    }
}

void ComPort::WaitUntilSent()
{
    if (std::chrono::steady_clock::now() < sent_by_) {
        std::this_thread::sleep_until(sent_by_);
    }
}

bool ComPort::IsOpen() const
{
    return backend_->IsOpen();
}

void ComPort::ResetSelection()
{
    if (keep_selection_)
        return;
    com_index = 0;
    OnPortSelectionReset();
}

void ComPort::FailAfterOpen(const std::string& message)
{
    backend_->Close();
    ResetSelection();
    throw KxError(message);
}
