#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "link/port_map.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(PresentSerialDevices, ByIdLinksFirstWithTheirTargetsThenAdaptersInNumberOrder) {
    test::TempDir root;
    fs::create_directories(root / "dev/serial/by-id");
    for (const char* node : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty", "ttyUSB", "ttyUSBx", "rfcomm1"})
        std::ofstream(root / "dev" / node) << "";
    fs::create_symlink("../../ttyUSB2", root / "dev/serial/by-id/usb-Maker_B-if00-port0");
    fs::create_symlink("/dev/ttyACM0", root / "dev/serial/by-id/usb-Maker_A-if00");
    std::ofstream(root / "dev/serial/by-id/not-a-link") << "";
    const std::string dev = (root / "dev").string();
    const std::vector<PresentDevice> expected = {
        {dev + "/serial/by-id/usb-Maker_A-if00", "/dev/ttyACM0"},
        {dev + "/serial/by-id/usb-Maker_B-if00-port0", dev + "/ttyUSB2"},
        {dev + "/ttyUSB2", ""},
        {dev + "/ttyUSB10", ""},
        {dev + "/ttyACM0", ""},
        {dev + "/rfcomm1", ""},
    };
    EXPECT_EQ(presentSerialDevices(root.path()), expected);
    EXPECT_TRUE(presentSerialDevices(root / "nothing-here").empty());
}

struct MappingCase {
    const char* name;
    const char* before;
    int com;
    const char* device;
    const char* after;
};

class WithMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(WithMapping, ChangesOnlyTheLinesOfThatComNumber) {
    const MappingCase& c = GetParam();
    EXPECT_EQ(withMapping(c.before, c.com, c.device), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WithMapping,
    ::testing::Values(
        MappingCase{"NewFile", "", 3, "/dev/ttyUSB0", "COM3=/dev/ttyUSB0\n"},
        MappingCase{"AppendedAfterALastLineWithoutEnd", "# mine\nCOM1=/dev/a", 2, "/dev/b", "# mine\nCOM1=/dev/a\nCOM2=/dev/b\n"},
        MappingCase{"ReplacedInPlaceLaterDuplicatesDropped", "# mine\r\nCOM3=/dev/a\r\n; spare\r\n 3 = /dev/c\r\nCOM13 x\r\n", 3,
                    "/dev/serial/by-id/usb-X", "# mine\r\nCOM3=/dev/serial/by-id/usb-X\r\n; spare\r\nCOM13 x\r\n"},
        MappingCase{"CommentNamingItKept", "# COM3=/dev/old\ncom4=/dev/d\n", 3, "/dev/e", "# COM3=/dev/old\ncom4=/dev/d\nCOM3=/dev/e\n"},
        MappingCase{"Unmapped", "COM3=/dev/a\nCOM4=/dev/d\n3=/dev/z\n", 3, "", "COM4=/dev/d\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortMap, RemapIsKeptInTheFileItWasLoadedFromAndReadBack) {
    test::TempDir dir;
    const fs::path file = dir / "comports.cfg";
    std::ofstream(file) << "# bench adapters\nCOM3=/dev/ttyUSB0\n";
    PortMap map;
    ASSERT_TRUE(map.load(file));
    ASSERT_TRUE(map.remap(3, "/dev/serial/by-id/usb-New-if00"));
    ASSERT_TRUE(map.remap(5, " /dev/ttyACM0 "));
    EXPECT_EQ(map.deviceFor(3), "/dev/serial/by-id/usb-New-if00");
    EXPECT_EQ(readWhole(file), "# bench adapters\nCOM3=/dev/serial/by-id/usb-New-if00\nCOM5=/dev/ttyACM0\n");
    ASSERT_TRUE(map.remap(3, ""));
    PortMap again;
    ASSERT_TRUE(again.load(file));
    EXPECT_FALSE(again.isMapped(3));
    EXPECT_EQ(again.deviceFor(3), "/dev/ttyS2");
    EXPECT_EQ(again.deviceFor(5), "/dev/ttyACM0");
    EXPECT_EQ(again.comItemText(5), "COM5  /dev/ttyACM0");
    EXPECT_EQ(again.comItemText(3), "COM3");

    // A file that cannot be written does not stop the choice; the caller hears why.
    PortMap lost;
    ASSERT_TRUE(lost.load(dir / "gone" / "comports.cfg"));
    std::string error;
    EXPECT_FALSE(lost.remap(2, "/dev/ttyUSB1", &error));
    EXPECT_EQ(lost.deviceFor(2), "/dev/ttyUSB1");
    EXPECT_NE(error.find("could not be written"), std::string::npos) << error;
    EXPECT_FALSE(lost.remap(2, "/dev/a\nCOM1=/dev/b", &error));
    EXPECT_FALSE(lost.remap(13, "/dev/a", &error));
    EXPECT_EQ(lost.deviceFor(2), "/dev/ttyUSB1");
}

} // namespace
} // namespace cv
