// Shows which drives the program would offer and why: runs the drive scan against a
// scenario file, or on Windows against the real machine, and reports every drive number
// with its verdict and reason, then the offered drives.
//   OverreachScan [--verbose] [--json] <scenario file>
//   OverreachScan [--verbose] [--json] --system        (Windows only)
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "console/ScanReport.h"
#include "disk/StorageGroups.h"
#include "sim/Scenario.h"
#include "sim/SimulatedMachine.h"
#ifdef _WIN32
#include "platform/Win32DeviceIo.h"
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: OverreachScan [--verbose] [--json] <scenario file>\n"
#ifdef _WIN32
                 "       OverreachScan [--verbose] [--json] --system\n"
#endif
                 "  --verbose  adds the diagnostic lines under the drive they belong to\n"
                 "  --json     prints the report as one JSON document\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false, json = false, system = false;
    const char* scenario = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--json") == 0)
            json = true;
#ifdef _WIN32
        else if (std::strcmp(argv[i], "--system") == 0)
            system = true;
#endif
        else if (argv[i][0] != '-' && !scenario)
            scenario = argv[i];
        else
            return Usage();
    }
    if (system == (scenario != nullptr)) return Usage();

    console::ScanReport report(scenario ? scenario : "this machine");
    std::unique_ptr<platform::DeviceIo> io;
    if (scenario) {
        auto machine = std::make_unique<sim::SimulatedMachine>();
        std::string error;
        if (!sim::LoadScenarioFile(scenario, *machine, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        machine->SetDebugSink([&report](const std::wstring& l) { report.AddDiagnostic(l); });
        io = std::move(machine);
    }
#ifdef _WIN32
    else {
        io = std::make_unique<platform::Win32DeviceIo>(
            [&report](const wchar_t* l) { report.AddDiagnostic(l ? l : L""); });
    }
#endif

    disk::StorageGroupList list;
    const uint32_t rc = disk::ScanStorageGroups(*io, list, &report);
    report.CheckAfterScan(*io);
    const std::string text =
        json ? console::RenderJson(report, verbose) : console::RenderText(report, verbose);
    std::fputs(text.c_str(), stdout);
    return rc == 0 || rc == 2 ? 0 : 1;
}
