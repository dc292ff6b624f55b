// Printing the scan report: lines for a person, or one JSON document.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "console/ScanReport.h"
#include "disk/Capacity.h"
#include "disk/DriveQueries.h"
#include "platform/Utf16.h"

namespace console {

namespace {

using disk::BusDriverPresence;
using disk::DriveFindings;
using disk::Reason;
using disk::Verdict;

constexpr uint64_t kLimitBytes = uint64_t{1} << 41;

// The console gets plain ASCII; anything else shows as '?', so output never depends on the
// console's code page.
std::string Ascii(const std::wstring& s) {
    std::string out;
    for (const wchar_t c : s) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string Decimal(uint64_t v) {
    return Format("%" PRIu64, v);
}

std::string Gib(uint64_t bytes) {
    return Ascii(disk::FormatCapacityText(bytes));
}

std::string StyleName(uint32_t style) {
    switch (style) {
        case disk::kPartitionStyleMbr:
            return "MBR";
        case disk::kPartitionStyleGpt:
            return "GPT";
        case disk::kPartitionStyleRaw:
            return "RAW";
    }
    return "unknown (" + Decimal(style) + ")";
}

// STORAGE_BUS_TYPE names.
const char* BusTypeName(uint32_t type) {
    static const char* const kNames[] = {"unknown",
                                         "SCSI",
                                         "ATAPI",
                                         "ATA",
                                         "IEEE 1394",
                                         "SSA",
                                         "Fibre Channel",
                                         "USB",
                                         "RAID",
                                         "iSCSI",
                                         "SAS",
                                         "SATA",
                                         "SD",
                                         "MMC",
                                         "virtual",
                                         "file-backed virtual",
                                         "storage spaces",
                                         "NVMe",
                                         "SCM",
                                         "UFS"};
    return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : "unknown";
}

std::string ErrorText(uint32_t code) {
    return Ascii(SystemErrorText(code));
}

std::string Failure(const DriveFindings& f) {
    const disk::QueryFailure& failure = *f.failure;
    std::string text = Format("the %s failed with code %u (%s)", disk::ScanStepName(failure.step),
                              failure.code, ErrorText(failure.code).c_str());
    // 259 ends an enumeration that found nothing: which one tells what is missing.
    if (failure.step == disk::ScanStep::DiskSize && failure.code == platform::kErrorNoMoreItems)
        text += ": the bus driver is not installed or not running";
    if (failure.step == disk::ScanStep::DeviceObjectName &&
        failure.code == platform::kErrorNoMoreItems)
        text += ": no disk device interface has this drive number";
    if (f.stoppedScan) return text + "; the scan stopped here";
    return text + "; the scan takes code 2 as \"no drive\" and goes on";
}

// 2^32 block addresses reach bytesPerBlock / 256 TiB.
std::string BlockSizeText(uint32_t bytesPerBlock) {
    const std::string blocks = Format("%u bytes per block, not 512", bytesPerBlock);
    if (bytesPerBlock < 512)
        return blocks + ": the virtual drive is made for drives whose MBR ends at 2048 GiB";
    const std::string reach = bytesPerBlock % 256 == 0 ? Format("%u TiB", bytesPerBlock / 256)
                                                       : Format("%.2f TiB", bytesPerBlock / 256.0);
    return blocks + ": MBR then reaches " + reach +
           ", so a virtual drive past 2048 GiB would show the same bytes twice";
}

std::string ReasonText(const DriveFindings& f) {
    switch (f.reason) {
        case Reason::None:
            return "";
        case Reason::NotBeyondLimit:
            return "not larger than 2048 GiB (" + Decimal(f.size->DiskSize) +
                   (f.size->DiskSize == kLimitBytes ? " bytes, exactly 2^41)" : " bytes)");
        case Reason::BlockSize:
            return BlockSizeText(f.size->BytesPerBlock);
        case Reason::PartitionStyle:
            return *f.partitionStyle == disk::kPartitionStyleGpt
                       ? "GPT partition table"
                       : "partition style " + StyleName(*f.partitionStyle) +
                             ", neither MBR nor uninitialised";
        case Reason::ExcludedModel:
            return "model text contains \"ASUS\", excluded by the model rule";
        case Reason::RaidMember:
            return Format("looks like a RAID member (last block address 0x%" PRIX64
                          " has a low half of 0)",
                          f.size->LastBlockAddress);
        case Reason::QueryFailed:
            return Failure(f);
        case Reason::NoDrive:
            return "no drive with this number";
    }
    return "";
}

std::string VerdictName(const DriveEntry& d) {
    if (!d.examined) return "not examined";
    switch (d.findings.verdict) {
        case Verdict::Offered:
            return "offered";
        case Verdict::NotOffered:
            return "not offered";
        case Verdict::NoDrive:
            return "no drive";
    }
    return "";
}

const char* ReasonKey(const DriveEntry& d) {
    if (!d.examined) return "scan-stopped";
    switch (d.findings.reason) {
        case Reason::None:
            return nullptr;
        case Reason::NotBeyondLimit:
            return "not-beyond-limit";
        case Reason::BlockSize:
            return "block-size";
        case Reason::PartitionStyle:
            return "partition-style";
        case Reason::ExcludedModel:
            return "excluded-model";
        case Reason::RaidMember:
            return "raid-member";
        case Reason::QueryFailed:
            return "query-failed";
        case Reason::NoDrive:
            return "no-drive";
    }
    return nullptr;
}

std::string ReasonOf(const DriveEntry& d, int stoppedAtDrive) {
    if (!d.examined) return Format("the scan stopped at drive %d", stoppedAtDrive);
    return ReasonText(d.findings);
}

// What was found about an examined drive besides its model, on one line.
std::string Details(const DriveFindings& f) {
    std::string line;
    const auto add = [&line](const std::string& part) {
        line += (line.empty() ? "" : ", ") + part;
    };
    if (f.busType) add(Format("bus type %u (%s)", *f.busType, BusTypeName(*f.busType)));
    if (f.partitionStyle) add(StyleName(*f.partitionStyle));
    if (f.size) {
        add(Decimal(f.size->DiskSize) + " bytes");
        add(Format("last block 0x%" PRIX64, f.size->LastBlockAddress));
        add(Format("%u bytes per block", f.size->BytesPerBlock));
    }
    if (f.deviceObjectName)
        add(f.deviceObjectName->empty() ? "no device object name" : Ascii(*f.deviceObjectName));
    return line;
}

size_t CountVerdict(const ScanReport& report, const char* verdict) {
    size_t n = 0;
    for (const DriveEntry& d : report.Drives()) n += VerdictName(d) == verdict;
    return n;
}

int StoppedAt(const ScanReport& report) {
    return report.Finished() && report.Outcome().stoppedEarly ? report.Outcome().stoppedAtDrive
                                                              : -1;
}

std::string BusDriverLine(const ScanReport& report) {
    const BusCheck& check = report.BusChecked();
    std::string after;
    if (check.done) {
        after = check.code == 0 ? "present (its interface opened after the scan)"
                : check.noInterface
                    ? "absent (no device interface of its class, checked after the scan)"
                    : Format("its interface could not be opened after the scan: code %u (%s)",
                             check.code, ErrorText(check.code).c_str());
    }
    if (!report.Finished()) return after;
    const disk::ScanOutcome& o = report.Outcome();
    switch (o.busDriver) {
        case BusDriverPresence::Present:
            return Format("present (it answered the size request for drive %d)", o.busDriverDrive);
        case BusDriverPresence::Absent:
            return Format(
                "absent (no device interface of its class: the size request for drive "
                "%d ended with code 259)",
                o.busDriverDrive);
        case BusDriverPresence::Failed:
            return Format("the size request for drive %d failed with code %u (%s); ",
                          o.busDriverDrive, o.busDriverCode, ErrorText(o.busDriverCode).c_str()) +
                   after;
        case BusDriverPresence::NotAsked:
            return "no drive reached the size request; " + after;
    }
    return after;
}

std::string ResultMeaning(const ScanReport& report) {
    const disk::ScanOutcome& o = report.Outcome();
    if (o.result == platform::kErrorSuccess || o.result == platform::kErrorFileNotFound)
        return "success";
    if (!o.stoppedEarly) return "failed";
    const DriveEntry& d = report.Drives()[o.stoppedAtDrive];
    const char* step = d.findings.failure ? disk::ScanStepName(d.findings.failure->step) : "query";
    return Format("failed: the scan stopped at drive %d, at the %s", o.stoppedAtDrive, step);
}

std::string ClosingLine(const ScanReport& report) {
    std::string line =
        Format("%d drive numbers: %zu offered, %zu not offered, %zu no drive, %zu not examined",
               disk::kScannedDriveCount, CountVerdict(report, "offered"),
               CountVerdict(report, "not offered"), CountVerdict(report, "no drive"),
               CountVerdict(report, "not examined"));
    if (!report.Finished()) return line + "; the scan did not finish";
    const uint32_t rc = report.Outcome().result;
    return line + Format("; scan result %u (%s): %s", rc, ErrorText(rc).c_str(),
                         ResultMeaning(report).c_str());
}

std::string Field(const char16_t* name) {
    return Ascii(platform::FromUtf16Bytes(name, 512));
}

void AppendOffered(std::string& out, const DriveEntry& d) {
    const DriveFindings& f = d.findings;
    const busctl::VirtualDiskState& s = f.virtualDisk;
    out += Format("\nDrive %d: %s, %s GiB\n", d.number, Ascii(*f.modelText).c_str(),
                  Gib(f.size->DiskSize).c_str());
    out += "  device object name  " + Ascii(*f.deviceObjectName) + "\n";
    out += Format("  serial number       %u", f.serialNo);
    if (f.serialLookupCode)
        out +=
            Format("  (the lookup answered code %u: no virtual drive known)", f.serialLookupCode);
    out += "\n";
    out += Format("  Created %u, Mounted %u", s.Created, s.Mounted);
    if (f.virtualDiskQueryCode)
        out +=
            Format("  (the query answered code %u: no such virtual drive)", f.virtualDiskQueryCode);
    out += "\n";
    out += Format("  physical part       %" PRId64 " bytes  \"%s\"\n", s.PhysicalDisk.Value,
                  Field(s.PhysicalDisk.FriendlyName).c_str());
    out += Format("  virtual drive       %" PRId64 " bytes  \"%s\"\n", s.VirtualDisk.Value,
                  Field(s.VirtualDisk.FriendlyName).c_str());
}

// A small JSON writer: objects and arrays on lines of their own, indented by two.
class Json {
public:
    std::string Take() { return std::move(out_) + "\n"; }

    void Open(char bracket) {
        out_ += bracket;
        first_ = true;
        ++depth_;
    }
    void Close(char bracket) {
        --depth_;
        if (!first_) NewLine();
        out_ += bracket;
        first_ = false;
    }
    void Key(const char* key) {
        Next();
        out_ += Quote(key) + ": ";
    }
    void Item() { Next(); }
    void Raw(const std::string& value) { out_ += value; }
    void String(const std::string& value) { out_ += Quote(value); }
    void String(const std::wstring& value) { out_ += Quote(value); }
    void Number(uint64_t value) { out_ += Decimal(value); }
    void Number(int64_t value) { out_ += Format("%" PRId64, value); }
    void Bool(bool value) { out_ += value ? "true" : "false"; }
    void Null() { out_ += "null"; }

    // Field helpers.
    void Text(const char* key, const std::string& v) {
        Key(key);
        String(v);
    }
    void Text(const char* key, const std::wstring& v) {
        Key(key);
        String(v);
    }
    void Unsigned(const char* key, uint64_t v) {
        Key(key);
        Number(v);
    }
    void Signed(const char* key, int64_t v) {
        Key(key);
        Number(v);
    }
    void Flag(const char* key, bool v) {
        Key(key);
        Bool(v);
    }
    void Nothing(const char* key) {
        Key(key);
        Null();
    }

    static std::string Quote(const std::string& text) {
        return Quote(std::wstring(text.begin(), text.end()));
    }
    // Everything outside printable ASCII is escaped, so the document is plain ASCII.
    static std::string Quote(const std::wstring& text) {
        std::string out = "\"";
        for (const char16_t unit : platform::ToUtf16(text)) {
            if (unit == u'"')
                out += "\\\"";
            else if (unit == u'\\')
                out += "\\\\";
            else if (unit == u'\n')
                out += "\\n";
            else if (unit == u'\r')
                out += "\\r";
            else if (unit == u'\t')
                out += "\\t";
            else if (unit >= 0x20 && unit < 0x7F)
                out.push_back(static_cast<char>(unit));
            else
                out += Format("\\u%04X", static_cast<unsigned>(unit));
        }
        return out + "\"";
    }

private:
    void Next() {
        if (!first_) out_ += ",";
        first_ = false;
        NewLine();
    }
    void NewLine() { out_ += "\n" + std::string(2 * depth_, ' '); }

    std::string out_;
    int depth_ = 0;
    bool first_ = true;
};

void WriteLines(Json& j, const char* key, const std::vector<std::wstring>& lines) {
    j.Key(key);
    j.Open('[');
    for (std::wstring line : lines) {
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
        j.Item();
        j.String(line);
    }
    j.Close(']');
}

void WriteCode(Json& j, uint32_t code) {
    j.Unsigned("code", code);
    j.Text("text", SystemErrorText(code));
}

void WriteDrive(Json& j, const DriveEntry& d, int stoppedAt, bool verbose) {
    const DriveFindings& f = d.findings;
    j.Open('{');
    j.Signed("number", d.number);
    j.Text("verdict", VerdictName(d));
    if (const char* key = ReasonKey(d))
        j.Text("reason", key);
    else
        j.Nothing("reason");
    j.Text("reasonText", ReasonOf(d, stoppedAt));
    j.Text("line", VerdictLine(d, stoppedAt));
    const bool seen = d.examined;
    if (seen && f.modelText)
        j.Text("model", *f.modelText);
    else
        j.Nothing("model");
    if (seen && f.busType) {
        j.Unsigned("busType", *f.busType);
        j.Text("busTypeName", BusTypeName(*f.busType));
    } else {
        j.Nothing("busType");
        j.Nothing("busTypeName");
    }
    if (seen && f.partitionStyle)
        j.Text("partitionStyle", StyleName(*f.partitionStyle));
    else
        j.Nothing("partitionStyle");
    if (seen && f.size) {
        j.Unsigned("sizeBytes", f.size->DiskSize);
        j.Text("sizeGiB", Gib(f.size->DiskSize));
        j.Unsigned("lastBlockAddress", f.size->LastBlockAddress);
        j.Unsigned("bytesPerBlock", f.size->BytesPerBlock);
    } else {
        for (const char* key : {"sizeBytes", "sizeGiB", "lastBlockAddress", "bytesPerBlock"})
            j.Nothing(key);
    }
    if (seen && f.deviceObjectName)
        j.Text("deviceObjectName", *f.deviceObjectName);
    else
        j.Nothing("deviceObjectName");
    if (seen && f.failure) {
        j.Key("failure");
        j.Open('{');
        j.Text("step", disk::ScanStepName(f.failure->step));
        WriteCode(j, f.failure->code);
        j.Flag("stoppedScan", f.stoppedScan);
        j.Close('}');
    } else {
        j.Nothing("failure");
    }
    if (seen && f.verdict == Verdict::Offered) {
        const busctl::VirtualDiskState& s = f.virtualDisk;
        j.Key("virtualDrive");
        j.Open('{');
        j.Unsigned("serialNo", f.serialNo);
        j.Unsigned("serialLookupCode", f.serialLookupCode);
        j.Unsigned("queryCode", f.virtualDiskQueryCode);
        j.Flag("created", s.Created != 0);
        j.Flag("mounted", s.Mounted != 0);
        j.Signed("physicalBytes", s.PhysicalDisk.Value);
        j.Text("physicalName", platform::FromUtf16Bytes(s.PhysicalDisk.FriendlyName, 512));
        j.Signed("virtualBytes", s.VirtualDisk.Value);
        j.Text("virtualName", platform::FromUtf16Bytes(s.VirtualDisk.FriendlyName, 512));
        j.Close('}');
    } else {
        j.Nothing("virtualDrive");
    }
    if (verbose) WriteLines(j, "diagnostics", d.diagnostics);
    j.Close('}');
}

const char* PresenceName(BusDriverPresence p) {
    switch (p) {
        case BusDriverPresence::NotAsked:
            return "not asked";
        case BusDriverPresence::Present:
            return "present";
        case BusDriverPresence::Absent:
            return "absent";
        case BusDriverPresence::Failed:
            return "failed";
    }
    return "";
}

}  // namespace

std::string VerdictLine(const DriveEntry& d, int stoppedAtDrive) {
    std::string line = Format("Drive %d: ", d.number);
    if (!d.examined) return line + "not examined - " + ReasonOf(d, stoppedAtDrive);
    const DriveFindings& f = d.findings;
    if (f.verdict == Verdict::NoDrive) return line + "no drive with this number";
    std::string what;
    if (f.modelText) what = f.modelText->empty() ? "(no model text)" : Ascii(*f.modelText);
    if (f.size) what += (what.empty() ? "" : ", ") + Gib(f.size->DiskSize) + " GiB";
    if (!what.empty()) line += what + " - ";
    if (f.verdict == Verdict::Offered) return line + "offered";
    return line + "not offered: " + ReasonText(f);
}

std::string RenderText(const ScanReport& report, bool verbose) {
    std::string out = "Scanning drives 0 to 15 (" + report.Source() + ")\n\n";
    const int stoppedAt = StoppedAt(report);
    for (const DriveEntry& d : report.Drives()) {
        out += VerdictLine(d, stoppedAt) + "\n";
        if (d.examined && d.findings.verdict != Verdict::NoDrive) {
            const std::string details = Details(d.findings);
            if (!details.empty()) out += "    " + details + "\n";
        }
        if (verbose) {
            for (std::wstring line : d.diagnostics) {
                while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
                    line.pop_back();
                out += "    | " + Ascii(line) + "\n";
            }
        }
    }
    const UnscannedDrives& beyond = report.Unscanned();
    for (const auto& d : beyond.drives) {
        out += Format("Drive %d: ", d.number);
        if (d.model) out += (d.model->empty() ? "(no model text)" : Ascii(*d.model)) + " - ";
        out += "not examined: the scan looks at drive numbers 0 to 15 only\n";
    }
    if (beyond.listed && beyond.code)
        out += Format(
            "Drives above 15: not all known (listing the disk interfaces failed with "
            "code %u, %s)\n",
            beyond.code, ErrorText(beyond.code).c_str());
    if (verbose && !report.LinesAfterScan().empty()) {
        out += "After the scan:\n";
        for (const std::wstring& line : report.LinesAfterScan())
            out += "    | " + Ascii(line) + "\n";
    }

    out += "\nBus driver: " + BusDriverLine(report) + "\n";
    const std::vector<int> offered = report.OfferedDrives();
    if (!offered.empty()) {
        out += "\nOffered drives, as the program lists them:\n";
        for (const int n : offered) AppendOffered(out, report.Drives()[n]);
    }
    return out + "\n" + ClosingLine(report) + "\n";
}

std::string RenderJson(const ScanReport& report, bool verbose) {
    Json j;
    j.Open('{');
    j.Text("format", "OverreachScan report 1");
    j.Text("source", report.Source());
    const int stoppedAt = StoppedAt(report);
    j.Key("drives");
    j.Open('[');
    for (const DriveEntry& d : report.Drives()) {
        j.Item();
        WriteDrive(j, d, stoppedAt, verbose);
    }
    j.Close(']');

    const UnscannedDrives& beyond = report.Unscanned();
    j.Key("beyondScan");
    j.Open('{');
    j.Flag("listed", beyond.listed);
    j.Unsigned("code", beyond.code);
    j.Key("drives");
    j.Open('[');
    for (const auto& d : beyond.drives) {
        j.Item();
        j.Open('{');
        j.Signed("number", d.number);
        if (d.model)
            j.Text("model", *d.model);
        else
            j.Nothing("model");
        j.Close('}');
    }
    j.Close(']');
    j.Close('}');

    j.Key("busDriver");
    j.Open('{');
    const bool finished = report.Finished();
    const disk::ScanOutcome none;
    const disk::ScanOutcome& o = finished ? report.Outcome() : none;
    j.Text("fromScan", PresenceName(o.busDriver));
    if (o.busDriverDrive >= 0)
        j.Signed("drive", o.busDriverDrive);
    else
        j.Nothing("drive");
    j.Unsigned("code", o.busDriverCode);
    const BusCheck& check = report.BusChecked();
    if (check.done) {
        j.Key("afterScan");
        j.Open('{');
        j.Text("state", check.code == 0 ? "present" : check.noInterface ? "absent" : "failed");
        WriteCode(j, check.code);
        j.Close('}');
    } else {
        j.Nothing("afterScan");
    }
    j.Text("line", BusDriverLine(report));
    j.Close('}');

    j.Key("offered");
    j.Open('[');
    for (const int n : report.OfferedDrives()) {
        j.Item();
        j.Number(int64_t{n});
    }
    j.Close(']');

    j.Key("counts");
    j.Open('{');
    j.Unsigned("offered", CountVerdict(report, "offered"));
    j.Unsigned("notOffered", CountVerdict(report, "not offered"));
    j.Unsigned("noDrive", CountVerdict(report, "no drive"));
    j.Unsigned("notExamined", CountVerdict(report, "not examined"));
    j.Close('}');

    j.Key("result");
    j.Open('{');
    j.Flag("finished", finished);
    if (finished) {
        WriteCode(j, o.result);
        j.Flag("success",
               o.result == platform::kErrorSuccess || o.result == platform::kErrorFileNotFound);
        j.Flag("stoppedEarly", o.stoppedEarly);
        if (o.stoppedEarly)
            j.Signed("stoppedAtDrive", o.stoppedAtDrive);
        else
            j.Nothing("stoppedAtDrive");
        j.Key("notExamined");
        j.Open('[');
        for (const int n : o.notExamined) {
            j.Item();
            j.Number(int64_t{n});
        }
        j.Close(']');
        j.Text("meaning", ResultMeaning(report));
    }
    j.Text("line", ClosingLine(report));
    j.Close('}');
    if (verbose) WriteLines(j, "linesAfterScan", report.LinesAfterScan());
    j.Close('}');
    return j.Take();
}

}  // namespace console
