#include "app/FarspanApp.h"

#include <commctrl.h>
#include <ole2.h>

#include "app/FarspanDlg.h"
#include "res/resource.h"

namespace app {

BOOL CFarspanApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    ui::Application::InitInstance();

    if (FAILED(OleInitialize(nullptr))) {
        wchar_t text[256] = L"";
        LoadStringW(Instance(), IDS_OLE_INIT_FAILED, text, 256);
        MessageBoxW(nullptr, text, L"Overreach", MB_OK);
        return FALSE;
    }
    {
        CFarspanDlg dialog(io_, guard_);
        dialog.DoModal();
    }
    OleUninitialize();
    return TRUE;
}

}  // namespace app
