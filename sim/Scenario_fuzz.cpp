// Feeds arbitrary bytes to the scenario loader: a text either loads a whole machine or is
// refused with the number of one of its lines, leaving the machine as it was. A machine
// that loads must then answer every drive and bus request without fault of its own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Utf16.h"
#include "sim/Scenario.h"
#include "sim/SimulatedMachine.h"

namespace {

using namespace platform;
using sim::SimulatedMachine;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

size_t LineCount(const std::string& text) {
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return lines;
}

// "line N: why", with N a line of the text and a reason after it.
void CheckRefusal(const std::string& text, const std::string& error) {
    Check(error.compare(0, 5, "line ") == 0);
    size_t i = 5, n = 0;
    while (i < error.size() && error[i] >= '0' && error[i] <= '9' && n < 1000000000)
        n = n * 10 + static_cast<size_t>(error[i++] - '0');
    Check(i > 5 && n >= 1 && n <= LineCount(text));
    Check(error.compare(i, 2, ": ") == 0 && error.size() > i + 2);
    for (unsigned char c : error) Check(c >= 0x20 && c < 0x7F);  // one printable line
}

uint32_t Control(SimulatedMachine& m, OsHandle h, uint32_t code, std::vector<uint8_t>& in,
                 uint32_t outSize) {
    std::vector<uint8_t> out(outSize, 0);
    uint32_t returned = 0;
    const uint32_t e = m.DeviceIoControl(h, code, in.empty() ? nullptr : in.data(),
                                         static_cast<uint32_t>(in.size()),
                                         out.empty() ? nullptr : out.data(), outSize, &returned);
    Check(returned <= outSize);
    return e;
}

void PutName(std::vector<uint8_t>& b, size_t at, const std::wstring& name) {
    const std::u16string units = ToUtf16(name);
    if (units.size() > 255) return;
    WriteUtf16z(units, b.data() + at);
}

// Asks everything a scan would ask of every drive, and the bus about each of them.
void Exercise(SimulatedMachine& m) {
    for (const sim::Drive& d : m.Drives()) {
        const std::wstring path = L"\\\\.\\PhysicalDrive" + std::to_wstring(d.number);
        OsHandle h = kInvalidHandle;
        if (m.CreateFileW(path.c_str(), 0, 3, kOpenExisting, 0, &h) == 0) {
            std::vector<uint8_t> query(12, 0), none;
            Control(m, h, 0x2D1400, query, 8);
            Control(m, h, 0x2D1400, query, 10000);
            Control(m, h, 0x2D1080, none, 12);
            Control(m, h, 0x70048, none, 144);
            m.CloseHandle(h);
        }
    }
    OsHandle bus = kInvalidHandle;
    if (m.CreateFileW(sim::SimulatedMachine::BusInterfacePath().c_str(), kGenericRead, 0,
                      kOpenExisting, 0, &bus) != 0)
        return;
    for (const sim::Drive& d : m.Drives()) {
        std::vector<uint8_t> size(544, 0);
        const uint32_t sizeField = 544;
        std::memcpy(size.data(), &sizeField, 4);
        PutName(size, 8, d.deviceObjectName);
        Control(m, bus, 0x2A4018, size, 544);
        std::vector<uint8_t> lookup(520, 0);
        const uint32_t lookupField = 520;
        std::memcpy(lookup.data(), &lookupField, 4);
        PutName(lookup, 4, d.deviceObjectName);
        Control(m, bus, 0x2A4014, lookup, 520);
    }
    std::vector<uint32_t> serials;
    for (const auto& [serial, v] : m.Bus().VirtualDrives()) serials.push_back(serial);
    for (uint32_t serial : serials) {
        std::vector<uint8_t> query(2080, 0);
        const uint32_t sizeField = 16;
        std::memcpy(query.data(), &sizeField, 4);
        std::memcpy(query.data() + 4, &serial, 4);
        Control(m, bus, 0x2A4010, query, 2080);
        std::vector<uint8_t> unplug(20, 0);
        const uint32_t unplugSize = 20;
        std::memcpy(unplug.data(), &unplugSize, 4);
        std::memcpy(unplug.data() + 4, &serial, 4);
        unplug[8] = unplug[9] = 1;
        Control(m, bus, 0x2A4008, unplug, 0);
    }
    m.CloseHandle(bus);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::SimulatedMachine machine;
    sim::Drive existing;
    existing.number = 1000;  // beyond what a scenario may name
    existing.size = 1;
    machine.AddDrive(existing);
    std::string error;
    if (!sim::LoadScenario(text, machine, error)) {
        CheckRefusal(text, error);
        // Nothing of the refused text reached the machine.
        Check(machine.Drives().size() == 1 && machine.BusPresent());
        Check(machine.Bus().VirtualDrives().empty());
        return 0;
    }
    Check(error.empty());
    // The same text loads the same machine again.
    sim::SimulatedMachine again;
    std::string secondError;
    Check(sim::LoadScenario(text, again, secondError));
    Check(again.Drives().size() + 1 == machine.Drives().size());
    Check(again.Bus().VirtualDrives().size() == machine.Bus().VirtualDrives().size());
    for (const auto& [serial, v] : machine.Bus().VirtualDrives()) Check(v.serialNo == serial);

    machine.ClearFaults();  // the loaded faults are checked above; the walk wants answers
    Exercise(machine);
    Exercise(again);  // with the scenario's faults
    Check(machine.Outstanding() == sim::SimulatedMachine::Resources{});
    Check(again.Outstanding().handles == 0 && again.Outstanding().deviceInfoSets == 0);
    return 0;
}
