// orbena52-sim: a simulated ORBENA 52 instrument on a pseudo-terminal, so the
// program can be run and tested without the hardware.
#include "Orbena52Sim.h"
#include "SimOptions.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

namespace {

sim::Orbena52Sim* g_sim = nullptr;

extern "C" void OnStopSignal(int)
{
    if (g_sim != nullptr)
        g_sim->RequestStop();
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::SimOptions opts;
    std::string error;
    if (!sim::ParseSimOptions(args, opts, error)) {
        std::cerr << "orbena52-sim: " << error << "\n";
        return 2;
    }
    if (opts.help) {
        std::cout << sim::SimUsage();
        return 0;
    }
    if (opts.version) {
        std::cout << sim::SimVersion();
        return 0;
    }

    std::FILE* log = stderr;
    if (!opts.log_path.empty()) {
        log = std::fopen(opts.log_path.c_str(), "a");
        if (log == nullptr) {
            std::cerr << "orbena52-sim: cannot open log " << opts.log_path << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }

    sim::SimConfig config;
    config.com = opts.com;
    config.address = static_cast<std::uint8_t>(opts.address);
    config.pacing = opts.pacing;
    config.reassert_line_ms = opts.reassert_line_ms;
    config.log = log;
    sim::Orbena52Sim simulator(config);
    for (const sim::FaultOption& f : opts.faults)
        simulator.Inject(f.fault, f.count, f.param);

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    g_sim = &simulator;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (!simulator.Open(error)) {
        std::cerr << "orbena52-sim: " << error << "\n";
        g_sim = nullptr;
        return 1;
    }
    std::cout << "ready " << simulator.LinkPath() << " -> " << simulator.SlavePath() << std::endl;

    simulator.Run();
    while (simulator.Vanished() && opts.back_after_ms >= 0) {
        struct timespec pause {
            opts.back_after_ms / 1000, (opts.back_after_ms % 1000) * 1000000L
        };
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
        if (!simulator.Reappear(error)) {
            std::cerr << "orbena52-sim: " << error << "\n";
            break;
        }
        std::cout << "ready " << simulator.LinkPath() << " -> " << simulator.SlavePath() << std::endl;
        simulator.Run();
    }

    g_sim = nullptr;
    // The destructor closes the pty and removes the link.
    return 0;
}
