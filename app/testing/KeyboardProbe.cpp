// Reads the demonstration's window from another process for the keyboard test that drives it
// with real keys (tools/keyboard-test.sh), one question per start:
//   KeyboardProbe focus          "focus <id> buttons <create><recover><partition> box <0|1>"
//   KeyboardProbe shot <png>     what the screen shows of the window (and of a box over it)
// Exit code 1 when there is no window, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "win32ui/Capture.h"

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t title[32] = L"";
    GetWindowTextW(window, title, 32);
    if (std::wstring(title) != L"Overreach" || !IsWindowVisible(window) ||
        !GetDlgItem(window, IDC_LIST_DRIVE))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

struct BoxSearch {
    HWND owner;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search->owner) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

HWND BoxOver(HWND dialog) {
    BoxSearch search{dialog, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.box;
}

int Focus(HWND dialog) {
    GUITHREADINFO info{sizeof(info)};
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    int id = 0;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus && IsChild(dialog, info.hwndFocus))
        id = GetDlgCtrlID(info.hwndFocus);
    char buttons[4] = "000";
    const int ids[] = {IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION};
    for (int k = 0; k < 3; ++k)
        if (IsWindowEnabled(GetDlgItem(dialog, ids[k]))) buttons[k] = '1';
    std::printf("focus %d buttons %s box %d\n", id, buttons, BoxOver(dialog) ? 1 : 0);
    return 0;
}

int Shot(HWND dialog, const wchar_t* path) {
    RECT area{};
    GetWindowRect(dialog, &area);
    if (HWND box = BoxOver(dialog)) {
        RECT over{};
        GetWindowRect(box, &over);
        UnionRect(&area, &area, &over);
    }
    return ui::SavePng(ui::CaptureScreen(area), path) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc >= 2 ? argv[1] : L"";
    HWND dialog = nullptr;
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (what == L"focus" && argc == 2) {
        if (!dialog) std::printf("none\n");
        return dialog ? Focus(dialog) : 1;
    }
    if (what == L"shot" && argc == 3) return dialog ? Shot(dialog, argv[2]) : 1;
    std::fprintf(stderr, "usage: KeyboardProbe focus | shot <png>\n");
    return 2;
}
