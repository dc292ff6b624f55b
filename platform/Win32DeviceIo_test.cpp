// The real calls under Wine: the seam must hand back the codes the system leaves.
#include "platform/Win32DeviceIo.h"

#include <gtest/gtest.h>

#include "platform/DeviceResources.h"

namespace platform {
namespace {

constexpr Guid kDiskClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr Guid kNoSuchClass = {
    0x0BADF00D, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

TEST(Win32DeviceIoTest, AnInterfaceClassWithoutDevicesEndsEnumerationWith259) {
    Win32DeviceIo io;
    DeviceInfoSet set = kInvalidHandle;
    ASSERT_EQ(0u, io.GetClassDevs(kNoSuchClass, kDigcfPresent | kDigcfDeviceInterface, &set));
    DeviceInterfaceData data{};
    data.cbSize = sizeof data;
    EXPECT_EQ(kErrorNoMoreItems, io.EnumDeviceInterfaces(set, kNoSuchClass, 0, &data));
    EXPECT_EQ(0u, io.DestroyDeviceInfoList(set));
}

TEST(Win32DeviceIoTest, FailingCallsLeaveTheirSystemCodes) {
    Win32DeviceIo io;
    OsHandle handle = nullptr;
    EXPECT_EQ(kErrorFileNotFound,
              io.CreateFileW(L"no-such-file-here.bin", kGenericRead, 0, kOpenExisting, 0, &handle));
    EXPECT_EQ(kInvalidHandle, handle);
    uint32_t returned = 0;
    EXPECT_EQ(kErrorInvalidHandle,
              io.DeviceIoControl(kInvalidHandle, 0x2D1080, nullptr, 0, nullptr, 0, &returned));
}

TEST(Win32DeviceIoTest, HeapBlocksAreZeroFilledOnRequest) {
    Win32DeviceIo io;
    void* block = nullptr;
    ASSERT_EQ(0u, io.HeapAlloc(64, true, &block));
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(0, bytes[i]);
    EXPECT_EQ(0u, io.HeapFree(block));
}

}  // namespace
}  // namespace platform
