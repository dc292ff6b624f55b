#pragma once

namespace app::demo {

// The machine the demonstration shows when no scenario file is given: one drive of each
// kind the dialog tells apart, and drives that the scan leaves out.
extern const char kBuiltInScenario[];

}  // namespace app::demo
