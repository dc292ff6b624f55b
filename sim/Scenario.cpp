#include "sim/Scenario.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include <sys/stat.h>

namespace sim {

namespace {

struct Line {
    int number = 0;
    std::vector<std::string> words;             // before the first key=value
    std::map<std::string, std::string> values;  // key=value pairs
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Splits a line into words and key=value pairs; a '#' outside quotes ends it.
bool Tokenize(const std::string& text, Line& line, std::string& why) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            ++i;
            continue;
        }
        if (text[i] == '#') break;
        std::string key, value;
        bool hasValue = false;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' &&
               text[i] != '#') {
            if (text[i] == '=' && !hasValue) {
                hasValue = true;
                ++i;
                if (i < text.size() && text[i] == '"') {
                    ++i;
                    bool closed = false;
                    while (i < text.size()) {
                        const char c = text[i++];
                        if (c == '"') {
                            closed = true;
                            break;
                        }
                        if (c != '\\') {
                            value.push_back(c);
                            continue;
                        }
                        if (i < text.size() && (text[i] == '"' || text[i] == '\\')) {
                            value.push_back(text[i++]);
                        } else if (i + 2 < text.size() && text[i] == 'x' &&
                                   HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
                            value.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 +
                                                              HexDigit(text[i + 2])));
                            i += 3;
                        } else {
                            why = "a backslash in quotes must be followed by xNN, \" or \\";
                            return false;
                        }
                    }
                    if (!closed) {
                        why = "a quoted value has no closing quote";
                        return false;
                    }
                    if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' &&
                        text[i] != '#') {
                        why = "a blank must follow a quoted value";
                        return false;
                    }
                }
                continue;
            }
            (hasValue ? value : key).push_back(text[i++]);
        }
        if (!hasValue) {
            if (!line.values.empty()) {
                why = "'" + key + "' stands after the key=value pairs";
                return false;
            }
            line.words.push_back(key);
        } else if (key.empty()) {
            why = "a value without a key";
            return false;
        } else if (!line.values.emplace(key, value).second) {
            why = "'" + key + "' is given twice";
            return false;
        }
    }
    return true;
}

// Bytes a terminal would not show as themselves become \xNN, so a message about a line
// with control characters or another encoding's bytes still reads as one clean line.
std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(ch);
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

bool Unsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > max) return false;
    out = v;
    return true;
}

// A decimal number, or a hexadecimal one after 0x as control codes are usually written.
bool Number(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return Unsigned(text, max, out);
    if (text.size() > 18) return false;
    uint64_t v = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint64_t>(d);
    }
    if (v > max) return false;
    out = v;
    return true;
}

struct CallName {
    const char* name;
    Call call;
};
constexpr CallName kCalls[] = {
    {"GetClassDevs", Call::GetClassDevs},
    {"EnumDeviceInterfaces", Call::EnumDeviceInterfaces},
    {"GetDeviceInterfaceDetail", Call::GetDeviceInterfaceDetail},
    {"GetDeviceRegistryProperty", Call::GetDeviceRegistryProperty},
    {"DestroyDeviceInfoList", Call::DestroyDeviceInfoList},
    {"CreateFile", Call::CreateFile},
    {"DeviceIoControl", Call::DeviceIoControl},
    {"CloseHandle", Call::CloseHandle},
    {"HeapAlloc", Call::HeapAlloc},
    {"HeapFree", Call::HeapFree},
};

// The parsed scenario, applied to the machine only when the whole text is sound.
struct Parsed {
    bool busGiven = false;
    bool busPresent = true;
    std::vector<Fault> faults;
    std::vector<Drive> drives;
    struct Virtual {
        uint32_t serial;
        int drive;
        bool mounted;
        bool lookupWarning;
    };
    std::vector<Virtual> virtuals;
};

class Parser {
public:
    explicit Parser(Parsed& out) : out_(out) {}

    bool Parse(const Line& line, std::string& why) {
        const std::string& kind = line.words[0];
        if (kind == "bus") return Bus(line, why);
        if (kind == "drive") return DriveLine(line, why);
        if (kind == "virtual") return VirtualLine(line, why);
        if (kind == "fault") return FaultLine(line, why);
        why = "unknown fact '" + kind + "' (bus, drive, virtual or fault)";
        return false;
    }

private:
    static bool OnlyKeys(const Line& line, const std::set<std::string>& keys, std::string& why) {
        for (const auto& [key, value] : line.values) {
            if (!keys.count(key)) {
                why = "unknown key '" + key + "'";
                return false;
            }
        }
        return true;
    }

    bool Bus(const Line& line, std::string& why) {
        if (line.words.size() != 2 || !line.values.empty() ||
            (line.words[1] != "present" && line.words[1] != "absent")) {
            why = "write 'bus present' or 'bus absent'";
            return false;
        }
        if (out_.busGiven) {
            why = "the bus is described twice";
            return false;
        }
        out_.busGiven = true;
        out_.busPresent = line.words[1] == "present";
        return true;
    }

    bool DriveLine(const Line& line, std::string& why) {
        uint64_t number = 0;
        if (line.words.size() != 2 || !Unsigned(line.words[1], 999, number)) {
            why = "a drive needs its number (0 to 999) after 'drive'";
            return false;
        }
        if (!OnlyKeys(
                line,
                {"size", "vendor", "product", "bus", "style", "pdo", "lastblock", "blocksize"},
                why))
            return false;
        Drive d;
        d.number = static_cast<int>(number);
        for (const Drive& other : out_.drives) {
            if (other.number == d.number) {
                why = "drive " + line.words[1] + " is described twice";
                return false;
            }
        }
        const auto get = [&](const char* key) -> const std::string* {
            auto it = line.values.find(key);
            return it == line.values.end() ? nullptr : &it->second;
        };
        const std::string* size = get("size");
        if (!size || !Unsigned(*size, UINT64_MAX, d.size)) {
            why = "a drive needs size=BYTES";
            return false;
        }
        d.product = "Disk " + line.words[1];
        if (const std::string* v = get("vendor")) d.vendor = *v;
        if (const std::string* v = get("product")) d.product = *v;
        uint64_t n = 0;
        if (const std::string* v = get("bus")) {
            if (!Unsigned(*v, UINT32_MAX, n)) {
                why = "bus= wants a number";
                return false;
            }
            d.busType = static_cast<uint32_t>(n);
        }
        if (const std::string* v = get("style")) {
            if (*v == "mbr")
                d.partitionStyle = 0;
            else if (*v == "gpt")
                d.partitionStyle = 1;
            else if (*v == "raw")
                d.partitionStyle = 2;
            else {
                why = "style= wants mbr, gpt or raw";
                return false;
            }
        }
        if (const std::string* v = get("pdo")) {
            for (unsigned char c : *v) d.deviceObjectName.push_back(static_cast<wchar_t>(c));
            if (d.deviceObjectName.empty()) {
                why = "pdo= may not be empty";
                return false;
            }
            for (const Drive& other : out_.drives) {
                if (other.deviceObjectName == d.deviceObjectName) {
                    why = "pdo=" + *v + " is used by drive " + std::to_string(other.number);
                    return false;
                }
            }
        }
        if (const std::string* v = get("blocksize")) {
            if (!Unsigned(*v, UINT32_MAX, n) || n == 0) {
                why = "blocksize= wants a number above 0";
                return false;
            }
            d.bytesPerBlock = static_cast<uint32_t>(n);
        }
        d.lastBlockAddress = d.size / d.bytesPerBlock ? d.size / d.bytesPerBlock - 1 : 0;
        if (const std::string* v = get("lastblock")) {
            if (!Unsigned(*v, UINT64_MAX, d.lastBlockAddress)) {
                why = "lastblock= wants a number";
                return false;
            }
        }
        out_.drives.push_back(std::move(d));
        return true;
    }

    bool VirtualLine(const Line& line, std::string& why) {
        uint64_t serial = 0;
        if (line.words.size() != 2 || !Unsigned(line.words[1], UINT32_MAX, serial) || serial == 0) {
            why = "a virtual drive needs its serial number (1 to 4294967295) after 'virtual'";
            return false;
        }
        if (!OnlyKeys(line, {"drive", "mounted", "lookup"}, why)) return false;
        uint64_t drive = 0;
        auto d = line.values.find("drive");
        if (d == line.values.end() || !Unsigned(d->second, 999, drive)) {
            why = "a virtual drive needs drive=N";
            return false;
        }
        bool mounted = true;
        if (auto m = line.values.find("mounted"); m != line.values.end()) {
            if (m->second != "0" && m->second != "1") {
                why = "mounted= wants 0 or 1";
                return false;
            }
            mounted = m->second == "1";
        }
        bool lookupWarning = false;
        if (auto l = line.values.find("lookup"); l != line.values.end()) {
            if (l->second != "259") {
                why = "lookup= wants 259, the warning the lookup then answers with";
                return false;
            }
            lookupWarning = true;
        }
        for (const auto& v : out_.virtuals) {
            if (v.serial == serial) {
                why = "serial number " + line.words[1] + " is used twice";
                return false;
            }
            if (v.drive == static_cast<int>(drive)) {
                why = "drive " + d->second + " already has a virtual drive";
                return false;
            }
        }
        bool known = false;
        for (const Drive& x : out_.drives) known = known || x.number == static_cast<int>(drive);
        if (!known) {
            why = "drive " + d->second + " is not described above";
            return false;
        }
        out_.virtuals.push_back(
            {static_cast<uint32_t>(serial), static_cast<int>(drive), mounted, lookupWarning});
        return true;
    }

    bool FaultLine(const Line& line, std::string& why) {
        const CallName* call = nullptr;
        if (line.words.size() == 2)
            for (const CallName& c : kCalls)
                if (line.words[1] == c.name) call = &c;
        if (!call) {
            why = "a fault needs the call that fails after 'fault':";
            for (const CallName& c : kCalls) why += std::string(" ") + c.name;
            return false;
        }
        if (!OnlyKeys(line, {"error", "nth", "ioctl", "drive", "bus"}, why)) return false;
        Fault f;
        f.call = call->call;
        uint64_t n = 0;
        auto e = line.values.find("error");
        if (e == line.values.end() || !Number(e->second, UINT32_MAX, n) || n == 0) {
            why = "a fault needs error=CODE, a Win32 error code above 0";
            return false;
        }
        f.error = static_cast<uint32_t>(n);
        if (auto v = line.values.find("nth"); v != line.values.end()) {
            if (!Unsigned(v->second, 1000000, n)) {
                why = "nth= wants a number (0: every matching call)";
                return false;
            }
            f.nth = static_cast<int>(n);
        }
        if (auto v = line.values.find("ioctl"); v != line.values.end()) {
            if (!Number(v->second, UINT32_MAX, n)) {
                why = "ioctl= wants a control code";
                return false;
            }
            f.ioctl = static_cast<uint32_t>(n);
        }
        if (auto v = line.values.find("drive"); v != line.values.end()) {
            if (!Unsigned(v->second, 999, n)) {
                why = "drive= wants a drive number";
                return false;
            }
            f.drive = static_cast<int>(n);
        }
        if (auto v = line.values.find("bus"); v != line.values.end()) {
            if (v->second != "0" && v->second != "1") {
                why = "bus= wants 0 or 1";
                return false;
            }
            f.bus = v->second == "1";
        }
        out_.faults.push_back(f);
        return true;
    }

    Parsed& out_;
};

}  // namespace

bool LoadScenario(const std::string& text, SimulatedMachine& machine, std::string& error) {
    Parsed parsed;
    Parser parser(parsed);
    // Editors on Windows like to start a UTF-8 file with a byte-order mark.
    constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    std::istringstream in(text.compare(0, 3, kByteOrderMark) == 0 ? text.substr(3) : text);
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        Line line;
        std::string why;
        bool sound = Tokenize(raw, line, why);
        if (sound && line.words.empty() && !line.values.empty()) {
            why = "a line begins with a fact: bus, drive or virtual";
            sound = false;
        }
        if (sound && !line.words.empty()) sound = parser.Parse(line, why);
        if (!sound) {
            error = "line " + std::to_string(number) + ": " + Printable(why);
            return false;
        }
    }
    machine.SetBusPresent(parsed.busPresent);
    // Named drives first, so that a generated name never takes a name given later.
    for (Drive& d : parsed.drives)
        if (!d.deviceObjectName.empty()) machine.AddDrive(d);
    for (Drive& d : parsed.drives)
        if (d.deviceObjectName.empty()) machine.AddDrive(d);
    for (const auto& v : parsed.virtuals)
        machine.AddVirtualDrive(v.serial, v.drive, v.mounted, v.lookupWarning);
    for (const Fault& f : parsed.faults) machine.InjectFault(f);
    return true;
}

bool LoadScenarioFile(const std::string& path, SimulatedMachine& machine, std::string& error) {
    const std::string shown = Printable(path);
    // A folder opens as a stream on some systems and would load as an empty machine. (stat
    // rather than std::filesystem, which adds a tenth of a megabyte to every program.)
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = shown + " is a folder, not a scenario file";
        return false;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = shown + " cannot be read: " + (errno ? std::strerror(errno) : "open failed");
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        error = shown + " cannot be read: the read failed part way";
        return false;
    }
    if (LoadScenario(text, machine, error)) return true;
    error = shown + ", " + error;
    return false;
}

}  // namespace sim
