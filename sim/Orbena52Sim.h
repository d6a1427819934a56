#pragma once
// The simulated ORBENA 52 on a pseudo-terminal: reads the program's requests,
// answers them through SimStation, paces the answers at the line's speed and
// logs every frame. Runs in the calling thread (run) or in a thread of its own
// (start/stop); faults can be injected and counts read from any thread while
// it runs.
#include "SimFrames.h"
#include "SimPty.h"
#include "SimStation.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct SimConfig {
    int com = 1;
    std::uint8_t address = 0;
    bool pacing = true;
    std::string config_dir;   // empty: $XDG_CONFIG_HOME or ~/.config
    std::FILE* log = stderr;  // nullptr: no log
    int reassert_line_ms = 0; // see SimPty::SetReassertLine
};

// One line of traffic as the simulator saw it.
struct SimRecord {
    enum class Dir { Rx, Tx, Note };
    std::chrono::steady_clock::time_point time;
    Dir dir = Dir::Note;
    Bytes bytes;
    std::string text;
};

class Orbena52Sim {
public:
    explicit Orbena52Sim(SimConfig config = {});
    ~Orbena52Sim();
    Orbena52Sim(const Orbena52Sim&) = delete;
    Orbena52Sim& operator=(const Orbena52Sim&) = delete;

    // Creates the pty and the link. False with `error` set on failure.
    bool Open(std::string& error);
    const std::string& LinkPath() const { return pty_.LinkPath(); }
    const std::string& SlavePath() const { return pty_.SlavePath(); }

    // Serves requests until RequestStop() or until the port vanishes.
    void Run();
    // Run() in a thread of its own / ends it and waits for it.
    void Start();
    void Stop();
    // Safe to call from a signal handler.
    void RequestStop() noexcept;

    // Faults (see SimFaults); take effect from the next answer.
    void Inject(Fault f, int count = kAlways, std::optional<int> param = std::nullopt);
    void ClearFaults();
    int FaultRemaining(Fault f);

    // Counts of requests addressed to the simulated instrument.
    std::size_t Requests();
    std::size_t Requests(RequestKind kind);
    std::size_t ReadsOf(int table);
    std::size_t WritesOf(int table);
    void ResetCounts();

    std::vector<SimRecord> History();
    void ClearHistory();

    // After the port vanished: a new pty behind the same link, as if the
    // adapter were plugged in again. run() (or start()) serves it.
    bool Reappear(std::string& error);

    // True once the port has gone (injected fault).
    bool Vanished() const { return vanished_.load(); }
    int LastLineSpeed() const { return last_speed_.load(); }

    // Work on the instrument model under the simulator's lock.
    void WithStation(const std::function<void(SimStation&)>& fn);

private:
    double SecondsNow() const;
    void Process(std::span<const std::uint8_t> bytes);
    void Transmit(const Plan& plan, std::chrono::steady_clock::time_point request_end, int baud);
    bool SleepUntil(std::chrono::steady_clock::time_point t);
    bool WriteAll(const std::uint8_t* p, std::size_t n);
    void Record(SimRecord::Dir dir, std::span<const std::uint8_t> bytes, const std::string& text);

    SimConfig config_;
    SimPty pty_;
    FrameParser parser_;
    std::chrono::steady_clock::time_point epoch_;
    std::chrono::steady_clock::time_point chunk_time_;

    std::mutex mutex_; // guards station_ and history_
    SimStation station_;
    std::vector<SimRecord> history_;

    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> vanished_{false};
    std::atomic<int> last_speed_{9600};
    std::thread thread_;
};

} // namespace sim
