#include "app/testing/RandomSequence.h"

#include <algorithm>
#include <random>
#include <set>
#include <sstream>

namespace app::testing {
namespace {

const char* const kCalls[] = {"GetClassDevs",
                              "EnumDeviceInterfaces",
                              "GetDeviceInterfaceDetail",
                              "GetDeviceRegistryProperty",
                              "DestroyDeviceInfoList",
                              "CreateFile",
                              "DeviceIoControl",
                              "CloseHandle",
                              "HeapAlloc",
                              "HeapFree"};
const char* const kSteps[] = {"select", "create", "recover", "broadcasts",
                              "change", "wait",   "settle"};
const char* const kChanges[] = {
    "none",           "add",      "remove",  "plug-elsewhere", "unmount-elsewhere",
    "remove-virtual", "bus-gone", "bus-back"};
const char* const kWhen[] = {"now", "box", "call"};
// The bus driver's requests, by the names the sequence text gives them.
const char* const kRequests[] = {"plug-in", "unplug", "query", "lookup", "size"};
const uint32_t kRequestCodes[] = {0x2A4004, 0x2A4008, 0x2A4010, 0x2A4014, 0x2A4018};

template <size_t N>
int IndexOf(const char* const (&names)[N], const std::string& name) {
    for (size_t i = 0; i < N; ++i)
        if (name == names[i]) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by)) out.push_back(part);
    return out;
}

constexpr uint64_t kLimit = uint64_t{1} << 41;
const uint64_t kSizes[] = {kLimit - 512,  kLimit,        kLimit + 512,   3000592982016,
                           4000787030016, 6001175126016, 17592186044416, 1000204886016};

std::string FaultText(const FaultPlan& f) {
    std::ostringstream o;
    o << kCalls[static_cast<int>(f.call)] << "," << f.nth << "," << f.count << "," << f.error << ","
      << f.bus;
    for (size_t r = 0; r < 5; ++r)
        if (f.ioctl == kRequestCodes[r]) o << "," << kRequests[r];
    return o.str();
}

bool ParseFault(const std::vector<std::string>& v, FaultPlan& f) {
    if (v.size() != 5 && v.size() != 6) return false;
    const int call = IndexOf(kCalls, v[0]);
    const int request = v.size() == 6 ? IndexOf(kRequests, v[5]) : 0;
    if (call < 0 || request < 0) return false;
    f = {true,
         static_cast<sim::Call>(call),
         std::stoi(v[1]),
         std::stoi(v[2]),
         static_cast<uint32_t>(std::stoul(v[3])),
         std::stoi(v[4]),
         v.size() == 6 ? kRequestCodes[request] : 0};
    return true;
}

}  // namespace

RandomSequence Generate(uint32_t seed, const std::string& demoScenario) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    RandomSequence seq;
    seq.realTiming = pick(12) == 0;
    if (pick(4) == 0) {
        for (const std::string& line : Split(demoScenario, '\n')) {
            std::string fact = line.substr(0, line.find('#'));
            fact.erase(fact.find_last_not_of(' ') + 1);
            if (!fact.empty()) seq.machine.push_back(fact);
        }
    } else {
        // Now and then the program starts before the bus driver does.
        seq.machine.push_back(pick(20) ? "bus present" : "bus absent");
        std::vector<int> numbers;
        for (int n = 0; n < 16; ++n) numbers.push_back(n);
        std::shuffle(numbers.begin(), numbers.end(), rng);
        numbers.resize(static_cast<size_t>(1 + pick(pick(3) == 0 ? 16 : 5)));
        std::sort(numbers.begin(), numbers.end());
        std::vector<uint32_t> serials;
        for (uint32_t s = 1; s <= 25; ++s) serials.push_back(s);
        std::shuffle(serials.begin(), serials.end(), rng);
        static const char* const vendors[] = {"", "", "WDC", "ST", "ASUS", "asus"};
        static const char* const styles[] = {"mbr", "mbr", "mbr", "raw", "gpt"};
        for (int n : numbers) {
            const uint64_t size = kSizes[pick(8)];
            const uint32_t block = pick(8) == 0 ? 4096 : 512;
            std::ostringstream d;
            d << "drive " << n << " size=" << size << " product=\"DRIVE" << n << "-" << pick(100)
              << (pick(3) == 0 ? "  \"" : "\"");
            if (const char* v = vendors[pick(6)]; *v) d << " vendor=\"" << v << "\"";
            d << " style=" << styles[pick(5)] << " blocksize=" << block;
            if (pick(10) == 0) d << " lastblock=" << ((size / block) & ~uint64_t{0xFFFFFFFF});
            seq.machine.push_back(d.str());
            if (size > kLimit && pick(3) == 0) {
                std::ostringstream v;
                v << "virtual " << serials.back() << " drive=" << n << " mounted=" << pick(2);
                serials.pop_back();
                seq.machine.push_back(v.str());
            }
        }
    }

    auto gaps = [&] {
        std::vector<int> g(static_cast<size_t>(1 + pick(5)));
        for (int& d : g) d = pick(4) == 0 ? pick(seq.realTiming ? 200 : 12) : pick(3);
        return g;
    };
    auto change = [&] {
        static const ChangeKind kinds[] = {ChangeKind::AddDrive,         ChangeKind::AddDrive,
                                           ChangeKind::RemoveDrive,      ChangeKind::PlugElsewhere,
                                           ChangeKind::UnmountElsewhere, ChangeKind::RemoveVirtual,
                                           ChangeKind::BusGone};
        MachineChange c;
        c.kind = kinds[pick(pick(6) == 0 ? 7 : 6)];
        c.pick = pick(16);
        c.size = kSizes[2 + pick(6)];
        c.blockSize = pick(8) == 0 ? 4096 : 512;
        c.style = pick(6) == 0 ? 1 : (pick(5) == 0 ? 2 : 0);
        for (const char* f : {"a", "r", "v", "u"})
            if (pick(f[0] == 'v' || f[0] == 'u' ? 3 : 8) == 0 &&
                c.flags.find_first_of("vu") == std::string::npos)
                c.flags += f;
        return c;
    };
    static const sim::Call calls[] = {sim::Call::GetClassDevs,
                                      sim::Call::EnumDeviceInterfaces,
                                      sim::Call::GetDeviceInterfaceDetail,
                                      sim::Call::GetDeviceRegistryProperty,
                                      sim::Call::CreateFile,
                                      sim::Call::CreateFile,
                                      sim::Call::DeviceIoControl,
                                      sim::Call::DeviceIoControl,
                                      sim::Call::DeviceIoControl,
                                      sim::Call::DeviceIoControl,
                                      sim::Call::DeviceIoControl,
                                      sim::Call::HeapAlloc};
    static const uint32_t errors[] = {2, 21, 31, 87, 259};
    bool busGone = seq.machine[0] == "bus absent";
    if (!busGone && pick(30) == 0) {
        // A drive that is not ready yet: the scan at start-up stops at it.
        seq.startFault = {true,
                          pick(2) ? sim::Call::DeviceIoControl : sim::Call::CreateFile,
                          1 + pick(12),
                          1,
                          pick(2) ? 21u : 31u,
                          0,
                          0};
    }
    seq.steps.resize(static_cast<size_t>(3 + pick(10)));
    for (RandomStep& s : seq.steps) {
        const int roll = pick(100);
        s.kind = roll < 18   ? StepKind::Select
                 : roll < 38 ? StepKind::Create
                 : roll < 50 ? StepKind::Recover
                 : roll < 62 ? StepKind::Broadcasts
                 : roll < 86 ? StepKind::Change
                 : roll < 93 ? StepKind::Wait
                             : StepKind::Settle;
        if (s.kind == StepKind::Settle) continue;
        s.line = pick(8) == 0 ? -1 : pick(4);
        s.yes = pick(3) != 0;
        s.pump = pick(3) == 0 ? pick(seq.realTiming ? 400 : 25) : 0;
        if (s.kind == StepKind::Wait) s.pump = 1 + pick(seq.realTiming ? 800 : 40);
        s.boxOpen = pick(3) == 0 ? pick(seq.realTiming ? 250 : 25) : 0;
        if (s.kind == StepKind::Change || pick(5) == 0) {
            s.change = change();
            if (s.kind != StepKind::Change) {
                // Inside the Recover question, or an error box when one comes.
                const bool boxes = s.kind == StepKind::Recover || s.kind == StepKind::Create;
                s.when = boxes && pick(2) ? ChangeWhen::InBox : ChangeWhen::AfterCall;
                s.afterCall = 1 + pick(pick(2) ? 12 : 120);
            }
        }
        // The bus driver comes back after a step or two, or the rest of the sequence has
        // nothing to read.
        if (busGone) s.change.kind = ChangeKind::BusBack;
        busGone = s.change.kind == ChangeKind::BusGone;
        if (s.change.kind != ChangeKind::None || s.kind == StepKind::Broadcasts) {
            s.gaps = gaps();
            s.volume = pick(4) == 0;
            // A stick's volume comes and goes with no device-node broadcast at all.
            if (s.volume && pick(3) == 0) s.gaps.clear();
        }
        const bool request = s.kind == StepKind::Create || s.kind == StepKind::Recover;
        if (pick(request ? 2 : 3) == 0) {
            FaultPlan& f = s.fault;
            f.on = true;
            f.call = calls[pick(12)];
            if (f.call == sim::Call::DeviceIoControl && pick(2)) {
                static const int requests[] = {0, 1, 2, 2, 3, 4};
                f.ioctl = kRequestCodes[requests[pick(6)]];
            }
            f.nth = 1 + (pick(2) ? pick(3) : pick(pick(2) ? 12 : 60));
            f.count = pick(4) == 0 ? 2 + pick(6) : 1;
            f.error = errors[pick(5)];
            f.bus = pick(3) - 1;
        }
    }
    if (busGone) seq.steps.push_back({});  // a settle, then the bus driver's return
    if (busGone) {
        RandomStep back;
        back.kind = StepKind::Change;
        back.change.kind = ChangeKind::BusBack;
        back.gaps = {0};
        seq.steps.push_back(back);
    }
    return seq;
}

std::string Describe(const RandomStep& s) {
    std::ostringstream o;
    o << kSteps[static_cast<int>(s.kind)];
    if (s.kind == StepKind::Select) o << " line=" << s.line;
    if (s.kind == StepKind::Recover) o << (s.yes ? " yes" : " no");
    if (s.change.kind != ChangeKind::None) {
        const MachineChange& c = s.change;
        o << " change=" << kChanges[static_cast<int>(c.kind)] << "," << c.pick;
        if (c.kind == ChangeKind::AddDrive)
            o << "," << c.size << "," << c.blockSize << "," << c.style << ","
              << (c.flags.empty() ? "-" : c.flags);
        if (s.kind != StepKind::Change) {
            o << " when=" << kWhen[static_cast<int>(s.when)];
            if (s.when == ChangeWhen::AfterCall) o << "," << s.afterCall;
        }
    }
    if (!s.gaps.empty()) {
        o << " gaps=";
        for (size_t i = 0; i < s.gaps.size(); ++i) o << (i ? "," : "") << s.gaps[i];
    }
    if (s.volume) o << " volume";
    if (s.boxOpen) o << " box=" << s.boxOpen;
    if (s.pump) o << " pump=" << s.pump;
    if (s.fault.on) o << " fault=" << FaultText(s.fault);
    return o.str();
}

std::string ToText(const RandomSequence& seq) {
    std::ostringstream o;
    for (const std::string& m : seq.machine) o << "machine " << m << "\n";
    o << "timing " << (seq.realTiming ? "real" : "quick") << "\n";
    if (seq.startFault.on) o << "start fault=" << FaultText(seq.startFault) << "\n";
    for (const RandomStep& s : seq.steps) o << "step " << Describe(s) << "\n";
    return o.str();
}

bool FromText(const std::string& text, RandomSequence& seq, std::string& error) {
    seq = {};
    int number = 0;
    for (std::string line : Split(text, '\n')) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t space = line.find(' ');
        const std::string head = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (head.empty() || head[0] == '#') continue;
        if (head == "machine") {
            seq.machine.push_back(rest);
        } else if (head == "timing") {
            seq.realTiming = rest == "real";
        } else if (head == "start") {
            if (rest.rfind("fault=", 0) != 0 ||
                !ParseFault(Split(rest.substr(6), ','), seq.startFault))
                return fail("no such fault " + rest);
        } else if (head == "step") {
            std::istringstream words(rest);
            std::string word;
            words >> word;
            RandomStep s;
            const int kind = IndexOf(kSteps, word);
            if (kind < 0) return fail("no step " + word);
            s.kind = static_cast<StepKind>(kind);
            while (words >> word) {
                const size_t eq = word.find('=');
                const std::string key = word.substr(0, eq);
                const std::vector<std::string> v = eq == std::string::npos
                                                       ? std::vector<std::string>{}
                                                       : Split(word.substr(eq + 1), ',');
                auto num = [&](size_t i) { return i < v.size() ? std::stoll(v[i]) : 0; };
                if (key == "yes" || key == "no") {
                    s.yes = key == "yes";
                } else if (key == "volume") {
                    s.volume = true;
                } else if (key == "line") {
                    s.line = static_cast<int>(num(0));
                } else if (key == "box") {
                    s.boxOpen = static_cast<int>(num(0));
                } else if (key == "pump") {
                    s.pump = static_cast<int>(num(0));
                } else if (key == "gaps") {
                    for (size_t i = 0; i < v.size(); ++i)
                        s.gaps.push_back(static_cast<int>(num(i)));
                } else if (key == "when" && !v.empty()) {
                    const int when = IndexOf(kWhen, v[0]);
                    if (when < 0) return fail("no time " + v[0]);
                    s.when = static_cast<ChangeWhen>(when);
                    s.afterCall = static_cast<int>(num(1));
                } else if (key == "change" && !v.empty()) {
                    const int c = IndexOf(kChanges, v[0]);
                    if (c < 0) return fail("no change " + v[0]);
                    s.change.kind = static_cast<ChangeKind>(c);
                    s.change.pick = static_cast<int>(num(1));
                    s.change.size = static_cast<uint64_t>(num(2));
                    s.change.blockSize = static_cast<uint32_t>(num(3));
                    s.change.style = static_cast<int>(num(4));
                    s.change.flags = v.size() > 5 && v[5] != "-" ? v[5] : "";
                } else if (key == "fault") {
                    if (!ParseFault(v, s.fault)) return fail("no such fault " + word);
                } else {
                    return fail("cannot read " + word);
                }
            }
            seq.steps.push_back(s);
        } else {
            return fail("no " + head);
        }
    }
    return true;
}

std::vector<RandomSequence> Simpler(const RandomSequence& seq) {
    std::vector<RandomSequence> out;
    const size_t n = seq.steps.size();
    // Whole chunks of steps, halves first, then single steps.
    for (size_t chunk = n / 2; chunk >= 1; chunk /= 2) {
        for (size_t at = 0; at + chunk <= n; at += chunk) {
            RandomSequence s = seq;
            s.steps.erase(s.steps.begin() + static_cast<long>(at),
                          s.steps.begin() + static_cast<long>(at + chunk));
            if (!s.steps.empty()) out.push_back(s);
        }
        if (chunk == 1) break;
    }
    // Fewer drives: a drive line goes with the virtual drives on it.
    for (size_t i = 0; i < seq.machine.size(); ++i) {
        const std::string& m = seq.machine[i];
        if (m.rfind("drive ", 0) != 0) continue;
        const std::string number = m.substr(6, m.find(' ', 6) - 6);
        RandomSequence s = seq;
        s.machine.clear();
        for (size_t k = 0; k < seq.machine.size(); ++k)
            if (k != i && seq.machine[k].find("drive=" + number) == std::string::npos)
                s.machine.push_back(seq.machine[k]);
        out.push_back(s);
    }
    if (seq.realTiming) {
        RandomSequence s = seq;
        s.realTiming = false;
        out.push_back(s);
    }
    if (seq.startFault.on) {
        RandomSequence s = seq;
        s.startFault.on = false;
        out.push_back(s);
    }
    // Each step plainer: no fault, no change, fewer broadcasts, shorter waits, earlier calls.
    for (size_t i = 0; i < n; ++i) {
        const RandomStep& st = seq.steps[i];
        auto with = [&](auto edit) {
            RandomSequence s = seq;
            edit(s.steps[i]);
            out.push_back(s);
        };
        if (st.fault.on) with([](RandomStep& s) { s.fault.on = false; });
        if (st.fault.on && st.fault.count > 1) with([](RandomStep& s) { s.fault.count = 1; });
        if (st.fault.on && st.fault.nth > 1) with([](RandomStep& s) { s.fault.nth /= 2; });
        if (st.fault.on && st.fault.bus != -1) with([](RandomStep& s) { s.fault.bus = -1; });
        if (st.change.kind != ChangeKind::None && st.kind != StepKind::Change)
            with([](RandomStep& s) { s.change.kind = ChangeKind::None; });
        if (st.when == ChangeWhen::AfterCall && st.afterCall > 1)
            with([](RandomStep& s) { s.afterCall /= 2; });
        if (!st.change.flags.empty()) with([](RandomStep& s) { s.change.flags.clear(); });
        if (st.gaps.size() > 1) with([](RandomStep& s) { s.gaps.resize(1); });
        if (st.volume && !st.gaps.empty()) with([](RandomStep& s) { s.gaps.clear(); });
        if (std::any_of(st.gaps.begin(), st.gaps.end(), [](int g) { return g > 0; }))
            with([](RandomStep& s) { std::fill(s.gaps.begin(), s.gaps.end(), 0); });
        // A change is always followed by some broadcast.
        if (st.volume && !st.gaps.empty()) with([](RandomStep& s) { s.volume = false; });
        if (st.pump) with([](RandomStep& s) { s.pump /= 2; });
        if (st.boxOpen) with([](RandomStep& s) { s.boxOpen = 0; });
    }
    return out;
}

}  // namespace app::testing
