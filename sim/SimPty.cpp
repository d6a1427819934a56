#include "SimPty.h"

#include "SimLineSpeed.h"

#include "ComLinkPath.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool MakeDirs(const std::string& path, std::string& error)
{
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot create " + partial + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

int BaudFromSpeed(unsigned speed)
{
    switch (static_cast<speed_t>(speed)) {
    case B50:
        return 50;
    case B75:
        return 75;
    case B110:
        return 110;
    case B134:
        return 134;
    case B150:
        return 150;
    case B200:
        return 200;
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B1800:
        return 1800;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
#ifdef B460800
    case B460800:
        return 460800;
#endif
#ifdef B921600
    case B921600:
        return 921600;
#endif
    default:
        return 0;
    }
}

SimPty::~SimPty()
{
    Close();
}

bool SimPty::Open(int com, const std::string& config_dir, std::string& error)
{
    Close();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("pty set-up: ") + std::strerror(errno);
        Close();
        return false;
    }
    slave_path_ = name;
    slave_keep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_keep_ < 0) {
        error = "cannot open " + slave_path_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave_keep_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        tio.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(slave_keep_, TCSANOW, &tio);
    }
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);

    const std::string link = ComLinkPath(com, config_dir);
    if (!MakeDirs(link.substr(0, link.rfind('/')), error)) {
        Close();
        return false;
    }
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a link; not replaced";
            Close();
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(slave_path_.c_str(), link.c_str()) != 0) {
        error = "cannot make link " + link + ": " + std::strerror(errno);
        Close();
        return false;
    }
    link_path_ = link;
    StartReasserting();
    return true;
}

void SimPty::StartReasserting()
{
    if (reassert_ms_ <= 0 || slave_keep_ < 0)
        return;
    {
        std::lock_guard lock(reassert_mutex_);
        reassert_stop_ = false;
    }
    const int fd = slave_keep_;
    const auto period = std::chrono::milliseconds(reassert_ms_);
    reasserter_ = std::thread([this, fd, period] {
        std::unique_lock lock(reassert_mutex_);
        while (!reassert_wake_.wait_for(lock, period, [this] { return reassert_stop_; })) {
            termios tio{};
            if (::tcgetattr(fd, &tio) == 0 && (tio.c_cflag & CSTOPB) == 0) {
                tio.c_cflag |= CSTOPB;
                ::tcsetattr(fd, TCSANOW, &tio);
            }
        }
    });
}

void SimPty::StopReasserting()
{
    if (!reasserter_.joinable())
        return;
    {
        std::lock_guard lock(reassert_mutex_);
        reassert_stop_ = true;
    }
    reassert_wake_.notify_all();
    reasserter_.join();
}

void SimPty::Close()
{
    // The descriptor it works on is closed below.
    StopReasserting();
    if (!link_path_.empty()) {
        // Remove the link only while it still points at this pty: a newer
        // simulator may have taken the name over.
        char target[256] = {};
        const ssize_t n = ::readlink(link_path_.c_str(), target, sizeof target - 1);
        if (n > 0 && slave_path_ == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(link_path_.c_str());
        link_path_.clear();
    }
    if (slave_keep_ >= 0) {
        ::close(slave_keep_);
        slave_keep_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void SimPty::Vanish()
{
    if (!link_path_.empty()) {
        // Never the old pty path itself: its number may soon belong to
        // another terminal.
        const std::string nowhere = slave_path_ + ".closed";
        ::unlink(link_path_.c_str());
        [[maybe_unused]] const int rc = ::symlink(nowhere.c_str(), link_path_.c_str());
        link_path_.clear();
    }
    Close();
}

int SimPty::LineSpeed() const
{
    if (master_ < 0)
        return 9600;
    if (const int exact = ExactLineSpeed(master_); exact > 0)
        return exact;
    termios tio{};
    // On the master, tcgetattr reports the settings of the slave side, that
    // is, what the program set for its port.
    if (::tcgetattr(master_, &tio) != 0)
        return 9600;
    const int baud = BaudFromSpeed(static_cast<unsigned>(::cfgetospeed(&tio)));
    return baud > 0 ? baud : 9600;
}

} // namespace sim
