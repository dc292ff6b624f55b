// Seeded random sequences of what a user, the system and the machine do to the main dialog,
// written as text a person can read and the test can read back, and made simpler one edit
// at a time when a sequence fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimulatedMachine.h"

namespace app::testing {

enum class StepKind { Select, Create, Recover, Broadcasts, Change, Wait, Settle };
enum class ChangeKind {
    None,
    AddDrive,
    RemoveDrive,
    PlugElsewhere,     // a new virtual drive on a drive without one
    UnmountElsewhere,  // an existing virtual drive is no longer plugged in
    RemoveVirtual,     // an existing virtual drive is gone
    BusGone,
    BusBack,
};
enum class ChangeWhen { Now, InBox, AfterCall };

struct MachineChange {
    ChangeKind kind = ChangeKind::None;
    int pick = 0;  // which drive or virtual drive, modulo what there is
    // AddDrive: the new drive; flags: a vendor ASUS, r last-block low half zero, v with a
    // plugged-in virtual drive, u with one not plugged in.
    uint64_t size = 0;
    uint32_t blockSize = 512;
    int style = 0;
    std::string flags;
};

struct FaultPlan {
    bool on = false;
    sim::Call call = sim::Call::DeviceIoControl;
    int nth = 1;    // from the step's start
    int count = 1;  // calls in a row that fail
    uint32_t error = 0;
    int bus = -1;        // 1 only bus calls, 0 only other calls, -1 any
    uint32_t ioctl = 0;  // only this bus request (0: any call of the kind)
};

struct RandomStep {
    StepKind kind = StepKind::Settle;
    int line = 0;      // Select; past the end selects none
    bool yes = false;  // Recover
    MachineChange change;
    ChangeWhen when = ChangeWhen::Now;
    int afterCall = 0;      // AfterCall: the program's n-th device call of the step
    std::vector<int> gaps;  // device-node broadcasts after the change (or alone), ms apart
    bool volume = false;    // a volume arrival and removal among them (alone: no gaps)
    int boxOpen = 0;        // ms each box stays open before it is answered
    int pump = 0;           // ms the window then takes messages
    FaultPlan fault;
};

struct RandomSequence {
    std::vector<std::string> machine;  // scenario lines
    bool realTiming = false;           // the product's own quiet time and ceiling
    FaultPlan startFault;              // during the scan at start-up: a drive spinning up
    std::vector<RandomStep> steps;
};

RandomSequence Generate(uint32_t seed, const std::string& demoScenario);
std::string ToText(const RandomSequence& sequence);
bool FromText(const std::string& text, RandomSequence& sequence, std::string& error);
std::string Describe(const RandomStep& step);
// Simpler sequences, simplest first: fewer steps, fewer drives, then each step plainer.
std::vector<RandomSequence> Simpler(const RandomSequence& sequence);

}  // namespace app::testing
