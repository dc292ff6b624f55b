#include "Window.h"

#include <unordered_map>
#include <utility>

namespace ui {
namespace {

// Which object each bound window belongs to. Kept in the process rather than as a window
// property: every message looks its window up, and under Wine a property read is a round
// trip to the server.
std::unordered_map<HWND, Window*>& Bound() {
    static std::unordered_map<HWND, Window*> bound;
    return bound;
}
const wchar_t kWindowClass[] = L"OverreachWindow";

HWND ReflectionTarget(const Message& m) {
    switch (m.id) {
        case WM_COMMAND:
            return reinterpret_cast<HWND>(m.lParam);  // null for menus and accelerators
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(m.lParam);
            return item->CtlType == ODT_MENU ? nullptr : item->hwndItem;
        }
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(m.lParam);
        default:
            return nullptr;
    }
}

bool IsCtlColor(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

bool Matches(const MessageEntry& e, const Message& m) {
    switch (e.match) {
        case Match::Message:
            return e.message == m.id;
        case Match::Command:
            return m.id == WM_COMMAND && HIWORD(m.wParam) == e.code &&
                   LOWORD(m.wParam) >= e.firstId && LOWORD(m.wParam) <= e.lastId;
        case Match::Notify: {
            if (m.id != WM_NOTIFY) return false;
            const auto* header = reinterpret_cast<const NMHDR*>(m.lParam);
            return header->idFrom == e.firstId && header->code == e.code;
        }
        case Match::Registered:
            return m.id != 0 && *e.registered == m.id;
        case Match::Reflected:
            return false;
    }
    return false;
}

bool MatchesReflected(const MessageEntry& e, const Message& m) {
    if (e.match != Match::Reflected) return false;
    if (m.id == WM_COMMAND) return e.message == WM_COMMAND && e.code == HIWORD(m.wParam);
    if (m.id == WM_DRAWITEM) return e.message == WM_DRAWITEM;
    return IsCtlColor(m.id) && e.message == WM_CTLCOLORSTATIC;
}

template <class Predicate>
const MessageEntry* FindEntry(const MessageMap* map, Predicate matches) {
    for (; map; map = map->base)
        for (const MessageEntry& entry : map->entries)
            if (matches(entry)) return &entry;
    return nullptr;
}

}  // namespace

const MessageMap& Window::ClassMap() {
    static const MessageMap map{nullptr, {}};
    return map;
}

Window::~Window() {
    const bool destroy = owned_;
    HWND window = hwnd_;
    Detach();  // no message may reach the parts of this object that are already gone
    if (destroy && IsWindow(window)) ::DestroyWindow(window);
}

Window* Window::FromHandle(HWND window) {
    if (!window) return nullptr;
    const auto found = Bound().find(window);
    return found == Bound().end() ? nullptr : found->second;
}

bool Window::Create(DWORD exStyle, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                    UINT id) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, kWindowClass, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = CreatedProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&wc)) return false;
    }
    HWND created =
        CreateWindowExW(exStyle, kWindowClass, title, style, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
    if (!created) return false;
    owned_ = true;
    return true;
}

bool Window::Subclass(HWND window) {
    if (!window || hwnd_) return false;
    hwnd_ = window;
    Bound()[window] = this;
    OnSubclass();
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoundProc)));
    return true;
}

void Window::BindDialog(HWND dialog) {
    hwnd_ = dialog;
    Bound()[dialog] = this;
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoundProc)));
}

void Window::Detach() {
    if (!hwnd_) return;
    if (IsWindow(hwnd_)) {
        if (GetWindowLongPtrW(hwnd_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(BoundProc))
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    }
    Bound().erase(hwnd_);
    hwnd_ = nullptr;
    original_ = nullptr;
    owned_ = false;
}

void Window::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY unbinds
}

bool Window::PreTranslateMessage(MSG&) {
    return false;
}

std::wstring Window::Text() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT Window::ClientRect() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r;
}

RECT Window::WindowRect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

RECT Window::RectInParent() const {
    RECT r = WindowRect();
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Window::ChangeStyleBits(int index, DWORD remove, DWORD add, UINT swpFlags) const {
    const auto bits = static_cast<DWORD>(GetWindowLongW(hwnd_, index));
    SetWindowLongW(hwnd_, index, static_cast<LONG>((bits & ~remove) | add));
    if (swpFlags)
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
}

LRESULT Window::Default() {
    return current_ ? DefaultWith(current_->id, current_->wParam, current_->lParam) : 0;
}

LRESULT Window::DefaultWith(UINT message, WPARAM wParam, LPARAM lParam) {
    return original_ ? CallWindowProcW(original_, hwnd_, message, wParam, lParam)
                     : DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool Window::OfferReflected(const Message& m, LRESULT* result) {
    Window* child = FromHandle(ReflectionTarget(m));
    if (!child || child == this) return false;
    const MessageEntry* entry = FindEntry(
        &child->GetMessageMap(), [&](const MessageEntry& e) { return MatchesReflected(e, m); });
    if (!entry) return false;
    const Message* saved = std::exchange(child->current_, nullptr);  // no default for these
    const LRESULT answer = entry->call(*child, m);
    child->current_ = saved;
    if (m.id == WM_COMMAND && !answer) return false;  // the parent handles it as well
    if (IsCtlColor(m.id) && !answer) return false;
    *result = m.id == WM_COMMAND ? 0 : answer;
    return true;
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    const Message m{message, wParam, lParam};
    const Message* saved = std::exchange(current_, &m);
    LRESULT result = 0;
    if (!OfferReflected(m, &result)) {
        const MessageEntry* entry =
            FindEntry(&GetMessageMap(), [&](const MessageEntry& e) { return Matches(e, m); });
        result = entry ? entry->call(*this, m) : Default();
    }
    current_ = saved;
    return result;
}

LRESULT CALLBACK Window::BoundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(window);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->Detach();
    return result;
}

LRESULT CALLBACK Window::CreatedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        self->original_ = DefWindowProcW;
        Bound()[window] = self;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoundProc));
        return BoundProc(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool PreTranslate(MSG& message) {
    for (HWND window = message.hwnd; window; window = GetParent(window)) {
        if (Window* bound = Window::FromHandle(window))
            if (bound->PreTranslateMessage(message)) return true;
        if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) break;  // stop at the top level
    }
    return false;
}

void ProcessQueuedMessage(MSG& message, HWND dialog) {
    if (PreTranslate(message)) return;
    if (dialog && IsDialogMessageW(dialog, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void PumpWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ProcessQueuedMessage(message, GetAncestor(message.hwnd, GA_ROOT));
    }
}

void PumpMessagesFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        PumpWaitingMessages();
        Sleep(10);
    } while (GetTickCount() < end);
}

void RepaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace ui
