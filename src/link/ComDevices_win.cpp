// Windows names its COM ports itself: "COM n" is \\.\COMn, nothing to list
// or assign.
#include "ComDevices.h"

#include "SerialBackend.h"

ComTarget DescribeComTarget(int n)
{
    ComTarget target;
    target.device = DevicePathForCom(n);
    target.exists = !target.device.empty();
    target.accessible = target.exists;
    return target;
}

bool ComNamesAreLinks()
{
    return false;
}

std::vector<SerialDevice> ListSerialDevices(const std::string&, const std::string&)
{
    return {};
}

bool AssignComDevice(int, const std::string&, std::string& error, const std::string&)
{
    error = "COM ports are the system's own on Windows";
    return false;
}
