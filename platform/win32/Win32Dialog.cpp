#include "platform/win32/Win32Dialog.h"

#include <vector>

#include "platform/dialog/backend/DialogAccess.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform::win32 {

namespace {

std::wstring wide(std::string_view text) {
    return toUtf16(std::string(text));
}

}  // namespace

Win32Dialog::Win32Dialog(CDialog& dialog, HWND owner) : dialog_(dialog), owner_(owner) {}

Win32Dialog::~Win32Dialog() {
    if (ownerDisabled_) {
        EnableWindow(owner_, TRUE);
    }
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

bool Win32Dialog::create(int templateId) {
    hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr),
                               MAKEINTRESOURCEW(static_cast<WORD>(templateId)), owner_,
                               &Win32Dialog::dialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd_ != nullptr;
}

INT_PTR CALLBACK Win32Dialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<Win32Dialog*>(lParam)->hwnd_ = hwnd;
        return FALSE;  // the focus is placed once OnInitDialog has run
    }
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return DialogAccess::command(dialog_, LOWORD(wParam), HIWORD(wParam)).handled;
        case WM_TIMER:
            DialogAccess::dispatch(dialog_,
                                   MessageArgs{WM_TIMER, 0, 0, static_cast<unsigned>(wParam)});
            return TRUE;
        case WM_SYSCOMMAND: {
            DispatchResult result = DialogAccess::dispatch(
                dialog_, MessageArgs{WM_SYSCOMMAND, 0, 0, static_cast<unsigned>(wParam)});
            return result.handled && !result.useDefault;
        }
        case WM_CLOSE:
            DialogAccess::dispatch(dialog_, MessageArgs{WM_CLOSE});
            return TRUE;
        case WM_PAINT: {
            inPaint_ = true;
            painted_ = false;
            DialogAccess::dispatch(dialog_, MessageArgs{WM_PAINT});
            inPaint_ = false;
            return painted_;  // otherwise the dialog manager paints as usual
        }
        case WM_QUERYDRAGICON: {
            DispatchResult result = DialogAccess::dispatch(dialog_, MessageArgs{WM_QUERYDRAGICON});
            return result.handled ? static_cast<INT_PTR>(result.value) : FALSE;
        }
        default:
            (void)lParam;
            return FALSE;
    }
}

void Win32Dialog::show(bool focusFirst) {
    if (focusFirst) {
        if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
            SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
        }
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
}

void Win32Dialog::runModalLoop() {
    if (owner_ != nullptr && IsWindowEnabled(owner_)) {
        EnableWindow(owner_, FALSE);
        ownerDisabled_ = true;
    }
    MSG msg;
    while (!DialogAccess::hasEnded(dialog_)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The owner comes back before this window goes, so that it takes the activation.
    if (ownerDisabled_) {
        EnableWindow(owner_, TRUE);
        ownerDisabled_ = false;
    }
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (owner_ != nullptr) {
        SetActiveWindow(owner_);
    }
}

void Win32Dialog::endModalLoop() {
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

LRESULT Win32Dialog::sendTo(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(hwnd_, id);
    return control != nullptr ? SendMessageW(control, message, wParam, lParam) : LB_ERR;
}

void Win32Dialog::setItemText(int id, std::string_view text) {
    SetDlgItemTextW(hwnd_, id, wide(text).c_str());
}

std::string Win32Dialog::itemText(int id) {
    HWND control = GetDlgItem(hwnd_, id);
    if (control == nullptr) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return toUtf8(text);
}

void Win32Dialog::enableItem(int id, bool enable) {
    if (HWND control = GetDlgItem(hwnd_, id)) {
        EnableWindow(control, enable ? TRUE : FALSE);
    }
}

bool Win32Dialog::itemEnabled(int id) {
    HWND control = GetDlgItem(hwnd_, id);
    return control != nullptr && IsWindowEnabled(control);
}

void Win32Dialog::showItem(int id, bool show) {
    if (HWND control = GetDlgItem(hwnd_, id)) {
        ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    }
}

bool Win32Dialog::itemVisible(int id) {
    HWND control = GetDlgItem(hwnd_, id);
    return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Dialog::focusItem(int id) {
    if (HWND control = GetDlgItem(hwnd_, id)) {
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

int Win32Dialog::focusedItem() {
    HWND focus = GetFocus();
    return focus != nullptr && IsChild(hwnd_, focus) ? GetDlgCtrlID(focus) : 0;
}

void Win32Dialog::selectAllText(int id) {
    sendTo(id, EM_SETSEL, 0, -1);
}

void Win32Dialog::listReset(int id) {
    sendTo(id, LB_RESETCONTENT, 0, 0);
}

void Win32Dialog::listSetTabStops(int id, std::span<const int> stops) {
    std::vector<INT> values(stops.begin(), stops.end());
    sendTo(id, LB_SETTABSTOPS, values.size(), reinterpret_cast<LPARAM>(values.data()));
}

int Win32Dialog::listInsert(int id, int index, std::string_view text) {
    std::wstring line = wide(text);
    return static_cast<int>(sendTo(id, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(line.c_str())));
}

int Win32Dialog::listCount(int id) {
    return static_cast<int>(sendTo(id, LB_GETCOUNT, 0, 0));
}

std::string Win32Dialog::listText(int id, int index) {
    auto length = sendTo(id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    length =
        sendTo(id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return toUtf8(text);
}

int Win32Dialog::listSelCount(int id) {
    return static_cast<int>(sendTo(id, LB_GETSELCOUNT, 0, 0));
}

int Win32Dialog::listSelItems(int id, int maxItems, int* indexes) {
    return static_cast<int>(sendTo(id, LB_GETSELITEMS, static_cast<WPARAM>(maxItems),
                                   reinterpret_cast<LPARAM>(indexes)));
}

bool Win32Dialog::listGetSel(int id, int index) {
    return sendTo(id, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

int Win32Dialog::listSetSel(int id, int index, bool select) {
    return static_cast<int>(sendTo(id, LB_SETSEL, select ? TRUE : FALSE, index)) == LB_ERR ? LB_ERR
                                                                                           : 0;
}

int Win32Dialog::listCaret(int id) {
    return static_cast<int>(sendTo(id, LB_GETCARETINDEX, 0, 0));
}

int Win32Dialog::listSetCaret(int id, int index) {
    return static_cast<int>(sendTo(id, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE)) ==
                   LB_ERR
               ? LB_ERR
               : 0;
}

CRect Win32Dialog::clientRect(int id) {
    RECT rect{};
    HWND control = GetDlgItem(hwnd_, id);
    if (control == nullptr || !GetClientRect(control, &rect)) {
        return {};
    }
    return CRect{rect.left, rect.top, rect.right, rect.bottom};
}

void Win32Dialog::fillRect(int id, const CRect& rect, COLORREF color) {
    HWND control = GetDlgItem(hwnd_, id);
    if (control == nullptr) {
        return;
    }
    HDC dc = GetDC(control);
    HBRUSH brush = CreateSolidBrush(color);
    RECT area{rect.left, rect.top, rect.right, rect.bottom};
    FillRect(dc, &area, brush);
    ReleaseDC(control, dc);
    DeleteObject(brush);
}

bool Win32Dialog::setTimer(unsigned timerId, unsigned elapseMs) {
    return ::SetTimer(hwnd_, timerId, elapseMs, nullptr) != 0;
}

bool Win32Dialog::killTimer(unsigned timerId) {
    return ::KillTimer(hwnd_, timerId) != 0;
}

bool Win32Dialog::hasSystemMenu() {
    return GetSystemMenu(hwnd_, FALSE) != nullptr;
}

void Win32Dialog::appendSystemMenu(unsigned flags, unsigned command, std::string_view text) {
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) {
        return;
    }
    std::wstring item = wide(text);
    AppendMenuW(menu, flags, command, (flags & MF_SEPARATOR) != 0 ? nullptr : item.c_str());
}

void Win32Dialog::setIcon(IconHandle icon, bool bigIcon) {
    SendMessageW(
        hwnd_, WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
        reinterpret_cast<LPARAM>(reinterpret_cast<HICON>(const_cast<IconResource*>(icon))));
}

bool Win32Dialog::isIconic() {
    return ::IsIconic(hwnd_) != FALSE;
}

void Win32Dialog::paintIconic(IconHandle icon) {
    if (!inPaint_) {
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd_, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, reinterpret_cast<HICON>(const_cast<IconResource*>(icon)));
    EndPaint(hwnd_, &paint);
    painted_ = true;
}

}  // namespace kelvra::platform::win32
