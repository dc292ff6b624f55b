// Walks the bus operations through the simulated machine and prints every request the bus
// driver stand-in received and what it answered.
#include <cstdio>
#include <string>

#include "busctl/BusOperations.h"
#include "platform/Utf16.h"
#include "sim/SimulatedMachine.h"

namespace {

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::string Name(const char16_t* field) {
    return Narrow(platform::FromUtf16Bytes(field, 256));
}

bool devicesChanged = false;

void PrintRequests(sim::SimulatedMachine& machine) {
    for (const auto& r : machine.BusRequests()) {
        std::printf("    request 0x%06X, %zu bytes in, %u out, answer %u:", r.code, r.input.size(),
                    r.outSize, r.error);
        for (size_t i = 0; i < r.input.size() && i < 24; ++i) std::printf(" %02X", r.input[i]);
        std::printf(r.input.size() > 24 ? " ...\n" : "\n");
    }
    if (devicesChanged) std::printf("    (device nodes changed)\n");
    devicesChanged = false;
    machine.ClearRecords();
}

void PrintState(const busctl::VirtualDiskState& s) {
    std::printf("    serial %u, Created %u, Mounted %u\n", s.SerialNo, s.Created, s.Mounted);
    std::printf("    physical \"%s\" %.2f GiB, virtual \"%s\" %.2f GiB\n",
                Name(s.PhysicalDisk.FriendlyName).c_str(), s.PhysicalDisk.Value / 1073741824.0,
                Name(s.VirtualDisk.FriendlyName).c_str(), s.VirtualDisk.Value / 1073741824.0);
}

}  // namespace

int main() {
    sim::SimulatedMachine machine;
    sim::Drive big;
    big.number = 1;
    big.product = "WD30EZRX-00D8PB0 ";
    big.size = 3000592982016;
    big.lastBlockAddress = big.size / 512 - 1;
    const std::wstring name = machine.AddDrive(big).deviceObjectName;
    machine.SetDeviceChangeObserver([] { devicesChanged = true; });

    std::printf("Drive 1: %s, 3000592982016 bytes\n", Narrow(name).c_str());

    uint32_t serial = 0;
    uint32_t rc = busctl::LookupVirtualDiskSerial(machine, name, serial);
    std::printf("\nLookupVirtualDiskSerial -> %u, serial %u\n", rc, serial);
    PrintRequests(machine);

    rc = busctl::PlugInVirtualDisk(machine, 1, name);
    std::printf("\nPlugInVirtualDisk(1) -> %u\n", rc);
    PrintRequests(machine);

    rc = busctl::PlugInVirtualDisk(machine, 1, L"\\Device\\00000099");
    std::printf("\nPlugInVirtualDisk(1) for another drive -> %u (serial in use)\n", rc);
    PrintRequests(machine);

    rc = busctl::LookupVirtualDiskSerial(machine, name, serial);
    std::printf("\nLookupVirtualDiskSerial -> %u, serial %u\n", rc, serial);
    PrintRequests(machine);

    busctl::VirtualDiskState state{};
    rc = busctl::QueryVirtualDisk(machine, serial, state);
    std::printf("\nQueryVirtualDisk(%u) -> %u\n", serial, rc);
    PrintRequests(machine);
    PrintState(state);

    rc = busctl::UnplugVirtualDisk(machine, serial, name);
    std::printf("\nUnplugVirtualDisk(%u) -> %u\n", serial, rc);
    PrintRequests(machine);

    busctl::VirtualDiskState cleared{};
    rc = busctl::QueryVirtualDisk(machine, serial, cleared);
    std::printf("\nQueryVirtualDisk(%u) -> %u (no such virtual drive: cleared reply)\n", serial,
                rc);
    PrintRequests(machine);
    PrintState(cleared);

    machine.SetBusPresent(false);
    rc = busctl::PlugInVirtualDisk(machine, 1, name);
    std::printf("\nWithout the bus driver: PlugInVirtualDisk -> %u, nothing sent\n", rc);
    PrintRequests(machine);

    const auto left = machine.Outstanding();
    std::printf("\nOutstanding: %zu handles, %zu device sets, %zu buffers\n", left.handles,
                left.deviceInfoSets, left.buffers);
    return 0;
}
