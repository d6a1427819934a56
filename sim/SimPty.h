#pragma once
// The simulator's end of the serial line: a pseudo-terminal whose slave side
// the program opens as "COM n" through the link <config>/OrbKX52/COMn.
//
// The simulator keeps a slave descriptor of its own open for as long as the
// pty lives, so the program may open and close the port as often as it likes
// without the master seeing a hang-up.
#include <string>

namespace sim {

class SimPty {
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

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
    int master_ = -1;
    int slave_keep_ = -1;
    std::string slave_path_;
    std::string link_path_;
};

// Bit/s for a termios speed constant (0 for an unknown one).
int BaudFromSpeed(unsigned speed);

} // namespace sim
