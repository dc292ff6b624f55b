#include "console/ScanReport.h"

#include <algorithm>

#include "busctl/BusConnection.h"
#include "disk/DriveQueries.h"
#include "platform/DeviceInterfaces.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace console {

using namespace platform;

namespace {

#ifdef _WIN32
std::wstring FromSystem(uint32_t code) {
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // English first, so that the console's ASCII output stays readable; a system without
    // English texts answers in its own language.
    for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        wchar_t* text = nullptr;
        const DWORD n = FormatMessageW(flags, nullptr, code, language,
                                       reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring out = n && text ? std::wstring(text, n) : std::wstring();
        if (text) LocalFree(text);
        if (!out.empty()) return out;
    }
    return {};
}
#endif

// The English texts of the codes the scan and its queries give.
const wchar_t* KnownText(uint32_t code) {
    switch (code) {
        case 0:
            return L"The operation completed successfully.";
        case 1:
            return L"Incorrect function.";
        case 2:
            return L"The system cannot find the file specified.";
        case 3:
            return L"The system cannot find the path specified.";
        case 5:
            return L"Access is denied.";
        case 6:
            return L"The handle is invalid.";
        case 8:
            return L"Not enough memory resources are available to process this command.";
        case 13:
            return L"The data is invalid.";
        case 21:
            return L"The device is not ready.";
        case 31:
            return L"A device attached to the system is not functioning.";
        case 32:
            return L"The process cannot access the file because it is being used by another "
                   L"process.";
        case 50:
            return L"The request is not supported.";
        case 87:
            return L"The parameter is incorrect.";
        case 122:
            return L"The data area passed to a system call is too small.";
        case 160:
            return L"One or more arguments are not correct.";
        case 183:
            return L"Cannot create a file when that file already exists.";
        case 206:
            return L"The filename or extension is too long.";
        case 259:
            return L"No more data is available.";
        case 1117:
            return L"The request could not be performed because of an I/O device error.";
        case 1167:
            return L"The device is not connected.";
        case 1784:
            return L"The supplied user buffer is not valid for the requested operation.";
    }
    return nullptr;
}

}  // namespace

ScanReport::ScanReport(std::string source) : source_(std::move(source)) {
    for (int n = 0; n < disk::kScannedDriveCount; ++n) drives_.push_back(DriveEntry{n});
}

void ScanReport::DriveStarted(int driveNumber) {
    current_ = driveNumber >= 0 && driveNumber < disk::kScannedDriveCount ? driveNumber : -1;
}

void ScanReport::DriveFinished(const disk::DriveFindings& findings) {
    const int n = findings.driveNumber;
    if (n < 0 || n >= disk::kScannedDriveCount) return;
    drives_[n].examined = true;
    drives_[n].findings = findings;
}

void ScanReport::ScanFinished(const disk::ScanOutcome& outcome) {
    outcome_ = outcome;
    current_ = -1;
}

void ScanReport::AddDiagnostic(const std::wstring& line) {
    (current_ >= 0 ? drives_[current_].diagnostics : afterScan_).push_back(line);
}

std::vector<int> ScanReport::OfferedDrives() const {
    std::vector<int> offered;
    for (const DriveEntry& d : drives_)
        if (d.examined && d.findings.verdict == disk::Verdict::Offered) offered.push_back(d.number);
    return offered;
}

void ScanReport::CheckAfterScan(DeviceIo& io) {
    current_ = -1;
    std::vector<int> numbers;
    unscanned_.listed = true;
    unscanned_.code = ListDiskDeviceNumbers(io, numbers);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int n : numbers) {
        if (n < disk::kScannedDriveCount) continue;
        UnscannedDrives::Drive drive{n, std::nullopt};
        std::wstring model;
        if (disk::ReadDriveModel(io, n, &model) == kErrorSuccess) drive.model = model;
        unscanned_.drives.push_back(std::move(drive));
    }

    const auto told = outcome_ ? outcome_->busDriver : disk::BusDriverPresence::NotAsked;
    if (told == disk::BusDriverPresence::Present || told == disk::BusDriverPresence::Absent) return;
    busctl::BusConnection bus(io);
    busCheck_.done = true;
    busCheck_.code = bus.Open();
    busCheck_.noInterface = bus.NoInterface();
}

uint32_t ListDiskDeviceNumbers(DeviceIo& io, std::vector<int>& numbers) {
    DeviceStep failedStep = DeviceStep::None;
    const uint32_t e = WalkDiskInterfaces(
        io,
        [&numbers](const DiskInterface& disk) {
            numbers.push_back(static_cast<int>(disk.deviceNumber));
            return false;
        },
        &failedStep);
    return e == kErrorNoMoreItems ? kErrorSuccess : e;
}

std::wstring SystemErrorText(uint32_t code) {
    std::wstring text;
#ifdef _WIN32
    text = FromSystem(code);
#endif
    if (text.empty()) {
        const wchar_t* known = KnownText(code);
        text = known ? known : L"(no text known for this code)";
    }
    // One line: the system ends its texts with a line break and may break long ones.
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
    while (!text.empty() && text.back() == L' ') text.pop_back();
    std::wstring out;
    for (const wchar_t c : text)
        if (c != L' ' || out.empty() || out.back() != L' ') out.push_back(c);
    return out;
}

}  // namespace console
