// kx52-line-peer: the Linux side of the serial tests under wine. Wine's COM n
// is whatever $WINEPREFIX/dosdevices/comN points at; for each connection
// from a test this program takes a free COM number, points it at a line of
// its own (a pty with this program or the simulated instrument on the far
// side) and carries out the test's commands on that line (line_peer_wire.h).
//
//   kx52-line-peer --prefix WINEPREFIX --port-file FILE [--reassert-line MS]
// listens on a free port of 127.0.0.1 and writes its number to FILE. With
// --reassert-line its ptys set two stop bits again every MS milliseconds, so
// that wine opens a line more than once (as orbena52-sim --reassert-line).
#include "line_peer.h"
#include "line_peer_wire.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string g_prefix;
int g_reassert_line_ms = 0;
std::mutex g_mutex;
std::set<int> g_used; // COM numbers in use

int TakeCom()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (int n = 1; n < 100; ++n) {
        if (g_used.insert(n).second)
            return n;
    }
    return 0;
}

void GiveBack(int n)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_used.erase(n);
}

bool SendLine(int fd, const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One command line to its answer.
std::string Carry(LinePeer& peer, const std::string& line)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    std::string error;
    if (verb == "line")
        return peer.OpenLine(error) ? "ok" : "error " + error;
    if (verb == "spoil") {
        peer.SpoilLineSettings();
        return "ok";
    }
    if (verb == "write") {
        std::string hex;
        in >> hex;
        peer.Write(FromHex(hex));
        return "ok";
    }
    if (verb == "spaced") {
        int gap = 0;
        std::string hex;
        in >> gap >> hex;
        peer.WriteSpaced(FromHex(hex), gap);
        return "ok";
    }
    if (verb == "stop") {
        peer.StopWriting();
        return "ok";
    }
    if (verb == "read") {
        int quiet = 200;
        in >> quiet;
        return ToHex(peer.ReadAll(quiet));
    }
    if (verb == "sim") {
        int address = 0;
        in >> address;
        return peer.StartSimulator(static_cast<std::uint8_t>(address), error) ? "ok" : "error " + error;
    }
    if (verb == "inject") {
        std::string name;
        int count = -1;
        int param = -1;
        in >> name >> count >> param;
        return peer.Inject(name, count, param) ? "ok" : "error no fault " + name;
    }
    if (verb == "reads" || verb == "writes") {
        int table = 0;
        in >> table;
        return std::to_string(verb == "reads" ? peer.ReadsOf(table) : peer.WritesOf(table));
    }
    if (verb == "requests") {
        std::string text;
        for (const Bytes& request : peer.Requests())
            text += (text.empty() ? "" : " ") + ToHex(request);
        return text;
    }
    return "error unknown command " + verb;
}

void Serve(int fd)
{
    const int com = TakeCom();
    const std::string dir = g_prefix + "/kx52-lines/com" + std::to_string(com);
    const std::string device = g_prefix + "/dosdevices/com" + std::to_string(com);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directories(dir, ignored);
    ::unlink(device.c_str());
    // Through the link the line makes, so each fresh pty is reached at once.
    if (com == 0 || ::symlink((dir + "/OrbKX52/COM" + std::to_string(com)).c_str(), device.c_str()) != 0) {
        SendLine(fd, "error no COM number free");
    } else {
        std::unique_ptr<LinePeer> peer = MakeLocalLinePeer(com, dir, g_reassert_line_ms);
        SendLine(fd, "com " + std::to_string(com));
        std::string pending;
        char chunk[4096];
        for (;;) {
            const std::size_t end = pending.find('\n');
            if (end != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!SendLine(fd, Carry(*peer, line)))
                    break;
                continue;
            }
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            pending.append(chunk, static_cast<std::size_t>(n));
        }
        peer.reset();
        ::unlink(device.c_str());
    }
    std::filesystem::remove_all(dir, ignored);
    ::close(fd);
    if (com != 0)
        GiveBack(com);
}

} // namespace

int main(int argc, char** argv)
{
    std::string port_file;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--prefix")
            g_prefix = argv[i + 1];
        else if (option == "--port-file")
            port_file = argv[i + 1];
        else if (option == "--reassert-line")
            g_reassert_line_ms = std::atoi(argv[i + 1]);
    }
    if (g_prefix.empty() || port_file.empty()) {
        std::fprintf(stderr, "usage: kx52-line-peer --prefix WINEPREFIX --port-file FILE [--reassert-line MS]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "kx52-line-peer: cannot listen: %s\n", std::strerror(errno));
        return 1;
    }
    {
        const std::string partial = port_file + ".part";
        std::ofstream(partial) << ntohs(address.sin_port) << "\n";
        std::filesystem::rename(partial, port_file);
    }
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        std::thread(Serve, fd).detach();
    }
}
