// Table-0 reads through the real port against the simulated instrument,
// which paces its answers at the line's speed. Prints, per speed, the median
// exchange time, the time the 28 characters (11-byte request, 17-byte answer)
// take on the wire at 11 bits each, and the difference: the program's and the
// simulator's own overhead.
//
//   bench_link [exchanges per speed, default 200]
#include "ComPort.h"
#include "DeviceTables.h"
#include "Orbena52Sim.h"
#include "Protokol_spol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    constexpr char kUsage[] = "usage: bench_link [EXCHANGES]\n"
                              "Times EXCHANGES table-0 reads (default 200) per line speed against the simulated\n"
                              "instrument and prints the median exchange, its time on the wire and the overhead.\n";
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    char* end = nullptr;
    const long asked = argc > 1 ? std::strtol(argv[1], &end, 10) : 200;
    if (argc > 2 || (argc > 1 && (end == argv[1] || *end != '\0' || asked < 0 || asked > 1000000))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const int exchanges = std::max(1, static_cast<int>(asked));

    char tmpl[] = "/tmp/kx52-bench-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = tmpl;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);

    constexpr int kCom = 8;
    sim::SimConfig config;
    config.com = kCom;
    config.address = 1;
    config.pacing = true;
    config.config_dir = dir;
    config.log = nullptr;
    sim::Orbena52Sim simulator(config);
    std::string error;
    if (!simulator.Open(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    simulator.Start();

    ComPort port;
    link_set_port(&port);
    set_dest_address(1);
    set_source_address(0);

    std::printf("table-0 read, %d exchanges per speed, simulator pacing 11 bits/char\n", exchanges);
    std::printf("%8s %10s %10s %10s %10s %10s %8s\n", "baud", "median ms", "wire ms", "overhead", "min ms", "p90 ms",
                "failed");
    int status = 0;
    for (const int baud : {9600, 115200}) {
        port.baud_rate = baud;
        port.com_index = kCom;
        if (port.OpenPort(kCom) != 0) {
            std::fprintf(stderr, "cannot open COM%d\n", kCom);
            status = 1;
            break;
        }
        // A few exchanges first, so the first measured one is not the one
        // that pages code in.
        for (int i = 0; i < 5; ++i)
            read_table(0);
        std::vector<double> ms;
        ms.reserve(static_cast<std::size_t>(exchanges));
        int failed = 0;
        for (int i = 0; i < exchanges; ++i) {
            const auto t0 = Clock::now();
            const std::uint8_t ok = read_table(0);
            const auto t1 = Clock::now();
            if (ok != 1) {
                ++failed;
                continue;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        port.ClosePort();
        const double wire = 28.0 * 11.0 * 1000.0 / baud;
        if (ms.empty()) {
            std::printf("%8d %10s %10.3f %10s %10s %10s %8d\n", baud, "-", wire, "-", "-", "-", failed);
            status = 1;
            continue;
        }
        const double median = Percentile(ms, 0.5);
        std::printf("%8d %10.3f %10.3f %10.3f %10.3f %10.3f %8d\n", baud, median, wire, median - wire,
                    Percentile(ms, 0.0), Percentile(ms, 0.9), failed);
        if (failed > 0)
            status = 1;
    }

    link_set_port(nullptr);
    simulator.Stop();
    const std::string cmd = "rm -rf '" + dir + "'";
    [[maybe_unused]] const int rc = std::system(cmd.c_str());
    return status;
}
