#include "app/testing/DialogModel.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "sim/SimulatedMachine.h"

namespace app::testing {
namespace {

constexpr uint64_t kLimit = uint64_t{1} << 41;

std::wstring Trimmed(const std::string& bytes) {
    const auto first = bytes.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::string t = bytes.substr(first, bytes.find_last_not_of(' ') - first + 1);
    return std::wstring(t.begin(), t.end());
}

void AddUnique(std::vector<DialogView>& views, const DialogView& v) {
    if (std::find(views.begin(), views.end(), v) == views.end()) views.push_back(v);
}

}  // namespace

std::wstring CapacityText(uint64_t bytes) {
    // volatile: the 32-bit build computes on the x87 unit, which must round here.
    volatile float gib =
        static_cast<float>(static_cast<double>(static_cast<int64_t>(bytes)) / 1073741824.0);
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f", static_cast<double>(gib));
    return text;
}

MachineVersion ReadMachine(sim::SimulatedMachine& machine) {
    MachineVersion version;
    version.readable = machine.BusPresent();
    if (!version.readable) return version;
    std::vector<const sim::Drive*> drives;
    for (const sim::Drive& d : machine.Drives())
        if (d.number >= 0 && d.number <= 15) drives.push_back(&d);
    std::sort(drives.begin(), drives.end(),
              [](const sim::Drive* a, const sim::Drive* b) { return a->number < b->number; });
    for (const sim::Drive* d : drives) {
        const std::wstring vendor = Trimmed(d->vendor), product = Trimmed(d->product);
        const std::wstring model = vendor.empty() ? product : vendor + L" " + product;
        const bool qualifies = d->size > kLimit &&
                               (d->bytesPerBlock == 512 || d->bytesPerBlock == 0) &&
                               (d->partitionStyle == 0 || d->partitionStyle == 2) &&
                               model.find(L"ASUS") == std::wstring::npos &&
                               static_cast<uint32_t>(d->lastBlockAddress) != 0;
        if (!qualifies) continue;
        ModelLine line;
        line.number = d->number;
        line.name = d->deviceObjectName;
        line.text = model + L" - " + CapacityText(d->size) + L"GB";
        const std::u16string name(d->deviceObjectName.begin(), d->deviceObjectName.end());
        for (const auto& [serial, v] : machine.Bus().VirtualDrives()) {
            if (v.physicalName != name) continue;
            line.serial = serial;
            line.created = true;
            line.mounted = v.mounted;
            break;
        }
        version.lines.push_back(line);
    }
    return version;
}

ExpectedButtons ButtonsFor(const ModelLine* s) {
    static const wchar_t create[] = L"Create", rescan[] = L"Rescan";
    static const wchar_t createNote[] =
        L"Create a virtual drive on the storage space beyond 2048 GB.";
    static const wchar_t rescanNote[] = L"Rescan the virtual drive.";
    if (!s) return {"000", nullptr, nullptr};
    if (!s->created) return {"100", create, createNote};
    if (s->mounted) return {"011", create, createNote};
    return {"111", rescan, rescanNote};
}

uint32_t SerialForCreate(const DialogView& view) {
    const ModelLine* s = view.Selected();
    if (s && s->serial) return s->serial;
    for (uint32_t candidate = 1; candidate <= 25; ++candidate)
        if (std::none_of(view.lines.begin(), view.lines.end(),
                         [&](const ModelLine& l) { return l.serial == candidate; }))
            return candidate;
    return 0;
}

void DialogModel::Start(sim::SimulatedMachine& machine) {
    versions_ = {ReadMachine(machine)};
    DialogView view;
    view.lines = versions_[0].lines;
    view.selected = view.lines.empty() ? -1 : 0;
    views_ = {view};
}

void DialogModel::MachineChanged(sim::SimulatedMachine& machine) {
    versions_.push_back(ReadMachine(machine));
}

// What the program plugged in stays plugged in until the bus driver reads it otherwise (not
// plugged in, or another virtual drive), or the drive leaves the list.
void DialogModel::ApplyPlugged(DialogView& view) {
    for (auto entry = view.plugged.begin(); entry != view.plugged.end();) {
        auto line = std::find_if(view.lines.begin(), view.lines.end(),
                                 [&](const ModelLine& l) { return l.name == entry->first; });
        if (line == view.lines.end() ||
            (line->created && (line->serial != entry->second || !line->mounted))) {
            entry = view.plugged.erase(entry);
            continue;
        }
        line->serial = entry->second;
        line->created = line->mounted = true;
        ++entry;
    }
}

std::vector<DialogView> DialogModel::Rebuilt(const DialogView& view, size_t v) const {
    const MachineVersion& version = versions_[v];
    auto rebuild = [&](const ModelLines& read) {
        DialogView next;
        next.lines = read;
        next.plugged = view.plugged;
        next.asked = view.asked;
        ApplyPlugged(next);
        const ModelLines& lines = next.lines;
        next.version = v;
        if (lines == view.lines) {
            next.selected = view.selected;  // nothing changed: nothing moves
        } else if (view.lines.empty()) {
            next.selected = lines.empty() ? -1 : 0;
        } else if (const ModelLine* was = view.Selected()) {
            for (size_t i = 0; i < lines.size(); ++i)
                if (lines[i].number == was->number && lines[i].name == was->name)
                    next.selected = static_cast<int>(i);
        }
        return next;
    };
    if (version.readable) return {rebuild(version.lines)};
    // A scan that stops early leaves the list alone, unless it was the last try.
    DialogView kept = view;
    kept.version = v;
    return {kept, rebuild({})};
}

void DialogModel::MayHaveRescanned() {
    std::vector<DialogView> all;
    for (const DialogView& start : views_) {
        std::vector<DialogView> reach{start};
        // A rescan may read the machine as it is again: a scan that cannot end runs out of
        // tries, and what the program plugged in may have been forgotten since.
        const bool latest = start.version + 1 == versions_.size();
        const size_t from =
            versions_[start.version].readable && !latest ? start.version + 1 : start.version;
        for (size_t v = from; v < versions_.size(); ++v) {
            const size_t known = reach.size();
            for (size_t k = 0; k < known; ++k)
                for (const DialogView& next : Rebuilt(reach[k], v)) AddUnique(reach, next);
        }
        for (const DialogView& r : reach) AddUnique(all, r);
    }
    views_ = std::move(all);
}

void DialogModel::UserSelects(int line) {
    // A line past the end is no line: the list keeps what it had.
    for (DialogView& v : views_)
        if (line < 0 || static_cast<size_t>(line) < v.lines.size()) v.selected = line;
}

void DialogModel::MayHaveMisread() {
    std::vector<DialogView> all;
    for (const DialogView& view : views_) {
        for (const DialogView& next : Rebuilt(view, LatestVersion())) AddUnique(all, next);
        // The misread list lacked the user's drive (and what it plugged in), or it followed
        // an empty list and so selected its first line, whichever drive that was.
        DialogView forgot = view;
        forgot.plugged.clear();
        for (const DialogView& from : {view, forgot}) {
            DialogView lost = Rebuilt(from, LatestVersion()).front();
            for (int line = -1; line < static_cast<int>(lost.lines.size()); ++line) {
                lost.selected = line;
                AddUnique(all, lost);
            }
        }
    }
    views_ = std::move(all);
}

std::string DialogModel::Look(const WindowLook& w, bool settled) {
    if (w.otherTexts != L"Recover|Partition")
        return "the buttons read \"" + std::string(w.otherTexts.begin(), w.otherTexts.end()) +
               "\", not Recover and Partition";
    std::vector<DialogView> agree;
    for (const DialogView& v : views_) {
        if (settled && v.version != LatestVersion()) continue;
        if (v.lines.size() != w.lines.size()) continue;
        bool same = true;
        for (size_t i = 0; i < w.lines.size() && same; ++i) same = v.lines[i].text == w.lines[i];
        if (!same || v.selected != w.selected) continue;
        const ExpectedButtons e = ButtonsFor(v.Selected());
        if (e.buttons != w.buttons) continue;
        if (e.createText && (w.createText != e.createText || w.createDescription != e.description))
            continue;
        agree.push_back(v);
    }
    if (!agree.empty()) {
        views_ = std::move(agree);
        return "";
    }
    // Say what the most recent view expected.
    std::string out = "the window shows " + std::to_string(w.lines.size()) + " lines, line " +
                      std::to_string(w.selected) + " selected, buttons " + w.buttons + ", 1014 \"" +
                      std::string(w.createText.begin(), w.createText.end()) + "\", 1033 \"" +
                      std::string(w.createDescription.begin(), w.createDescription.end()) +
                      "\"; the model ";
    const DialogView* best = nullptr;
    for (const DialogView& v : views_)
        if (!best || v.version >= best->version) best = &v;
    if (!best) return out + "has no view left";
    const ExpectedButtons e = ButtonsFor(best->Selected());
    out +=
        "expects " + std::to_string(best->lines.size()) + " lines, line " +
        std::to_string(best->selected) + " selected, buttons " + e.buttons +
        (e.createText
             ? std::string(", 1014 \"") +
                   std::string(e.createText, e.createText + wcslen(e.createText)) + "\", 1033 \"" +
                   std::string(e.description, e.description + wcslen(e.description)) + "\""
             : std::string()) +
        " (" + std::to_string(views_.size()) + " views considered)";
    for (size_t i = 0; i < w.lines.size(); ++i)
        if (i >= best->lines.size() || best->lines[i].text != w.lines[i]) {
            out += "; line " + std::to_string(i) + " reads \"" +
                   std::string(w.lines[i].begin(), w.lines[i].end()) + "\"";
            break;
        }
    return out;
}

}  // namespace app::testing
