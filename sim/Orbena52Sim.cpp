#include "Orbena52Sim.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// Bits per character on the line: start, 8 data, parity, stop.
constexpr int kBitsPerChar = 11;
// Records kept for the tests; the oldest half goes when the limit is reached.
constexpr std::size_t kHistoryLimit = 20000;

std::string WallStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    char buf[48];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    char out[64];
    std::snprintf(out, sizeof out, "%s.%03d", buf, static_cast<int>(ms));
    return out;
}

} // namespace

Orbena52Sim::Orbena52Sim(SimConfig config)
    : config_(std::move(config)), epoch_(Clock::now()), station_(config_.address, 0.0)
{
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_[0] = -1;
        wake_[1] = -1;
    }
}

Orbena52Sim::~Orbena52Sim()
{
    Stop();
    pty_.Close();
    for (int& fd : wake_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool Orbena52Sim::Open(std::string& error)
{
    if (wake_[0] < 0) {
        error = "cannot create the wake-up pipe";
        return false;
    }
    pty_.SetReassertLine(config_.reassert_line_ms);
    if (!pty_.Open(config_.com, config_.config_dir, error))
        return false;
    Record(SimRecord::Dir::Note, {},
           "ORBENA 52 at address " + std::to_string(config_.address) + " on " + pty_.LinkPath() + " -> " +
               pty_.SlavePath() + (config_.pacing ? "" : " (no pacing)"));
    return true;
}

bool Orbena52Sim::Reappear(std::string& error)
{
    if (!pty_.Open(config_.com, config_.config_dir, error))
        return false;
    parser_.Clear();
    vanished_.store(false);
    Record(SimRecord::Dir::Note, {}, "port back: " + pty_.LinkPath() + " -> " + pty_.SlavePath());
    return true;
}

double Orbena52Sim::SecondsNow() const
{
    return std::chrono::duration<double>(Clock::now() - epoch_).count();
}

void Orbena52Sim::Record(SimRecord::Dir dir, std::span<const std::uint8_t> bytes, const std::string& text)
{
    SimRecord r;
    r.time = Clock::now();
    r.dir = dir;
    r.bytes.assign(bytes.begin(), bytes.end());
    r.text = text;
    std::string line;
    if (config_.log != nullptr) {
        const char* tag = dir == SimRecord::Dir::Rx ? "RX" : dir == SimRecord::Dir::Tx ? "TX" : "--";
        line = WallStamp() + " " + tag + " " + (bytes.empty() ? text : ToHex(bytes));
        if (!bytes.empty() && !text.empty())
            line += "  (" + text + ")";
        line += '\n';
    }
    std::lock_guard lock(mutex_);
    if (history_.size() >= kHistoryLimit)
        history_.erase(history_.begin(), history_.begin() + kHistoryLimit / 2);
    history_.push_back(std::move(r));
    if (config_.log != nullptr) {
        std::fputs(line.c_str(), config_.log);
        std::fflush(config_.log);
    }
}

void Orbena52Sim::Run()
{
    // Fine-grained sleeps for pacing at high speeds.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::uint8_t buf[512];
    while (!stop_.load() && pty_.IsOpen()) {
        pollfd fds[2] = {{pty_.MasterFd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, 200);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0) {
            char drain[16];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(pty_.MasterFd(), buf, sizeof buf);
            if (n > 0) {
                chunk_time_ = Clock::now();
                last_speed_.store(pty_.LineSpeed());
                Process(std::span(buf, static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno != EIO && errno != EAGAIN && errno != EINTR)
                break;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 || (fds[0].revents & POLLIN) != 0) {
            // No slave end open (cannot happen while our own slave descriptor
            // is held, but a hang-up must not make this loop spin).
            SleepUntil(Clock::now() + std::chrono::milliseconds(20));
        }
    }
}

void Orbena52Sim::Start()
{
    if (thread_.joinable())
        return;
    stop_.store(false);
    thread_ = std::thread([this] { Run(); });
}

void Orbena52Sim::Stop()
{
    RequestStop();
    if (thread_.joinable())
        thread_.join();
}

void Orbena52Sim::RequestStop() noexcept
{
    stop_.store(true);
    if (wake_[1] >= 0) {
        const char c = 'x';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
    }
}

void Orbena52Sim::Process(std::span<const std::uint8_t> bytes)
{
    const double now = SecondsNow();
    for (FrameParser::Event& e : parser_.Feed(bytes, now)) {
        if (!e.is_frame) {
            Record(SimRecord::Dir::Note, {}, "discarded " + ToHex(e.discarded));
            continue;
        }
        Plan plan;
        int baud = 0;
        {
            std::lock_guard lock(mutex_);
            plan = station_.Handle(e.frame, now);
        }
        Record(SimRecord::Dir::Rx, e.frame.raw, plan.note);
        if (!plan.for_us)
            continue;
        baud = last_speed_.load();
        const auto request_end =
            config_.pacing ? chunk_time_ + std::chrono::microseconds(static_cast<long long>(e.frame.raw.size()) *
                                                                     kBitsPerChar * 1000000LL / baud)
                           : Clock::now();
        if (plan.vanish && plan.unplug_at > 0 && plan.unplug_at < plan.answer.size())
            plan.answer.resize(plan.unplug_at);
        Transmit(plan, request_end, baud);
        if (stop_.load())
            return;
        if (plan.vanish) {
            // Let the last answer reach the other end before the line goes.
            SleepUntil(Clock::now() + std::chrono::milliseconds(30));
            Record(SimRecord::Dir::Note, {}, "port closed (injected)");
            pty_.Vanish();
            vanished_.store(true);
            return;
        }
    }
}

bool Orbena52Sim::SleepUntil(Clock::time_point t)
{
    for (;;) {
        if (stop_.load())
            return false;
        const auto now = Clock::now();
        if (now >= t)
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(t - now).count();
        timespec ts{static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
        pollfd fd{wake_[0], POLLIN, 0};
        ::ppoll(&fd, 1, &ts, nullptr);
    }
}

bool Orbena52Sim::WriteAll(const std::uint8_t* p, std::size_t n)
{
    std::size_t done = 0;
    int waits = 0;
    while (done < n) {
        const ssize_t w = ::write(pty_.MasterFd(), p + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN && waits++ < 100) {
            pollfd fd{pty_.MasterFd(), POLLOUT, 0};
            ::poll(&fd, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

void Orbena52Sim::Transmit(const Plan& plan, Clock::time_point request_end, int baud)
{
    if (plan.answer.empty())
        return;
    const std::size_t n = plan.answer.size();
    const auto char_time = config_.pacing
                               ? std::chrono::nanoseconds(static_cast<long long>(kBitsPerChar) * 1000000000LL / baud)
                               : std::chrono::nanoseconds(0);
    const auto start = std::max(request_end, Clock::now()) + std::chrono::milliseconds(plan.delay_ms);
    const auto pause = std::chrono::milliseconds(plan.pause_ms);
    // Byte i is complete on the line one character time after byte i - 1.
    auto due = [&](std::size_t i) {
        auto t = start + char_time * static_cast<long long>(i + 1);
        if (plan.pause_ms > 0 && i >= plan.pause_at)
            t += pause;
        return t;
    };
    std::size_t sent = 0;
    while (sent < n) {
        const auto now = Clock::now();
        std::size_t ready = sent;
        while (ready < n && due(ready) <= now)
            ++ready;
        if (ready > sent) {
            if (!WriteAll(plan.answer.data() + sent, ready - sent))
                break;
            sent = ready;
            continue;
        }
        if (!SleepUntil(due(sent)))
            break;
    }
    Record(SimRecord::Dir::Tx, std::span(plan.answer.data(), sent),
           sent < n ? "answer broken off after " + std::to_string(sent) + " bytes" : std::string());
}

void Orbena52Sim::Inject(Fault f, int count, std::optional<int> param)
{
    {
        std::lock_guard lock(mutex_);
        station_.Faults().Set(f, count, param);
    }
    Record(SimRecord::Dir::Note, {},
           std::string("fault ") + FaultName(f) +
               (count == 0  ? " off"
                : count < 0 ? " always"
                            : " for " + std::to_string(count)));
}

void Orbena52Sim::ClearFaults()
{
    std::lock_guard lock(mutex_);
    station_.Faults().ClearAll();
}

int Orbena52Sim::FaultRemaining(Fault f)
{
    std::lock_guard lock(mutex_);
    return station_.Faults().Remaining(f);
}

std::size_t Orbena52Sim::Requests()
{
    std::lock_guard lock(mutex_);
    return station_.Requests();
}

std::size_t Orbena52Sim::Requests(RequestKind kind)
{
    std::lock_guard lock(mutex_);
    return station_.Count(kind);
}

std::size_t Orbena52Sim::ReadsOf(int table)
{
    std::lock_guard lock(mutex_);
    return station_.ReadsOf(table);
}

std::size_t Orbena52Sim::WritesOf(int table)
{
    std::lock_guard lock(mutex_);
    return station_.WritesOf(table);
}

void Orbena52Sim::ResetCounts()
{
    std::lock_guard lock(mutex_);
    station_.ResetCounts();
}

std::vector<SimRecord> Orbena52Sim::History()
{
    std::lock_guard lock(mutex_);
    return history_;
}

void Orbena52Sim::ClearHistory()
{
    std::lock_guard lock(mutex_);
    history_.clear();
}

void Orbena52Sim::WithStation(const std::function<void(SimStation&)>& fn)
{
    std::lock_guard lock(mutex_);
    station_.Instrument().AdvanceTo(SecondsNow());
    fn(station_);
}

} // namespace sim
