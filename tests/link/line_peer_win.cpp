// The line peer under wine: wine's COM n is a Linux device, so the far end
// of the line is kx52-line-peer on the Linux side, reached over a local TCP
// connection named by KX52_LINE_PEER (host:port). This side only sends the
// test's commands and reads the answers (line_peer_wire.h).
#include "line_peer.h"
#include "line_peer_wire.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>

namespace {

class RemoteLinePeer final : public LinePeer {
public:
    ~RemoteLinePeer() override
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        if (started_)
            WSACleanup();
    }

    bool Connect(const std::string& where, std::string& error)
    {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            error = "no sockets";
            return false;
        }
        started_ = true;
        const std::size_t colon = where.rfind(':');
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (colon == std::string::npos ||
            getaddrinfo(where.substr(0, colon).c_str(), where.substr(colon + 1).c_str(), &hints, &found) != 0) {
            error = "cannot resolve line peer " + where;
            return false;
        }
        socket_ = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
        const bool connected =
            socket_ != INVALID_SOCKET && connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
        freeaddrinfo(found);
        if (!connected) {
            error = "cannot reach line peer " + where;
            return false;
        }
        const std::string greeting = ReadLine();
        if (greeting.rfind("com ", 0) != 0) {
            error = "line peer: " + greeting;
            return false;
        }
        com_ = std::atoi(greeting.c_str() + 4);
        return true;
    }

    int Com() const override { return com_; }

    bool OpenLine(std::string& error) override { return Ok(Ask("line"), error); }
    void SpoilLineSettings() override { Ask("spoil"); }
    void Write(const Bytes& bytes) override { Ask("write " + ToHex(bytes)); }
    void WriteSpaced(const Bytes& bytes, int gap_ms) override
    {
        Ask("spaced " + std::to_string(gap_ms) + " " + ToHex(bytes));
    }
    void StopWriting() override { Ask("stop"); }
    Bytes ReadAll(int quiet_ms) override { return FromHex(Ask("read " + std::to_string(quiet_ms))); }
    bool StartSimulator(std::uint8_t address, std::string& error) override
    {
        return Ok(Ask("sim " + std::to_string(address)), error);
    }
    bool Inject(const std::string& fault, int count, int param) override
    {
        std::string error;
        return Ok(Ask("inject " + fault + " " + std::to_string(count) + " " + std::to_string(param)), error);
    }
    std::size_t ReadsOf(int table) override { return Count(Ask("reads " + std::to_string(table))); }
    std::size_t WritesOf(int table) override { return Count(Ask("writes " + std::to_string(table))); }
    std::vector<Bytes> Requests() override
    {
        std::istringstream in(Ask("requests"));
        std::vector<Bytes> requests;
        for (std::string hex; in >> hex;)
            requests.push_back(FromHex(hex));
        return requests;
    }

private:
    static bool Ok(const std::string& answer, std::string& error)
    {
        if (answer == "ok")
            return true;
        error = answer;
        return false;
    }

    // A count the peer answers; no answer counts as none.
    static std::size_t Count(const std::string& answer) { return answer.empty() ? 0 : std::stoul(answer); }

    std::string Ask(const std::string& command)
    {
        const std::string line = command + "\n";
        std::size_t done = 0;
        while (done < line.size()) {
            const int n = send(socket_, line.data() + done, static_cast<int>(line.size() - done), 0);
            if (n <= 0)
                return "error line peer gone";
            done += static_cast<std::size_t>(n);
        }
        return ReadLine();
    }

    std::string ReadLine()
    {
        for (;;) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            char chunk[4096];
            const int n = recv(socket_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return "error line peer gone";
            pending_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::string pending_;
    int com_ = 0;
};

} // namespace

std::unique_ptr<LinePeer> MakeLinePeer(std::string& error)
{
    const char* where = std::getenv("KX52_LINE_PEER");
    if (where == nullptr || *where == '\0') {
        error = "no line peer (KX52_LINE_PEER): run under wine through scripts/test-windows.sh";
        return nullptr;
    }
    auto peer = std::make_unique<RemoteLinePeer>();
    if (!peer->Connect(where, error))
        return nullptr;
    return peer;
}
