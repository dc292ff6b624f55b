// Shows which drives the program would offer and why: runs the drive scan against a
// scenario file, or on Windows against the real machine, and prints every storage group.
//   OverreachScan [--verbose] <scenario file>
//   OverreachScan [--verbose] --system        (Windows only)
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "disk/StorageGroups.h"
#include "platform/Utf16.h"
#include "sim/Scenario.h"
#include "sim/SimulatedMachine.h"
#ifdef _WIN32
#include "platform/Win32DeviceIo.h"
#endif

namespace {

// The console gets plain ASCII; anything else shows as '?', so output never depends on the
// console's code page.
std::string Ascii(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

std::string Field(const char16_t* name) { return Ascii(platform::FromUtf16Bytes(name, 512)); }

void EchoLine(const wchar_t* line) {
    std::wstring text = line ? line : L"";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    std::printf("  | %s\n", Ascii(text).c_str());
}

void PrintGroup(const disk::StorageGroup& g) {
    const busctl::VirtualDiskState& s = g.State;
    std::printf("\nDrive %d: %s, %s GiB\n", g.PhysicalDriveNumber, Ascii(g.ModelText).c_str(),
                Ascii(g.CapacityText).c_str());
    std::printf("  device object name  %s\n", Ascii(g.DeviceObjectName).c_str());
    std::printf("  serial number       %u\n", g.SerialNo);
    std::printf("  Created %u, Mounted %u\n", s.Created, s.Mounted);
    std::printf("  physical part       %llu bytes  \"%s\"\n",
                static_cast<unsigned long long>(s.PhysicalDisk.Value),
                Field(s.PhysicalDisk.FriendlyName).c_str());
    std::printf("  virtual drive       %llu bytes  \"%s\"\n",
                static_cast<unsigned long long>(s.VirtualDisk.Value),
                Field(s.VirtualDisk.FriendlyName).c_str());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: OverreachScan [--verbose] <scenario file>\n"
#ifdef _WIN32
                 "       OverreachScan [--verbose] --system\n"
#endif
    );
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false, system = false;
    const char* scenario = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0) verbose = true;
#ifdef _WIN32
        else if (std::strcmp(argv[i], "--system") == 0) system = true;
#endif
        else if (argv[i][0] != '-' && !scenario) scenario = argv[i];
        else return Usage();
    }
    if (system == (scenario != nullptr)) return Usage();

    std::unique_ptr<platform::DeviceIo> io;
    if (scenario) {
        auto machine = std::make_unique<sim::SimulatedMachine>();
        std::string error;
        if (!sim::LoadScenarioFile(scenario, *machine, error)) {
            std::fprintf(stderr, "%s: %s\n", scenario, error.c_str());
            return 1;
        }
        if (verbose) machine->SetDebugSink([](const std::wstring& l) { EchoLine(l.c_str()); });
        io = std::move(machine);
    }
#ifdef _WIN32
    else {
        io = verbose ? std::make_unique<platform::Win32DeviceIo>(EchoLine)
                     : std::make_unique<platform::Win32DeviceIo>();
    }
#endif

    std::printf("Scanning drives 0 to 15 (%s)\n", scenario ? scenario : "this machine");
    disk::StorageGroupList list;
    const uint32_t rc = disk::ScanStorageGroups(*io, list);
    for (const auto& g : list) PrintGroup(g);
    std::printf("\n%zu drive(s) offered; scan result %u%s\n", list.size(), rc,
                rc == 0 || rc == 2 ? " (success)"
                : rc == 259      ? " (a device interface is missing: the bus driver's, when it is"
                                   " not installed or not running; --verbose shows which)"
                                 : " (failed)");
    return rc == 0 || rc == 2 ? 0 : 1;
}
