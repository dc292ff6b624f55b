// The application object: prepares the common controls and OLE, then runs the main dialog
// until it closes.
#pragma once

#include "app/InstanceGuard.h"
#include "platform/DeviceIo.h"
#include "win32ui/Application.h"

namespace app {

class CFarspanApp : public ui::Application {
public:
    // The dialog works through io: the real system, or the simulated machine of the
    // demonstration build.
    CFarspanApp(platform::DeviceIo& io, InstanceGuard* guard) : io_(io), guard_(guard) {}
    BOOL InitInstance() override;

private:
    platform::DeviceIo& io_;
    InstanceGuard* guard_;
};

}  // namespace app
