#include "sim/Scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace sim {
namespace {

TEST(ScenarioTest, DrivesTakeTheirDefaultsAndGivenValues) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(LoadScenario(R"(# two drives
bus absent
drive 2 size=4096
drive 17 size=3000592982016 vendor="WXY  " product="A \x01\"b\"\\ " bus=8 style=raw pdo=\Device\X lastblock=5 blocksize=4096   # big
virtual 9 drive=17 mounted=0
)",
                             machine, error))
        << error;
    EXPECT_FALSE(machine.BusPresent());
    const Drive* small = machine.FindDrive(2);
    ASSERT_NE(nullptr, small);
    EXPECT_EQ("", small->vendor);
    EXPECT_EQ("Disk 2", small->product);
    EXPECT_EQ(11u, small->busType);
    EXPECT_EQ(0u, small->partitionStyle);
    EXPECT_EQ(7u, small->lastBlockAddress);
    EXPECT_EQ(512u, small->bytesPerBlock);
    EXPECT_EQ(16u, small->deviceObjectName.size());  // \Device\000000NN
    const Drive* big = machine.FindDrive(17);
    ASSERT_NE(nullptr, big);
    EXPECT_EQ("WXY  ", big->vendor);
    EXPECT_EQ(std::string("A \x01\"b\"\\ "), big->product);
    EXPECT_EQ(8u, big->busType);
    EXPECT_EQ(2u, big->partitionStyle);
    EXPECT_EQ(L"\\Device\\X", big->deviceObjectName);
    EXPECT_EQ(5u, big->lastBlockAddress);
    EXPECT_EQ(4096u, big->bytesPerBlock);
    ASSERT_EQ(1u, machine.Bus().VirtualDrives().size());
    EXPECT_FALSE(machine.Bus().VirtualDrives().at(9).mounted);
}

// A plugged-in virtual drive is on the machine as the bus driver's drive, numbered after the
// others; one that is not plugged in is not.
TEST(ScenarioTest, PluggedInVirtualDrivesAppearAsDrives) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(
        LoadScenario("drive 0 size=6001175126016\ndrive 2 size=3000592982016\n"
                     "virtual 3 drive=0\nvirtual 4 drive=2 mounted=0\n",
                     machine, error))
        << error;
    ASSERT_EQ(3u, machine.Drives().size());
    const Drive* upper = machine.FindDrive(3);
    ASSERT_NE(nullptr, upper);
    EXPECT_EQ(upper, machine.FindVirtualDriveDisk(3));
    EXPECT_EQ(6001175126016u - kAddressLimitBytes, upper->size);  // itself beyond the limit
    EXPECT_EQ(kVirtualDriveVendor, upper->vendor);
    EXPECT_EQ(nullptr, machine.FindVirtualDriveDisk(4));
}

TEST(ScenarioTest, AMalformedLineIsNamedAndNothingIsLoaded) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"drive 1 size=10\ndrive 1 size=20", "line 2: drive 1 is described twice"},
        {"drive 1", "line 1: a drive needs size=BYTES"},
        {"drive 1000 size=1", "line 1: a drive needs its number (0 to 999) after 'drive'"},
        {"drive 999 size=1\nvirtual 1 drive=1000", "line 2: a virtual drive needs drive=N"},
        {"drive 1 size=-5", "line 1: a drive needs size=BYTES"},
        {"drive 1 size=99999999999999999999", "line 1: a drive needs size=BYTES"},
        {"drive 1 size=10 colour=red", "line 1: unknown key 'colour'"},
        {"drive 1 size=10 style=apm", "line 1: style= wants mbr, gpt or raw"},
        {"drive 1 size=10 product=\"open", "line 1: a quoted value has no closing quote"},
        {"drive 1 size=10 product=\"a\\q\"",
         "line 1: a backslash in quotes must be followed by xNN, \" or \\"},
        {"\n\nvirtual 3 drive=1", "line 3: drive 1 is not described above"},
        {"drive 1 size=10\nvirtual 0 drive=1",
         "line 2: a virtual drive needs its serial number (1 to 4294967295) after 'virtual'"},
        {"drive 1 size=10\nvirtual 3 drive=1 mounted=2", "line 2: mounted= wants 0 or 1"},
        {"drive 1 size=1\ndrive 2 size=1\nvirtual 3 drive=1\nvirtual 3 drive=2",
         "line 4: serial number 3 is used twice"},
        {"drive 1 size=1 pdo=\\D\ndrive 2 size=1 pdo=\\D", "line 2: pdo=\\D is used by drive 1"},
        {"bus maybe", "line 1: write 'bus present' or 'bus absent'"},
        {"disk 1 size=10", "line 1: unknown fact 'disk' (bus, drive, virtual or fault)"},
        {"bus absent\nbus present", "line 2: the bus is described twice"},
        {"drive 2 size=1 k\x01y=3", "line 1: unknown key 'k\\x01y'"},
        {"drive 2 size=1 pdo=\xC3\xA9\ndrive 3 size=1 pdo=\xC3\xA9",
         "line 2: pdo=\\xC3\\xA9 is used by drive 2"},
        {"\x7F\x1B[31m", "line 1: unknown fact '\\x7F\\x1B[31m' (bus, drive, virtual or fault)"},
        {"fault CreateFile", "line 1: a fault needs error=CODE, a Win32 error code above 0"},
        {"fault CreateFile error=0",
         "line 1: a fault needs error=CODE, a Win32 error code above 0"},
        {"fault DeviceIoControl error=5 ioctl=0xZZ", "line 1: ioctl= wants a control code"},
        {"fault DeviceIoControl error=5 bus=2", "line 1: bus= wants 0 or 1"},
        {"fault DeviceIoControl error=5 nth=x",
         "line 1: nth= wants a number (0: every matching call)"},
        {"fault DeviceIoControl error=5 when=now", "line 1: unknown key 'when'"},
    };
    for (const auto& c : cases) {
        SimulatedMachine machine;
        std::string error;
        EXPECT_FALSE(LoadScenario(std::string("drive 0 size=1\n") + c.text, machine, error))
            << c.text;
        // The first line above shifts every line number by one.
        std::string expected = c.error;
        const int line = std::stoi(expected.substr(5)) + 1;
        expected = "line " + std::to_string(line) + expected.substr(expected.find(':'));
        EXPECT_EQ(expected, error);
        EXPECT_TRUE(machine.Drives().empty()) << c.text;
        EXPECT_TRUE(machine.BusPresent());
    }
}

TEST(ScenarioTest, GeneratedNamesNeverTakeAGivenOne) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(
        LoadScenario("drive 0 size=1\ndrive 1 size=1 pdo=\\Device\\00000032\n", machine, error));
    EXPECT_NE(machine.FindDrive(0)->deviceObjectName, machine.FindDrive(1)->deviceObjectName);
}

TEST(ScenarioTest, AFaultNamesItsCallAndOnlyFailsWhatMatches) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(
        LoadScenario("drive 1 size=1\ndrive 2 size=1\n"
                     "fault CreateFile error=0x15 drive=2 nth=2\n",
                     machine, error))
        << error;
    const auto open = [&](const wchar_t* path) {
        platform::OsHandle h = platform::kInvalidHandle;
        const uint32_t e = machine.CreateFileW(path, 0, 3, platform::kOpenExisting, 0, &h);
        if (!e) machine.CloseHandle(h);
        return e;
    };
    EXPECT_EQ(0u, open(L"\\\\.\\PhysicalDrive2"));
    EXPECT_EQ(0u, open(L"\\\\.\\PhysicalDrive1"));
    EXPECT_EQ(21u, open(L"\\\\.\\PhysicalDrive2"));
    EXPECT_EQ(0u, open(L"\\\\.\\PhysicalDrive2"));

    std::string names;
    EXPECT_FALSE(LoadScenario("fault OpenFile error=5", machine, error));
    EXPECT_EQ(
        "line 1: a fault needs the call that fails after 'fault': GetClassDevs "
        "EnumDeviceInterfaces GetDeviceInterfaceDetail GetDeviceRegistryProperty "
        "DestroyDeviceInfoList CreateFile DeviceIoControl CloseHandle HeapAlloc HeapFree",
        error);
}

TEST(ScenarioTest, AByteOrderMarkAtTheStartIsSkipped) {
    SimulatedMachine machine;
    std::string error;
    EXPECT_TRUE(
        LoadScenario("\xEF\xBB\xBF"
                     "bus absent\ndrive 3 size=7\n",
                     machine, error))
        << error;
    EXPECT_FALSE(machine.BusPresent());
    EXPECT_NE(nullptr, machine.FindDrive(3));
    // Anywhere else the same bytes are not a fact.
    SimulatedMachine other;
    EXPECT_FALSE(
        LoadScenario("drive 3 size=7\n\xEF\xBB\xBF"
                     "bus absent\n",
                     other, error));
    EXPECT_EQ("line 2: unknown fact '\\xEF\\xBB\\xBFbus' (bus, drive, virtual or fault)", error);
}

// A scenario file in a folder of its own, removed again at the end.
class ScenarioFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("scenario-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path folder_;
};

TEST_F(ScenarioFileTest, AFileLoadsAndWhatIsNotAReadableFileIsRefusedWithTheReason) {
    SimulatedMachine machine;
    std::string error;
    EXPECT_TRUE(LoadScenarioFile(Write("a.scenario",
                                       "\xEF\xBB\xBF"
                                       "drive 4 size=9\r\n"),
                                 machine, error))
        << error;
    EXPECT_NE(nullptr, machine.FindDrive(4));

    SimulatedMachine untouched;
    const std::string folder = folder_.string();
    EXPECT_FALSE(LoadScenarioFile(folder, untouched, error));
    EXPECT_EQ(folder + " is a folder, not a scenario file", error);

    const std::string missing = (folder_ / "missing.scenario").string();
    EXPECT_FALSE(LoadScenarioFile(missing, untouched, error));
    EXPECT_EQ(0u, error.rfind(missing + " cannot be read: ", 0)) << error;

    const std::string bad = Write("bad.scenario", "drive 1 size=1\ndrive 1 size=1\n");
    EXPECT_FALSE(LoadScenarioFile(bad, untouched, error));
    EXPECT_EQ(bad + ", line 2: drive 1 is described twice", error);
    EXPECT_TRUE(untouched.Drives().empty());
}

// Every hex digit, in either case, stands for its own value; an escape cut short is refused.
TEST(ScenarioTest, ByteEscapesTakeEveryHexDigit) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(LoadScenario(R"(drive 1 size=1 vendor="\x01\x23\x45\x67\x89\xAB\xCD\xEF" )"
                             R"(product="\xab\xcd\xef\xfA\xaF\x10")",
                             machine, error))
        << error;
    EXPECT_EQ(std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF"), machine.FindDrive(1)->vendor);
    EXPECT_EQ(std::string("\xAB\xCD\xEF\xFA\xAF\x10"), machine.FindDrive(1)->product);
    const char* refused[] = {R"(drive 2 size=1 product="\xG0")", R"(drive 2 size=1 product="\x0g")",
                             R"(drive 2 size=1 product="\x4")", R"(drive 2 size=1 product="\x")"};
    for (const char* text : refused) {
        EXPECT_FALSE(LoadScenario(text, machine, error)) << text;
        EXPECT_EQ("line 1: a backslash in quotes must be followed by xNN, \" or \\", error) << text;
    }
    EXPECT_FALSE(LoadScenario(R"(drive 2 size=1 product="\x41)", machine, error));
    EXPECT_EQ("line 1: a quoted value has no closing quote", error);
    EXPECT_EQ(nullptr, machine.FindDrive(2));
}

TEST(ScenarioTest, ALookupWarningIsGivenPerVirtualDrive) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(
        LoadScenario("drive 1 size=1\ndrive 2 size=1\nvirtual 3 drive=1 lookup=259\n"
                     "virtual 4 drive=2\n",
                     machine, error))
        << error;
    EXPECT_TRUE(machine.Bus().VirtualDrives().at(3).lookupWarning);
    EXPECT_FALSE(machine.Bus().VirtualDrives().at(4).lookupWarning);
    EXPECT_FALSE(LoadScenario("drive 1 size=1\nvirtual 3 drive=1 lookup=2\n", machine, error));
    EXPECT_EQ("line 2: lookup= wants 259, the warning the lookup then answers with", error);
}

// Each narrowing of a fault must keep it off every call it does not name.
TEST(ScenarioTest, FaultFiltersDoNotMatchOtherCalls) {
    SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(LoadScenario("drive 1 size=1\ndrive 2 size=1\n", machine, error));
    const std::wstring bus = SimulatedMachine::BusInterfacePath();
    const auto open = [&](const std::wstring& path) {
        platform::OsHandle h = platform::kInvalidHandle;
        const bool toBus = path == bus;
        const uint32_t e = machine.CreateFileW(path.c_str(), toBus ? platform::kGenericRead : 0,
                                               toBus ? 0 : 3, platform::kOpenExisting, 0, &h);
        if (!e) machine.CloseHandle(h);
        return e;
    };
    const std::wstring drive1 = L"\\\\.\\PhysicalDrive1", drive2 = L"\\\\.\\PhysicalDrive2";

    Fault onBus{Call::CreateFile, 21};
    onBus.bus = true;
    machine.InjectFault(onBus);
    EXPECT_EQ(0u, open(drive1));
    EXPECT_EQ(21u, open(bus));
    machine.ClearFaults();

    Fault offBus{Call::CreateFile, 22};
    offBus.bus = false;
    machine.InjectFault(offBus);
    EXPECT_EQ(0u, open(bus));
    EXPECT_EQ(22u, open(drive1));
    machine.ClearFaults();

    Fault onDrive{Call::CreateFile, 23};
    onDrive.drive = 2;
    machine.InjectFault(onDrive);
    EXPECT_EQ(0u, open(drive1));
    EXPECT_EQ(0u, open(bus));
    EXPECT_EQ(23u, open(drive2));
    machine.ClearFaults();

    Fault onCode{Call::DeviceIoControl, 24};
    onCode.ioctl = 0x70048;
    machine.InjectFault(onCode);
    platform::OsHandle h = platform::kInvalidHandle;
    ASSERT_EQ(0u, machine.CreateFileW(drive1.c_str(), 0, 3, platform::kOpenExisting, 0, &h));
    uint8_t out[144] = {};
    uint32_t returned = 0;
    EXPECT_EQ(0u, machine.DeviceIoControl(h, 0x2D1080, nullptr, 0, out, 12, &returned));
    EXPECT_EQ(24u, machine.DeviceIoControl(h, 0x70048, nullptr, 0, out, 144, &returned));
    machine.CloseHandle(h);
    EXPECT_EQ(SimulatedMachine::Resources{}, machine.Outstanding());
}

}  // namespace
}  // namespace sim
