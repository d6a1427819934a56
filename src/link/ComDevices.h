#pragma once
// Where "COM n" leads on this computer, which serial devices are present, and
// making one of them "COM n". On Linux "COM n" is the link
// <config>/OrbKX52/COMn when it exists, otherwise /dev/ttyS<n-1>
// (DevicePathForCom); these functions let the communication settings show
// that choice before anything is sent. On Windows the COM names are the
// system's own: nothing is listed or assigned there.
#include <string>
#include <vector>

struct ComTarget {
    // The device that opening "COM n" reaches: the link's target, or the
    // fallback device when there is no link. Empty for "žádný port".
    std::string device;
    bool through_link = false; // "COM n" is a link of the configuration folder
    bool dangling = false;     // that link points at nothing (adapter unplugged)
    bool exists = false;       // the device is there
    bool accessible = false;   // this user may read and write it
};

ComTarget DescribeComTarget(int n);

// True where "COM n" is a link of the configuration folder that the user
// may make (Linux); false where the system names its ports (Windows).
bool ComNamesAreLinks();

struct SerialDevice {
    std::string path;        // what to link "COM n" to (a stable /dev/serial/by-id name where there is one)
    std::string tty;         // the kernel's name of the port (ttyUSB0)
    std::string description; // maker and product where the system knows them, else empty
    bool accessible = false;
    std::string group; // the group that owns the device (for the advice to join it)
};

// The serial devices present below `dev_root`, described through `sys_root`:
// /dev/serial/by-id/* first, then ttyUSB*, ttyACM* and the ttyS* ports that
// have a UART behind them; a port reached by a by-id name is listed once.
std::vector<SerialDevice> ListSerialDevices(const std::string& dev_root = "/dev", const std::string& sys_root = "/sys");

// Makes `device` "COM n" by creating or replacing the link in the
// configuration folder (`config_dir` empty: the user's own). A file of that
// name that is not a link is left alone. False with `error` set on failure.
bool AssignComDevice(int n, const std::string& device, std::string& error, const std::string& config_dir = {});
