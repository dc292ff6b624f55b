// Describing a simulated machine in a small text file, a line a fact:
//   bus present | bus absent
//   drive N size=BYTES [vendor="..."] [product="..."] [bus=TYPE] [style=mbr|gpt|raw]
//         [pdo=NAME] [lastblock=N] [blocksize=N]
//   virtual SERIAL drive=N [mounted=0|1] [lookup=259]
// A plugged-in virtual drive (mounted=1, the default) also puts the bus driver's drive on the
// machine: the part of drive N beyond 2048 GiB, numbered after the drives described.
//   fault CALL error=CODE [nth=N] [ioctl=CODE] [drive=N] [bus=0|1]
// A fault makes the named device call (CreateFile, DeviceIoControl, ... as in sim::Call) fail
// with CODE: every matching call, or only the nth; ioctl, drive and bus narrow what matches.
// '#' starts a comment; values with blanks go in double quotes, where \xNN stands for any
// byte, \" for a quote and \\ for a backslash.
#pragma once

#include <string>

#include "sim/SimulatedMachine.h"

namespace sim {

// Adds what text describes to machine and returns true. A malformed text is refused as a
// whole: error says "line N: what is wrong" and machine is left as it was. A UTF-8
// byte-order mark at the start is skipped.
bool LoadScenario(const std::string& text, SimulatedMachine& machine, std::string& error);
// The same for a file; error begins with the path ("PATH, line N: ...", "PATH is a folder,
// not a scenario file", "PATH cannot be read: ...").
bool LoadScenarioFile(const std::string& path, SimulatedMachine& machine, std::string& error);

}  // namespace sim
