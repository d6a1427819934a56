// The line peer in the same process: a pty of the simulator's kind, linked as
// <config>/OrbKX52/COMn, or the simulated instrument itself on one.
#include "line_peer.h"

#include "Orbena52Sim.h"
#include "SimPty.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

class LocalLinePeer final : public LinePeer {
public:
    LocalLinePeer(int com, std::string config_dir, int reassert_line_ms)
        : com_(com), config_dir_(std::move(config_dir)), reassert_line_ms_(reassert_line_ms)
    {
        pty_.SetReassertLine(reassert_line_ms_);
    }
    // A peer with a configuration folder of its own, which the port finds
    // through XDG_CONFIG_HOME for as long as the peer lives.
    explicit LocalLinePeer(int com) : com_(com), owns_folder_(true)
    {
        char dir_template[] = "/tmp/kx52-line-XXXXXX";
        if (::mkdtemp(dir_template) != nullptr)
            config_dir_ = dir_template;
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            had_xdg_ = true;
            old_xdg_ = old;
        }
        ::setenv("XDG_CONFIG_HOME", config_dir_.c_str(), 1);
    }
    ~LocalLinePeer() override
    {
        StopWriting();
        sim_.reset();
        pty_.Close();
        if (!owns_folder_)
            return;
        if (had_xdg_)
            ::setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        if (!config_dir_.empty())
            std::filesystem::remove_all(config_dir_, ignored);
    }

    int Com() const override { return com_; }

    bool OpenLine(std::string& error) override
    {
        if (config_dir_.empty()) {
            error = "no temporary folder";
            return false;
        }
        StopWriting();
        sim_.reset();
        return pty_.Open(com_, config_dir_, error);
    }

    void SpoilLineSettings() override
    {
        const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return;
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            t.c_iflag |= IXON | IXOFF | IXANY | ICRNL | ISTRIP;
            t.c_oflag |= OPOST | ONLCR;
            t.c_lflag |= ICANON | ECHO | ISIG;
            ::tcsetattr(fd, TCSANOW, &t);
        }
        ::close(fd);
    }

    void Write(const Bytes& bytes) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(pty_.MasterFd(), bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                pollfd pfd{pty_.MasterFd(), POLLOUT, 0};
                if (n < 0 && errno == EAGAIN && ::poll(&pfd, 1, 1000) > 0)
                    continue;
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void WriteSpaced(const Bytes& bytes, int gap_ms) override
    {
        StopWriting();
        stop_ = false;
        writer_ = std::thread([this, bytes, gap_ms] {
            for (std::size_t i = 0; i < bytes.size() && !stop_; ++i) {
                Write({bytes[i]});
                std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
            }
        });
    }

    void StopWriting() override
    {
        stop_ = true;
        if (writer_.joinable())
            writer_.join();
    }

    Bytes ReadAll(int quiet_ms) override
    {
        Bytes got;
        for (;;) {
            pollfd pfd{pty_.MasterFd(), POLLIN, 0};
            if (::poll(&pfd, 1, quiet_ms) <= 0)
                return got;
            std::uint8_t chunk[512];
            const ssize_t n = ::read(pty_.MasterFd(), chunk, sizeof chunk);
            if (n <= 0)
                return got;
            got.insert(got.end(), chunk, chunk + n);
        }
    }

    bool StartSimulator(std::uint8_t address, std::string& error) override
    {
        StopWriting();
        pty_.Close();
        sim_.reset();
        sim::SimConfig c;
        c.com = com_;
        c.address = address;
        c.config_dir = config_dir_;
        c.log = nullptr;
        c.reassert_line_ms = reassert_line_ms_;
        sim_ = std::make_unique<sim::Orbena52Sim>(c);
        if (!sim_->Open(error)) {
            sim_.reset();
            return false;
        }
        sim_->WithStation([](sim::SimStation& st) { st.Instrument().SetFixedInput(12.0); });
        sim_->Start();
        return true;
    }

    bool Inject(const std::string& fault, int count, int param) override
    {
        for (std::size_t i = 0; sim_ && i < sim::kFaultCount; ++i) {
            const auto f = static_cast<sim::Fault>(i);
            if (fault == sim::FaultName(f)) {
                sim_->Inject(f, count, param < 0 ? std::nullopt : std::optional<int>(param));
                return true;
            }
        }
        return false;
    }

    std::size_t ReadsOf(int table) override { return sim_ ? sim_->ReadsOf(table) : 0; }
    std::size_t WritesOf(int table) override { return sim_ ? sim_->WritesOf(table) : 0; }

    std::vector<Bytes> Requests() override
    {
        std::vector<Bytes> out;
        if (sim_) {
            for (const sim::SimRecord& r : sim_->History())
                if (r.dir == sim::SimRecord::Dir::Rx)
                    out.push_back(r.bytes);
        }
        return out;
    }

private:
    int com_;
    std::string config_dir_;
    int reassert_line_ms_ = 0;
    bool owns_folder_ = false;
    bool had_xdg_ = false;
    std::string old_xdg_;
    sim::SimPty pty_;
    std::unique_ptr<sim::Orbena52Sim> sim_;
    std::thread writer_;
    std::atomic<bool> stop_{false};
};

} // namespace

std::unique_ptr<LinePeer> MakeLocalLinePeer(int com, const std::string& config_dir, int reassert_line_ms)
{
    return std::make_unique<LocalLinePeer>(com, config_dir, reassert_line_ms);
}

std::unique_ptr<LinePeer> MakeLinePeer(std::string& /*error*/)
{
    return std::make_unique<LocalLinePeer>(1);
}
