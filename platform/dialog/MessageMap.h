#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

#include "platform/dialog/WinDefs.h"

// Message tables: each dialog class lists the messages it handles as (message, notification,
// control ID, member function) entries; the framework looks a message up in the table of the
// dialog it is addressed to and calls the member, or applies its own default.
//
//     const MessageMap& CMainDlg::GetMessageMap() const {
//         static constexpr MessageMapEntry kEntries[] = {
//             onSysCommand<&CMainDlg::OnSysCommand>(),
//             onTimer<&CMainDlg::OnTimer>(),
//             onBnClicked<&CMainDlg::OnClearMemory>(IDC_CLEAR_MEMORY),
//             onStnDblClk<&CMainDlg::OnSerialADblClk>(IDC_SERIAL_A),
//             onLbnDblClk<&CMainDlg::OnRecordListDblClk>(IDC_RECORD_LIST),
//         };
//         static constexpr MessageMap kMap{kEntries};
//         return kMap;
//     }
namespace kelvra::platform {

class CDialog;

// What a message carries to its handler.
struct MessageArgs {
    unsigned message = 0;
    unsigned code = 0;   // WM_COMMAND: the notification code
    int id = 0;          // WM_COMMAND: the control ID
    unsigned param = 0;  // WM_TIMER: the timer ID; WM_SYSCOMMAND: the command
};

struct MessageMapEntry {
    unsigned message;
    unsigned code;  // matched for WM_COMMAND only
    int id;         // matched for WM_COMMAND only
    std::uintptr_t (*invoke)(CDialog& dialog, const MessageArgs& args);
};

struct MessageMap {
    std::span<const MessageMapEntry> entries;

    // The entry that handles this message, or nullptr.
    const MessageMapEntry* find(const MessageArgs& args) const {
        for (const MessageMapEntry& entry : entries) {
            if (entry.message != args.message) {
                continue;
            }
            if (entry.message != WM_COMMAND || (entry.code == args.code && entry.id == args.id)) {
                return &entry;
            }
        }
        return nullptr;
    }
};

namespace detail {

template <class MemberPointer>
struct MemberOf;
template <class Class, class Member>
struct MemberOf<Member Class::*> {
    using type = Class;
};

template <auto Handler>
using HandlerClass = typename MemberOf<decltype(Handler)>::type;

template <auto Handler>
HandlerClass<Handler>& dialogAs(CDialog& dialog) {
    static_assert(std::is_base_of_v<CDialog, HandlerClass<Handler>>,
                  "a message handler must be a member of a CDialog class");
    return static_cast<HandlerClass<Handler>&>(dialog);
}

template <auto Handler>
std::uintptr_t callPlain(CDialog& dialog, const MessageArgs&) {
    (dialogAs<Handler>(dialog).*Handler)();
    return 0;
}

template <auto Handler>
std::uintptr_t callWithParam(CDialog& dialog, const MessageArgs& args) {
    (dialogAs<Handler>(dialog).*Handler)(args.param);
    return 0;
}

template <auto Handler>
std::uintptr_t callReturningIcon(CDialog& dialog, const MessageArgs&) {
    IconHandle icon = (dialogAs<Handler>(dialog).*Handler)();
    return reinterpret_cast<std::uintptr_t>(icon);
}

}  // namespace detail

// void Handler(): BN_CLICKED of a push button.
template <auto Handler>
constexpr MessageMapEntry onBnClicked(int controlId) {
    return {WM_COMMAND, BN_CLICKED, controlId, &detail::callPlain<Handler>};
}

// void Handler(): STN_DBLCLK of a static control that reports clicks.
template <auto Handler>
constexpr MessageMapEntry onStnDblClk(int controlId) {
    return {WM_COMMAND, STN_DBLCLK, controlId, &detail::callPlain<Handler>};
}

// void Handler(): LBN_DBLCLK of a list box.
template <auto Handler>
constexpr MessageMapEntry onLbnDblClk(int controlId) {
    return {WM_COMMAND, LBN_DBLCLK, controlId, &detail::callPlain<Handler>};
}

// void Handler(): LBN_SELCHANGE of a list box.
template <auto Handler>
constexpr MessageMapEntry onLbnSelChange(int controlId) {
    return {WM_COMMAND, LBN_SELCHANGE, controlId, &detail::callPlain<Handler>};
}

// void Handler(unsigned timerId): WM_TIMER of any of the dialog's timers.
template <auto Handler>
constexpr MessageMapEntry onTimer() {
    return {WM_TIMER, 0, 0, &detail::callWithParam<Handler>};
}

// void Handler(unsigned command): WM_SYSCOMMAND; pass unknown commands to
// CDialog::OnSysCommand for the framework's default.
template <auto Handler>
constexpr MessageMapEntry onSysCommand() {
    return {WM_SYSCOMMAND, 0, 0, &detail::callWithParam<Handler>};
}

// void Handler(): WM_PAINT; call CDialog::OnPaint for the framework's painting.
template <auto Handler>
constexpr MessageMapEntry onPaint() {
    return {WM_PAINT, 0, 0, &detail::callPlain<Handler>};
}

// IconHandle Handler(): WM_QUERYDRAGICON, the icon shown while a minimised window is dragged.
template <auto Handler>
constexpr MessageMapEntry onQueryDragIcon() {
    return {WM_QUERYDRAGICON, 0, 0, &detail::callReturningIcon<Handler>};
}

// void Handler(): WM_CLOSE; without an entry the framework closes as OnCancel does.
template <auto Handler>
constexpr MessageMapEntry onClose() {
    return {WM_CLOSE, 0, 0, &detail::callPlain<Handler>};
}

}  // namespace kelvra::platform
