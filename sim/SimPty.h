#pragma once
// The simulator's end of the serial line: a pseudo-terminal whose slave side
// the program opens as "COM n" through the link <config>/OrbKX52/COMn.
//
// The simulator keeps a slave descriptor of its own open for as long as the
// pty lives, so the program may open and close the port as often as it likes
// without the master seeing a hang-up.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace sim {

class SimPty {
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

    // Every `period_ms` (0: never, the default) while the pty is open, sets
    // two stop bits in the line settings of its slave side again, whatever
    // the program set. Wine opens a COM port on a pty by changing the line
    // settings it finds; a pty keeps no parity, so on a second opening the
    // only change wine asks for would be the parity the pty dropped, the
    // request changes nothing and the opening fails. With the stop bits put
    // back between openings, every opening changes them and goes through.
    // Takes effect at the next Open.
    void SetReassertLine(int period_ms) { reassert_ms_ = period_ms; }

    // Opens the pty, sets the line raw at 9600 bit/s and makes the link
    // `config_dir`/OrbKX52/COM`com` (config_dir empty:
    // the user's configuration folder), the same place the program looks.
    // An existing link of that name is replaced; any other file there is
    // left alone and the opening fails. False with `error` set on failure.
    bool Open(int com, const std::string& config_dir, std::string& error);
    // Closes both ends and removes the link (if it is still ours).
    void Close();
    // Closes both ends like an adapter pulled from the computer: the link
    // stays, pointing nowhere, so "COM n" still names this port and its
    // opening fails (instead of reaching some other device of that name).
    void Vanish();
    bool IsOpen() const { return master_ >= 0; }

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slave_path_; }
    const std::string& LinkPath() const { return link_path_; }

    // The speed the program set on its end of the line, in bit/s (9600 when
    // it cannot be read).
    int LineSpeed() const;

private:
    void StartReasserting();
    void StopReasserting();

    int master_ = -1;
    int slave_keep_ = -1;
    std::string slave_path_;
    std::string link_path_;

    int reassert_ms_ = 0;
    std::thread reasserter_;
    std::mutex reassert_mutex_;
    std::condition_variable reassert_wake_;
    bool reassert_stop_ = false;
};

// Bit/s for a termios speed constant (0 for an unknown one).
int BaudFromSpeed(unsigned speed);

} // namespace sim
