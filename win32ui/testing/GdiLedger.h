// For tests: counts the GDI objects and memory DCs this program creates and has not yet
// deleted. The system's own count is not available under Wine, so the program's import table
// entries for the GDI creation and deletion calls are redirected through a ledger.
#pragma once

#include <cstddef>

namespace ui::testing {

// Installs the ledger on first use; returns how many objects are alive now.
size_t LiveGdiObjects();

// How many DeleteObject and DeleteDC calls failed since the ledger was installed: a handle
// deleted twice, or something that was never a GDI object.
size_t FailedDeletes();

// Makes the next `count` calls of one creation function fail as the system fails them when
// it runs out of GDI resources (a null handle), so that failure paths can be driven. Returns
// how many failures were still pending from before.
enum class GdiCall { CreateCompatibleDC, CreateCompatibleBitmap };
int FailNextCalls(GdiCall call, int count);

}  // namespace ui::testing
