// For tests: counts the GDI objects and memory DCs this program creates and has not yet
// deleted. The system's own count is not available under Wine, so the program's import table
// entries for the GDI creation and deletion calls are redirected through a ledger.
#pragma once

#include <cstddef>

namespace ui::testing {

// Installs the ledger on first use; returns how many objects are alive now.
size_t LiveGdiObjects();

}  // namespace ui::testing
