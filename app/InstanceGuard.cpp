#include "app/InstanceGuard.h"

#include <cstring>

#include "app/UiText.h"
#include "res/resource.h"

namespace app {

namespace {

constexpr DWORD kBlockBytes = 4;

// The window handle another copy published, or 0. The block exists when the open works,
// even if its view cannot be mapped.
bool ProbeBlock(const wchar_t* name, DWORD* published) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (!mapping) return false;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kBlockBytes)) {
        std::memcpy(published, view, kBlockBytes);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return true;
}

void BringForward(HWND window) {
    // Restore rather than show: a minimised first copy comes back as the user left it.
    ShowWindow(window, SW_RESTORE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
}

bool WriteSlot(HANDLE mapping, DWORD value) {
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kBlockBytes);
    if (!view) return false;
    std::memcpy(view, &value, kBlockBytes);
    UnmapViewOfFile(view);
    return true;
}

}  // namespace

InstanceGuard::InstanceGuard(const wchar_t* productName)
    : name_(std::wstring(productName ? productName : L"") + L"__akui__") {
    DWORD published = 0;
    if (ProbeBlock(name_.c_str(), &published)) {
        // Window handles are 32-bit values on every Windows, so the slot holds them whole.
        const HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(published));
        if (published != 0 && IsWindow(window)) {
            BringForward(window);
            outcome_ = Outcome::ActivatedOther;
        } else {
            outcome_ = Outcome::OtherWithoutWindow;
        }
        return;
    }
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockBytes,
                                  name_.c_str());
    // Without a block the program still runs, only unguarded.
    if (mapping_ && !WriteSlot(mapping_, 0)) {
        CloseHandle(mapping_);
        mapping_ = nullptr;
    }
}

InstanceGuard::~InstanceGuard() {
    if (mapping_) CloseHandle(mapping_);
}

void InstanceGuard::PublishWindow(HWND window) {
    if (mapping_) WriteSlot(mapping_, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window)));
}

void InstanceGuard::EndProcessUnlessOnlyInstance() const {
    if (outcome_ == Outcome::OnlyInstance) return;
    if (outcome_ == Outcome::OtherWithoutWindow) {
        // In the user's language; the English words when the table has none.
        std::wstring text = LoadUiString(IDS_ONE_INSTANCE), caption = LoadUiString(IDS_ERROR);
        if (text.empty()) text = L"Only one instance is allowed";
        if (caption.empty()) caption = L"Error";
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
    }
    ExitProcess(0);
}

}  // namespace app
