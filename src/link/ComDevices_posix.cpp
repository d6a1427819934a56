// Serial devices on Linux, read from /dev and sysfs by hand: the by-id links
// that udev makes, the tty class in sysfs for the port type and the USB
// maker and product. This keeps the link layer free of Qt and of libudev,
// and lets the tests lay out a /dev and a /sys of their own.
#include "ComDevices.h"

#include "ComLinkPath.h"
#include "SerialBackend.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        // ttyUSB2 before ttyUSB10.
        const auto digits = [](const std::string& s) { return s.find_last_not_of("0123456789") + 1; };
        const std::size_t da = digits(a), db = digits(b);
        if (a.compare(0, da, b, 0, db) != 0 || da == a.size() || db == b.size())
            return a < b;
        return std::strtoul(a.c_str() + da, nullptr, 10) < std::strtoul(b.c_str() + db, nullptr, 10);
    });
    return names;
}

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string Resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr)
        return {};
    return buffer;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "FTDI FT232R USB UART": the maker and product of the USB device that the
// port belongs to, found a few folders above the port's sysfs device.
std::string UsbDescription(const std::string& sys_root, const std::string& tty)
{
    std::string folder = Resolved(sys_root + "/class/tty/" + tty + "/device");
    for (int up = 0; up < 4 && !folder.empty(); ++up) {
        const std::string product = FirstLine(folder + "/product");
        if (!product.empty()) {
            const std::string maker = FirstLine(folder + "/manufacturer");
            return maker.empty() || product.rfind(maker, 0) == 0 ? product : maker + " " + product;
        }
        folder = folder.substr(0, folder.rfind('/'));
    }
    return {};
}

SerialDevice Describe(const std::string& path, const std::string& tty, const std::string& sys_root)
{
    SerialDevice device;
    device.path = path;
    device.tty = tty;
    device.description = UsbDescription(sys_root, tty);
    device.accessible = ::access(path.c_str(), R_OK | W_OK) == 0;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        if (const group* owner = ::getgrgid(info.st_gid))
            device.group = owner->gr_name;
    return device;
}

bool HasPrefix(const std::string& name, const char* prefix)
{
    return name.rfind(prefix, 0) == 0 && name.size() > std::strlen(prefix);
}

} // namespace

ComTarget DescribeComTarget(int n)
{
    ComTarget target;
    target.device = DevicePathForCom(n);
    if (target.device.empty())
        return target;
    const std::string link = ComLinkPath(n);
    if (target.device == link) {
        target.through_link = true;
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
        if (length > 0)
            target.device.assign(buffer, static_cast<std::size_t>(length));
        // A link's relative target is relative to the link's own folder.
        if (!target.device.empty() && target.device.front() != '/')
            target.device = link.substr(0, link.rfind('/') + 1) + target.device;
    }
    struct stat info {};
    target.exists = ::stat(target.device.c_str(), &info) == 0;
    target.dangling = target.through_link && !target.exists;
    target.accessible = target.exists && ::access(target.device.c_str(), R_OK | W_OK) == 0;
    return target;
}

bool ComNamesAreLinks()
{
    return true;
}

std::vector<SerialDevice> ListSerialDevices(const std::string& dev_root, const std::string& sys_root)
{
    std::vector<SerialDevice> devices;
    std::vector<std::string> listed_ttys;
    const std::string by_id = dev_root + "/serial/by-id";
    for (const std::string& name : Entries(by_id)) {
        const std::string path = by_id + "/" + name;
        const std::string tty = BaseName(Resolved(path));
        if (tty.empty())
            continue;
        listed_ttys.push_back(tty);
        devices.push_back(Describe(path, tty, sys_root));
    }
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        for (const std::string& name : Entries(dev_root)) {
            if (!HasPrefix(name, prefix) ||
                name.find_first_not_of("0123456789", std::strlen(prefix)) != std::string::npos)
                continue;
            if (std::find(listed_ttys.begin(), listed_ttys.end(), name) != listed_ttys.end())
                continue;
            // Most ttyS nodes exist whether or not a UART is behind them; the
            // kernel gives the port type 0 to those without one.
            if (std::strcmp(prefix, "ttyS") == 0) {
                const std::string type = FirstLine(sys_root + "/class/tty/" + name + "/type");
                if (type.empty() || type == "0")
                    continue;
            }
            devices.push_back(Describe(dev_root + "/" + name, name, sys_root));
        }
    }
    return devices;
}

bool AssignComDevice(int n, const std::string& device, std::string& error, const std::string& config_dir)
{
    if (n <= 0) {
        error = "no port number";
        return false;
    }
    const std::string link = ComLinkPath(n, config_dir);
    // The folders up to the link.
    for (std::size_t slash = link.find('/', 1); slash != std::string::npos; slash = link.find('/', slash + 1)) {
        const std::string folder = link.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = link + " is not a link; left alone";
        return false;
    }
    // A new link beside the old one, then renamed over it: "COM n" never
    // points nowhere in between.
    const std::string fresh = link + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(device.c_str(), fresh.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(fresh.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}
