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

std::string wall_stamp()
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
    stop();
    pty_.close();
    for (int& fd : wake_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool Orbena52Sim::open(std::string& error)
{
    if (wake_[0] < 0) {
        error = "cannot create the wake-up pipe";
        return false;
    }
    if (!pty_.open(config_.com, config_.config_dir, error))
        return false;
    record(SimRecord::Dir::Note, {},
           "ORBENA 52 at address " + std::to_string(config_.address) + " on " + pty_.link_path() + " -> " +
               pty_.slave_path() + (config_.pacing ? "" : " (no pacing)"));
    return true;
}

bool Orbena52Sim::reappear(std::string& error)
{
    if (!pty_.open(config_.com, config_.config_dir, error))
        return false;
    parser_.clear();
    vanished_.store(false);
    record(SimRecord::Dir::Note, {}, "port back: " + pty_.link_path() + " -> " + pty_.slave_path());
    return true;
}

double Orbena52Sim::seconds_now() const
{
    return std::chrono::duration<double>(Clock::now() - epoch_).count();
}

void Orbena52Sim::record(SimRecord::Dir dir, std::span<const std::uint8_t> bytes, const std::string& text)
{
    SimRecord r;
    r.time = Clock::now();
    r.dir = dir;
    r.bytes.assign(bytes.begin(), bytes.end());
    r.text = text;
    std::string line;
    if (config_.log != nullptr) {
        const char* tag = dir == SimRecord::Dir::Rx ? "RX" : dir == SimRecord::Dir::Tx ? "TX" : "--";
        line = wall_stamp() + " " + tag + " " + (bytes.empty() ? text : to_hex(bytes));
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

void Orbena52Sim::run()
{
    // Fine-grained sleeps for pacing at high speeds.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::uint8_t buf[512];
    while (!stop_.load() && pty_.is_open()) {
        pollfd fds[2] = {{pty_.master_fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
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
            const ssize_t n = ::read(pty_.master_fd(), buf, sizeof buf);
            if (n > 0) {
                chunk_time_ = Clock::now();
                last_speed_.store(pty_.line_speed());
                process(std::span(buf, static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno != EIO && errno != EAGAIN && errno != EINTR)
                break;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 || (fds[0].revents & POLLIN) != 0) {
            // No slave end open (cannot happen while our own slave descriptor
            // is held, but a hang-up must not make this loop spin).
            sleep_until(Clock::now() + std::chrono::milliseconds(20));
        }
    }
}

void Orbena52Sim::start()
{
    if (thread_.joinable())
        return;
    stop_.store(false);
    thread_ = std::thread([this] { run(); });
}

void Orbena52Sim::stop()
{
    request_stop();
    if (thread_.joinable())
        thread_.join();
}

void Orbena52Sim::request_stop() noexcept
{
    stop_.store(true);
    if (wake_[1] >= 0) {
        const char c = 'x';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
    }
}

void Orbena52Sim::process(std::span<const std::uint8_t> bytes)
{
    const double now = seconds_now();
    for (FrameParser::Event& e : parser_.feed(bytes, now)) {
        if (!e.is_frame) {
            record(SimRecord::Dir::Note, {}, "discarded " + to_hex(e.discarded));
            continue;
        }
        Plan plan;
        int baud = 0;
        {
            std::lock_guard lock(mutex_);
            plan = station_.handle(e.frame, now);
        }
        record(SimRecord::Dir::Rx, e.frame.raw, plan.note);
        if (!plan.for_us)
            continue;
        baud = last_speed_.load();
        const auto request_end = config_.pacing
            ? chunk_time_ + std::chrono::microseconds(static_cast<long long>(e.frame.raw.size()) * kBitsPerChar *
                                                      1000000LL / baud)
            : Clock::now();
        if (plan.vanish && plan.unplug_at > 0 && plan.unplug_at < plan.answer.size())
            plan.answer.resize(plan.unplug_at);
        transmit(plan, request_end, baud);
        if (stop_.load())
            return;
        if (plan.vanish) {
            // Let the last answer reach the other end before the line goes.
            sleep_until(Clock::now() + std::chrono::milliseconds(30));
            record(SimRecord::Dir::Note, {}, "port closed (injected)");
            pty_.vanish();
            vanished_.store(true);
            return;
        }
    }
}

bool Orbena52Sim::sleep_until(Clock::time_point t)
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

bool Orbena52Sim::write_all(const std::uint8_t* p, std::size_t n)
{
    std::size_t done = 0;
    int waits = 0;
    while (done < n) {
        const ssize_t w = ::write(pty_.master_fd(), p + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN && waits++ < 100) {
            pollfd fd{pty_.master_fd(), POLLOUT, 0};
            ::poll(&fd, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

void Orbena52Sim::transmit(const Plan& plan, Clock::time_point request_end, int baud)
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
            if (!write_all(plan.answer.data() + sent, ready - sent))
                break;
            sent = ready;
            continue;
        }
        if (!sleep_until(due(sent)))
            break;
    }
    record(SimRecord::Dir::Tx, std::span(plan.answer.data(), sent),
           sent < n ? "answer broken off after " + std::to_string(sent) + " bytes" : std::string());
}

void Orbena52Sim::inject(Fault f, int count, std::optional<int> param)
{
    {
        std::lock_guard lock(mutex_);
        station_.faults().set(f, count, param);
    }
    record(SimRecord::Dir::Note, {},
           std::string("fault ") + fault_name(f) + (count == 0 ? " off" : count < 0 ? " always" : " for " + std::to_string(count)));
}

void Orbena52Sim::clear_faults()
{
    std::lock_guard lock(mutex_);
    station_.faults().clear_all();
}

int Orbena52Sim::fault_remaining(Fault f)
{
    std::lock_guard lock(mutex_);
    return station_.faults().remaining(f);
}

std::size_t Orbena52Sim::requests()
{
    std::lock_guard lock(mutex_);
    return station_.requests();
}

std::size_t Orbena52Sim::requests(RequestKind kind)
{
    std::lock_guard lock(mutex_);
    return station_.count(kind);
}

std::size_t Orbena52Sim::reads_of(int table)
{
    std::lock_guard lock(mutex_);
    return station_.reads_of(table);
}

std::size_t Orbena52Sim::writes_of(int table)
{
    std::lock_guard lock(mutex_);
    return station_.writes_of(table);
}

void Orbena52Sim::reset_counts()
{
    std::lock_guard lock(mutex_);
    station_.reset_counts();
}

std::vector<SimRecord> Orbena52Sim::history()
{
    std::lock_guard lock(mutex_);
    return history_;
}

void Orbena52Sim::clear_history()
{
    std::lock_guard lock(mutex_);
    history_.clear();
}

void Orbena52Sim::with_station(const std::function<void(SimStation&)>& fn)
{
    std::lock_guard lock(mutex_);
    station_.instrument().advance_to(seconds_now());
    fn(station_);
}

} // namespace sim
