// Message-map tables: each window class lists the messages it handles, one entry per line,
// and names its base class's table. A message that no entry of the chain matches gets the
// window's default processing.
//
//   const ui::MessageMap& CMyButton::ClassMap() {
//       static const ui::MessageEntry entries[] = {
//           ui::OnMouse<&CMyButton::OnMouseMove>(WM_MOUSEMOVE),
//           ui::OnCommand<&CMyButton::OnBnClickedOk>(IDOK),
//           ui::OnReflectedCommand<&CMyButton::OnClicked>(BN_CLICKED),
//       };
//       static const ui::MessageMap map{&ui::Button::ClassMap(), entries};
//       return map;
//   }
//
// Each builder unpacks WPARAM and LPARAM once, so a handler receives typed arguments.
#pragma once

#include <windows.h>

#include <span>

namespace ui {

class Window;

struct Message {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

enum class Match {
    Message,     // message id
    Command,     // WM_COMMAND from a control in [firstId, lastId] with a notification code
    Notify,      // WM_NOTIFY from a control id with a notification code
    Reflected,   // a notification the parent passes back to the control that sent it
    Registered,  // a message id known only at run time (RegisterWindowMessage)
};

struct MessageEntry {
    Match match;
    UINT message;  // the message; for Reflected the parent's message
    UINT code;     // notification code (Command, Notify, reflected WM_COMMAND)
    UINT firstId;
    UINT lastId;
    const UINT* registered;
    LRESULT (*call)(Window& window, const Message& message);
};

struct MessageMap {
    const MessageMap* base;
    std::span<const MessageEntry> entries;
};

namespace detail {
template <class Handler>
struct HandlerOf;
template <class C, class R, class... A>
struct HandlerOf<R (C::*)(A...)> {
    using Class = C;
};
template <auto Handler>
using ClassOf = typename HandlerOf<decltype(Handler)>::Class;
template <auto Handler>
ClassOf<Handler>& Self(Window& window) {
    return static_cast<ClassOf<Handler>&>(window);
}
}  // namespace detail

// LRESULT Handler(WPARAM, LPARAM)
template <auto Handler>
constexpr MessageEntry OnMessage(UINT message) {
    return {Match::Message, message, 0, 0, 0, nullptr, [](Window& w, const Message& m) -> LRESULT {
                return (detail::Self<Handler>(w).*Handler)(m.wParam, m.lParam);
            }};
}

// void Handler(UINT keyFlags, POINT clientPoint), for the mouse messages; the result is 0.
template <auto Handler>
constexpr MessageEntry OnMouse(UINT message) {
    return {Match::Message, message, 0, 0, 0, nullptr, [](Window& w, const Message& m) -> LRESULT {
                const POINT point{static_cast<short>(LOWORD(m.lParam)),
                                  static_cast<short>(HIWORD(m.lParam))};
                (detail::Self<Handler>(w).*Handler)(static_cast<UINT>(m.wParam), point);
                return 0;
            }};
}

// void Handler(), for a control's notification code (BN_CLICKED unless given).
template <auto Handler>
constexpr MessageEntry OnCommand(UINT id, UINT code = BN_CLICKED) {
    return {Match::Command,
            WM_COMMAND,
            code,
            id,
            id,
            nullptr,
            [](Window& w, const Message&) -> LRESULT {
                (detail::Self<Handler>(w).*Handler)();
                return 0;
            }};
}

// void Handler(UINT id), for a notification code from any control of an id range.
template <auto Handler>
constexpr MessageEntry OnCommandRange(UINT firstId, UINT lastId, UINT code = BN_CLICKED) {
    return {Match::Command,
            WM_COMMAND,
            code,
            firstId,
            lastId,
            nullptr,
            [](Window& w, const Message& m) -> LRESULT {
                (detail::Self<Handler>(w).*Handler)(LOWORD(m.wParam));
                return 0;
            }};
}

// LRESULT Handler(const NMHDR&)
template <auto Handler>
constexpr MessageEntry OnNotify(UINT id, UINT code) {
    return {
        Match::Notify,
        WM_NOTIFY,
        code,
        id,
        id,
        nullptr,
        [](Window& w, const Message& m) -> LRESULT {
            return (detail::Self<Handler>(w).*Handler)(*reinterpret_cast<const NMHDR*>(m.lParam));
        }};
}

// bool Handler(), a command notification the control receives back from its parent. The
// result says whether the notification is settled; false lets the parent handle it too.
template <auto Handler>
constexpr MessageEntry OnReflectedCommand(UINT code) {
    return {Match::Reflected,
            WM_COMMAND,
            code,
            0,
            0,
            nullptr,
            [](Window& w, const Message&) -> LRESULT {
                return (detail::Self<Handler>(w).*Handler)() ? TRUE : FALSE;
            }};
}

// void Handler(const DRAWITEMSTRUCT&), the owner-draw request sent to the parent.
template <auto Handler>
constexpr MessageEntry OnReflectedDrawItem() {
    return {
        Match::Reflected,
        WM_DRAWITEM,
        0,
        0,
        0,
        nullptr,
        [](Window& w, const Message& m) -> LRESULT {
            (detail::Self<Handler>(w).*Handler)(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.lParam));
            return TRUE;
        }};
}

// HBRUSH Handler(HDC, UINT ctlColorMessage), for every WM_CTLCOLOR* the parent receives
// about this control; a null brush leaves the question to the parent.
template <auto Handler>
constexpr MessageEntry OnReflectedCtlColor() {
    return {Match::Reflected,
            WM_CTLCOLORSTATIC,
            0,
            0,
            0,
            nullptr,
            [](Window& w, const Message& m) -> LRESULT {
                return reinterpret_cast<LRESULT>(
                    (detail::Self<Handler>(w).*Handler)(reinterpret_cast<HDC>(m.wParam), m.id));
            }};
}

// LRESULT Handler(WPARAM, LPARAM), for a message registered at run time.
template <auto Handler>
constexpr MessageEntry OnRegistered(const UINT& message) {
    return {Match::Registered, 0, 0, 0, 0, &message, [](Window& w, const Message& m) -> LRESULT {
                return (detail::Self<Handler>(w).*Handler)(m.wParam, m.lParam);
            }};
}

}  // namespace ui
