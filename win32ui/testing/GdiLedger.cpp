#include "GdiLedger.h"

#include <windows.h>

#include <cstring>
#include <set>
#include <utility>

namespace ui::testing {
namespace {

std::set<HGDIOBJ>& Live() {
    static std::set<HGDIOBJ> live;
    return live;
}

size_t failedDeletes = 0;
int pendingFailures[2] = {0, 0};

// True when the call is to fail this time.
bool Fails(GdiCall call) {
    int& pending = pendingFailures[static_cast<int>(call)];
    if (pending <= 0) return false;
    --pending;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

template <class Handle>
Handle Record(Handle handle) {
    if (handle) Live().insert(handle);
    return handle;
}

decltype(&CreateCompatibleBitmap) realCreateCompatibleBitmap;
decltype(&CreateBitmap) realCreateBitmap;
decltype(&CreateDIBSection) realCreateDIBSection;
decltype(&CreateSolidBrush) realCreateSolidBrush;
decltype(&CreateFontIndirectW) realCreateFontIndirectW;
decltype(&CreatePen) realCreatePen;
decltype(&CreateCompatibleDC) realCreateCompatibleDC;
decltype(&DeleteObject) realDeleteObject;
decltype(&DeleteDC) realDeleteDC;
decltype(&LoadImageW) realLoadImageW;

HBITMAP WINAPI LedgerCreateCompatibleBitmap(HDC dc, int w, int h) {
    if (Fails(GdiCall::CreateCompatibleBitmap)) return nullptr;
    return Record(realCreateCompatibleBitmap(dc, w, h));
}
HBITMAP WINAPI LedgerCreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
    return Record(realCreateBitmap(w, h, planes, bits, data));
}
HBITMAP WINAPI LedgerCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                      HANDLE section, DWORD offset) {
    return Record(realCreateDIBSection(dc, info, usage, bits, section, offset));
}
HBRUSH WINAPI LedgerCreateSolidBrush(COLORREF colour) {
    return Record(realCreateSolidBrush(colour));
}
HFONT WINAPI LedgerCreateFontIndirectW(const LOGFONTW* font) {
    return Record(realCreateFontIndirectW(font));
}
HPEN WINAPI LedgerCreatePen(int style, int width, COLORREF colour) {
    return Record(realCreatePen(style, width, colour));
}
HDC WINAPI LedgerCreateCompatibleDC(HDC dc) {
    if (Fails(GdiCall::CreateCompatibleDC)) return nullptr;
    return Record(realCreateCompatibleDC(dc));
}
BOOL WINAPI LedgerDeleteObject(HGDIOBJ object) {
    const BOOL deleted = realDeleteObject(object);
    if (deleted)
        Live().erase(object);
    else
        ++failedDeletes;
    return deleted;
}
BOOL WINAPI LedgerDeleteDC(HDC dc) {
    const BOOL deleted = realDeleteDC(dc);
    if (deleted)
        Live().erase(dc);
    else
        ++failedDeletes;
    return deleted;
}
HANDLE WINAPI LedgerLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int w, int h,
                               UINT flags) {
    HANDLE image = realLoadImageW(instance, name, type, w, h, flags);
    if (image && type == IMAGE_BITMAP) Live().insert(image);
    return image;
}

struct Redirect {
    const char* name;
    void* replacement;
    void** real;
};

// Rewrites the entries of this program's import table that name the given functions.
void Patch(const Redirect* redirects, size_t count) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name; ++import) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (size_t i = 0; i < count; ++i) {
                if (strcmp(name, redirects[i].name) != 0) continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                               &old);
                *redirects[i].real = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(redirects[i].replacement);
                VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
            }
        }
    }
}

void Install() {
#define REDIRECT(f) \
    { #f, reinterpret_cast < void*>(&Ledger##f), reinterpret_cast < void**>(&real##f) }
    static const Redirect redirects[] = {
        REDIRECT(CreateCompatibleBitmap),
        REDIRECT(CreateBitmap),
        REDIRECT(CreateDIBSection),
        REDIRECT(CreateSolidBrush),
        REDIRECT(CreateFontIndirectW),
        REDIRECT(CreatePen),
        REDIRECT(CreateCompatibleDC),
        REDIRECT(DeleteObject),
        REDIRECT(DeleteDC),
        REDIRECT(LoadImageW),
    };
#undef REDIRECT
    Patch(redirects, sizeof(redirects) / sizeof(redirects[0]));
}

void EnsureInstalled() {
    static const bool installed = (Install(), true);
    (void)installed;
}

}  // namespace

size_t LiveGdiObjects() {
    EnsureInstalled();
    return Live().size();
}

size_t FailedDeletes() {
    EnsureInstalled();
    return failedDeletes;
}

int FailNextCalls(GdiCall call, int count) {
    EnsureInstalled();
    return std::exchange(pendingFailures[static_cast<int>(call)], count);
}

}  // namespace ui::testing
