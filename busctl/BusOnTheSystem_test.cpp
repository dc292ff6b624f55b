// The bus operations on the real system, which has no bus driver: every operation finds no
// interface and says so with the code its callers expect.
#include <gtest/gtest.h>

#include "busctl/BusOperations.h"
#include "platform/Win32DeviceIo.h"

namespace busctl {
namespace {

TEST(BusOnTheSystemTest, WithoutTheBusDriverEveryOperationReportsNoInterface) {
    platform::Win32DeviceIo io;
    EXPECT_EQ(platform::kErrorNoMoreItems, PlugInVirtualDisk(io, 1, L"\\Device\\00000032"));
    EXPECT_EQ(platform::kErrorNoMoreItems, UnplugVirtualDisk(io, 1, L""));
    VirtualDiskState state{};
    EXPECT_EQ(platform::kErrorNoMoreItems, QueryVirtualDisk(io, 1, state));
    uint32_t serial = 7;
    EXPECT_EQ(0u, LookupVirtualDiskSerial(io, L"\\Device\\00000032", serial));
    EXPECT_EQ(7u, serial);
    BusDiskSize size;
    BusConnection::Step step = BusConnection::Step::None;
    EXPECT_EQ(platform::kErrorNoMoreItems,
              RequestDiskSize(io, 11, L"\\Device\\00000032", &size, step));
    EXPECT_EQ(BusConnection::Step::Enumerate, step);
}

}  // namespace
}  // namespace busctl
