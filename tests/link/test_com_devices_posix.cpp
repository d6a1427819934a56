// Where "COM n" leads, the serial devices found in a /dev and /sys laid out by
// the test, and making a device "COM n" in a temporary configuration folder.
#include "ComDevices.h"
#include "ComLinkPath.h"
#include "SerialBackend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ComDevicesTest : public ::testing::Test {
protected:
    fs::path root;
    std::string old_xdg;
    bool had_xdg = false;

    void SetUp() override
    {
        char name[] = "/tmp/kx52-comdev-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root = name;
        if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
            had_xdg = true;
            old_xdg = xdg;
        }
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    }
    void TearDown() override
    {
        if (had_xdg)
            setenv("XDG_CONFIG_HOME", old_xdg.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(root);
    }
    static void Touch(const fs::path& path, const std::string& text = {})
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    static void Link(const fs::path& link, const std::string& target)
    {
        fs::create_directories(link.parent_path());
        fs::create_symlink(target, link);
    }
};

TEST_F(ComDevicesTest, TheTargetOfComNIsShownAsOpeningWouldReachIt)
{
    Touch(root / "dev/ttyUSB0");
    Link(root / "config/OrbKX52/COM2", (root / "dev/ttyUSB0").string());
    Link(root / "config/OrbKX52/COM3", "../../dev/ttyUSB0");             // relative to the link's folder
    Link(root / "config/OrbKX52/COM4", (root / "dev/ttyUSB9").string()); // adapter unplugged

    struct Case {
        int n;
        std::string device;
        bool through_link, dangling, exists;
    } const cases[] = {
        {0, "", false, false, false},
        {2, (root / "dev/ttyUSB0").string(), true, false, true},
        {3, (root / "config/OrbKX52/../../dev/ttyUSB0").string(), true, false, true},
        {4, (root / "dev/ttyUSB9").string(), true, true, false},
        {7, "/dev/ttyS6", false, false, fs::exists("/dev/ttyS6")},
    };
    for (const Case& c : cases) {
        const ComTarget target = DescribeComTarget(c.n);
        EXPECT_EQ(target.device, c.device) << "COM" << c.n;
        EXPECT_EQ(target.through_link, c.through_link) << "COM" << c.n;
        EXPECT_EQ(target.dangling, c.dangling) << "COM" << c.n;
        EXPECT_EQ(target.exists, c.exists) << "COM" << c.n;
        if (c.n == 2 || c.n == 3) {
            EXPECT_TRUE(target.accessible) << "COM" << c.n;
            // What is shown is what the port opens.
            EXPECT_EQ(fs::canonical(DevicePathForCom(c.n)), fs::canonical(target.device));
        }
    }
}

TEST_F(ComDevicesTest, ADeviceThisUserCannotOpenIsShownAsInaccessible)
{
    Touch(root / "dev/ttyUSB0");
    ASSERT_EQ(chmod((root / "dev/ttyUSB0").c_str(), 0660), 0);
    Link(root / "config/OrbKX52/COM1", (root / "dev/ttyUSB0").string());
    if (geteuid() != 0) {
        // The file is the user's own here; take the rights away instead.
        ASSERT_EQ(chmod((root / "dev/ttyUSB0").c_str(), 0), 0);
        EXPECT_FALSE(DescribeComTarget(1).accessible);
        EXPECT_FALSE(ListSerialDevices((root / "dev").string(), (root / "sys").string()).front().accessible);
        return;
    }
    // Root may open anything: ask as "nobody", who is not in the device's group.
    constexpr uid_t kNobody = 65534;
    for (const fs::path& p : {root, root / "config", root / "config/OrbKX52", root / "dev"})
        ASSERT_EQ(chmod(p.c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(200);
        const ComTarget target = DescribeComTarget(1);
        const auto listed = ListSerialDevices((root / "dev").string(), (root / "sys").string());
        _exit(target.exists && !target.accessible && listed.size() == 1 && !listed[0].accessible ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 200)
        GTEST_SKIP() << "this root cannot become nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ComDevicesTest, DevicesAreListedByIdFirstThenUsbAcmAndUartPortsOnce)
{
    const fs::path dev = root / "dev", sys = root / "sys";
    for (const char* name : {"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "ttySx", "tty1"})
        Touch(dev / name);
    Link(dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    // sysfs: the USB adapter's maker and product two folders above the port.
    const fs::path usb = sys / "devices/pci0000:00/usb1/1-1";
    Touch(usb / "manufacturer", "FTDI\n");
    Touch(usb / "product", "FT232R USB UART\n");
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    Link(sys / "class/tty/ttyUSB0/device", (usb / "1-1:1.0/ttyUSB0").string());
    Touch(sys / "class/tty/ttyS0/type", "4\n"); // a 16550A
    Touch(sys / "class/tty/ttyS1/type", "0\n"); // no UART behind it
    // ttyS2 has no sysfs entry at all: not a port to offer.

    const auto devices = ListSerialDevices(dev.string(), sys.string());
    std::vector<std::string> paths, ttys;
    for (const SerialDevice& d : devices) {
        paths.push_back(d.path);
        ttys.push_back(d.tty);
    }
    EXPECT_EQ(ttys, (std::vector<std::string>{"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0"}));
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(paths[0], (dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(devices[0].description, "FTDI FT232R USB UART");
    EXPECT_EQ(devices[1].description, "");
    EXPECT_TRUE(ListSerialDevices((root / "none").string(), sys.string()).empty());
}

TEST_F(ComDevicesTest, AssigningCreatesOrReplacesTheLinkAndLeavesOtherFilesAlone)
{
    Touch(root / "dev/ttyUSB0");
    Touch(root / "dev/ttyACM0");
    std::string error;
    // The configuration folder does not exist yet.
    ASSERT_TRUE(AssignComDevice(2, (root / "dev/ttyUSB0").string(), error)) << error;
    EXPECT_EQ(DevicePathForCom(2), ComLinkPath(2));
    EXPECT_EQ(DescribeComTarget(2).device, (root / "dev/ttyUSB0").string());
    ASSERT_TRUE(AssignComDevice(2, (root / "dev/ttyACM0").string(), error)) << error;
    EXPECT_EQ(DescribeComTarget(2).device, (root / "dev/ttyACM0").string());
    EXPECT_FALSE(fs::exists(fs::symlink_status(ComLinkPath(2) + ".new"))) << "no half-made link left behind";

    Touch(ComLinkPath(5), "a file the user made");
    EXPECT_FALSE(AssignComDevice(5, (root / "dev/ttyUSB0").string(), error));
    EXPECT_NE(error.find("not a link"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(ComLinkPath(5))));
    EXPECT_FALSE(AssignComDevice(0, (root / "dev/ttyUSB0").string(), error));
}

} // namespace
