#include "sim/Scenario.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace sim {

namespace {

struct Line {
    int number = 0;
    std::vector<std::string> words;                // before the first key=value
    std::map<std::string, std::string> values;     // key=value pairs
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
                            value.push_back(
                                static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
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

// The parsed scenario, applied to the machine only when the whole text is sound.
struct Parsed {
    bool busPresent = true;
    std::vector<Drive> drives;
    struct Virtual {
        uint32_t serial;
        int drive;
        bool mounted;
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
        why = "unknown fact '" + kind + "' (bus, drive or virtual)";
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
        out_.busPresent = line.words[1] == "present";
        return true;
    }

    bool DriveLine(const Line& line, std::string& why) {
        uint64_t number = 0;
        if (line.words.size() != 2 || !Unsigned(line.words[1], 999, number)) {
            why = "a drive needs its number (0 to 999) after 'drive'";
            return false;
        }
        if (!OnlyKeys(line, {"size", "vendor", "product", "bus", "style", "pdo", "lastblock",
                             "blocksize"},
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
            if (*v == "mbr") d.partitionStyle = 0;
            else if (*v == "gpt") d.partitionStyle = 1;
            else if (*v == "raw") d.partitionStyle = 2;
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
        if (line.words.size() != 2 || !Unsigned(line.words[1], UINT32_MAX, serial) ||
            serial == 0) {
            why = "a virtual drive needs its serial number (1 to 4294967295) after 'virtual'";
            return false;
        }
        if (!OnlyKeys(line, {"drive", "mounted"}, why)) return false;
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
        out_.virtuals.push_back({static_cast<uint32_t>(serial), static_cast<int>(drive), mounted});
        return true;
    }

    Parsed& out_;
};

}  // namespace

bool LoadScenario(const std::string& text, SimulatedMachine& machine, std::string& error) {
    Parsed parsed;
    Parser parser(parsed);
    std::istringstream in(text);
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
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    machine.SetBusPresent(parsed.busPresent);
    // Named drives first, so that a generated name never takes a name given later.
    for (Drive& d : parsed.drives)
        if (!d.deviceObjectName.empty()) machine.AddDrive(d);
    for (Drive& d : parsed.drives)
        if (d.deviceObjectName.empty()) machine.AddDrive(d);
    for (const auto& v : parsed.virtuals) machine.AddVirtualDrive(v.serial, v.drive, v.mounted);
    return true;
}

bool LoadScenarioFile(const std::string& path, SimulatedMachine& machine, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return LoadScenario(text.str(), machine, error);
}

}  // namespace sim
