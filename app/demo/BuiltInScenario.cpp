#include "app/demo/BuiltInScenario.h"

namespace app::demo {

const char kBuiltInScenario[] = R"(# The demonstration machine.
bus present
drive 0 size=500107862016 product="Samsung SSD 860 EVO 500GB"        # the system drive: small
drive 1 size=3000592982016 product="ST3000DM008-2DM166"              # virtual drive plugged in
virtual 1 drive=1 mounted=1
drive 2 size=3000592982016 product="WDC WD30EZRX-00D8PB0"            # no virtual drive yet
drive 3 size=4000787030016 product="TOSHIBA MD04ACA400"              # virtual drive not plugged in
virtual 2 drive=3 mounted=0
drive 4 size=6001175126016 product="WDC WD60EFRX-68L0BN1" style=gpt  # GPT reaches it all
drive 5 size=2199023255552 product="HGST HTS722020ALA330"            # exactly 2048 GiB
)";

}  // namespace app::demo
