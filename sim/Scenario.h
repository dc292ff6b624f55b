// Describing a simulated machine in a small text file, a line a fact:
//   bus present | bus absent
//   drive N size=BYTES [vendor="..."] [product="..."] [bus=TYPE] [style=mbr|gpt|raw]
//         [pdo=NAME] [lastblock=N] [blocksize=N]
//   virtual SERIAL drive=N [mounted=0|1]
// '#' starts a comment; values with blanks go in double quotes, where \xNN stands for any
// byte, \" for a quote and \\ for a backslash.
#pragma once

#include <string>

#include "sim/SimulatedMachine.h"

namespace sim {

// Adds what text describes to machine and returns true. A malformed text is refused as a
// whole: error says "line N: what is wrong" and machine is left as it was.
bool LoadScenario(const std::string& text, SimulatedMachine& machine, std::string& error);
bool LoadScenarioFile(const std::string& path, SimulatedMachine& machine, std::string& error);

}  // namespace sim
