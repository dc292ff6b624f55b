// A second, deliberately plain account of what the main dialog must show and send, written
// from its rules and not from its code: which drives of a simulated machine are listed and
// how each line reads, which line is selected after the list is rebuilt, and which buttons
// and texts go with the selected drive. It reads the machine only through the simulated
// machine's own records and knows nothing of the dialog's classes.
//
// Between two looks at the window the dialog may have rebuilt its list any number of times
// (a rescan reads the machine as it is when it runs), so the model keeps every view the
// dialog may hold and lets each look at the window rule out the views that disagree.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {
class SimulatedMachine;
}

namespace app::testing {

// A listed drive, as a scan must read it.
struct ModelLine {
    int number = 0;
    std::wstring name;  // device object name; with the number, the drive's identity
    std::wstring text;  // the line of the list
    uint32_t serial = 0;
    bool created = false, mounted = false;
    bool operator==(const ModelLine&) const = default;
};
using ModelLines = std::vector<ModelLine>;

// The machine as a scan sees it: the lines, or nothing when the scan cannot end (the bus
// driver is gone, so the size query of every drive fails).
struct MachineVersion {
    ModelLines lines;
    bool readable = true;
};

// "%.2f" of the size in GiB, rounded to single precision first.
std::wstring CapacityText(uint64_t bytes);
MachineVersion ReadMachine(sim::SimulatedMachine& machine);

// What the window shows, read by control ids.
struct WindowLook {
    std::vector<std::wstring> lines;
    int selected = -1;
    std::string buttons;  // 1014, 1019, 1020: "1" enabled
    std::wstring createText, createDescription;
    std::wstring otherTexts;  // 1019 and 1020, "|" between
};

// What the window must show for one selected line (none: nullptr).
struct ExpectedButtons {
    std::string buttons;
    const wchar_t* createText;  // null: not prescribed
    const wchar_t* description;
};
ExpectedButtons ButtonsFor(const ModelLine* selected);

// One way things may stand inside the dialog.
struct DialogView {
    ModelLines lines;  // with the dialog's own updates after its requests
    int selected = -1;
    size_t version = 0;  // the last machine version its list was built from
    // The virtual drives this program plugged in and has not seen unplugged since, by device
    // object name: a scan that reads such a drive without any is not believed.
    std::map<std::wstring, uint32_t> plugged;
    // While the Recover question is open: the line it asks about, as this view showed it.
    std::optional<ModelLine> asked;
    bool operator==(const DialogView&) const = default;
    const ModelLine* Selected() const {
        return selected >= 0 && static_cast<size_t>(selected) < lines.size()
                   ? &lines[static_cast<size_t>(selected)]
                   : nullptr;
    }
};

class DialogModel {
public:
    // The dialog has just built its list from the machine as it is: line 0 selected.
    void Start(sim::SimulatedMachine& machine);
    // The machine changed; a rescan from now on may read it.
    void MachineChanged(sim::SimulatedMachine& machine);
    // The dialog may have rebuilt its list since the last look, from any later version.
    void MayHaveRescanned();
    // The user chose a line (-1: none; past the end: no change).
    void UserSelects(int line);
    // A scan may have read the machine wrongly (a fault it takes for an answer): after the
    // next true scan the list is right, and the user's drive may have lost its selection.
    void MayHaveMisread();
    // Keeps the views that agree with what the window shows; with settled, only views built
    // from the machine as it is now. Empty result: they all agree; otherwise what differs.
    std::string Look(const WindowLook& window, bool settled);

    std::vector<DialogView>& Views() { return views_; }
    const MachineVersion& Latest() const { return versions_.back(); }
    size_t LatestVersion() const { return versions_.size() - 1; }

    // The lines a view shows after its list is rebuilt from version v (more than one when
    // the scan cannot end and its retries may run out).
    std::vector<DialogView> Rebuilt(const DialogView& view, size_t v) const;
    static void ApplyPlugged(DialogView& view);

private:
    std::vector<MachineVersion> versions_;
    std::vector<DialogView> views_;
};

// The serial number Create sends for a line: its own, or the smallest of 1 to 25 that no
// line carries (0 when all are taken).
uint32_t SerialForCreate(const DialogView& view);

}  // namespace app::testing
