#include "platform/dialog/CDialog.h"

#include <algorithm>
#include <vector>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/ResourceTable.h"
#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/dialog/backend/NativeDialog.h"
#include "platform/dialog/backend/WindowThreadCall.h"

namespace kelvra::platform {

namespace {

// Dialogs in their modal runs, outermost first. Touched on the window's thread only.
std::vector<CDialog*>& runningDialogs() {
    static std::vector<CDialog*> dialogs;
    return dialogs;
}

CDialog* defaultOwner(CDialog& dialog, CDialog* parent) {
    if (parent != nullptr) {
        return parent;
    }
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != &dialog &&
        DialogAccess::native(*app->m_pMainWnd) != nullptr) {
        return app->m_pMainWnd;
    }
    return nullptr;
}

}  // namespace

CDialog::CDialog(int templateId, CDialog* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    if (native_) {
        DialogAccess::finishRun(*this);
    }
}

int CDialog::DoModal() {
    if (isWorkerThread() || !DialogAccess::beginRun(*this)) {
        return -1;
    }
    native_->runModalLoop();
    return DialogAccess::finishRun(*this);
}

void CDialog::EndDialog(int result) {
    onWindowThread(false, [&](NativeDialog& native) {
        if (ended_) {
            return true;
        }
        ended_ = true;
        result_ = result;
        open_.store(false, std::memory_order_release);
        std::vector<CDialog*>& running = runningDialogs();
        auto self = std::find(running.begin(), running.end(), this);
        if (self != running.end()) {
            std::vector<CDialog*> above(self + 1, running.end());
            for (CDialog* dialog : above) {
                dialog->EndDialog(IDCANCEL);
            }
        }
        native.endModalLoop();
        return true;
    });
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!native_ || isWorkerThread()) {
        return false;
    }
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return !exchange.Failed();
}

void CDialog::SendCloseMessage() {
    onWindowThread(false, [&](NativeDialog&) {
        DialogAccess::dispatch(*this, MessageArgs{WM_CLOSE});
        return true;
    });
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

const MessageMap& CDialog::GetMessageMap() const {
    static constexpr MessageMap kEmpty{};
    return kEmpty;
}

void CDialog::OnSysCommand(unsigned) {
    defaultRequested_ = true;
}
void CDialog::OnPaint() {
    defaultRequested_ = true;
}
void CDialog::OnTimer(unsigned) {}
void CDialog::OnClose() {
    OnCancel();
}

void CDialog::SetItemText(int controlId, std::string_view text) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.setItemText(controlId, text);
        return true;
    });
}

std::string CDialog::GetItemText(int controlId) const {
    return onWindowThread(std::string(),
                          [&](NativeDialog& native) { return native.itemText(controlId); });
}

void CDialog::EnableItem(int controlId, bool enable) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.enableItem(controlId, enable);
        return true;
    });
}

bool CDialog::IsItemEnabled(int controlId) const {
    return onWindowThread(false,
                          [&](NativeDialog& native) { return native.itemEnabled(controlId); });
}

void CDialog::ShowItem(int controlId, bool show) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.showItem(controlId, show);
        return true;
    });
}

bool CDialog::IsItemVisible(int controlId) const {
    return onWindowThread(false,
                          [&](NativeDialog& native) { return native.itemVisible(controlId); });
}

void CDialog::SetItemFocus(int controlId) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.focusItem(controlId);
        return true;
    });
}

int CDialog::GetFocusedItem() const {
    return onWindowThread(0, [&](NativeDialog& native) { return native.focusedItem(); });
}

CListBox CDialog::GetListBox(int controlId) {
    return CListBox(*this, controlId);
}

CRect CDialog::GetItemClientRect(int controlId) const {
    return onWindowThread(CRect{},
                          [&](NativeDialog& native) { return native.clientRect(controlId); });
}

void CDialog::FillSolidRect(int controlId, const CRect& rect, COLORREF color) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.fillRect(controlId, rect, color);
        return true;
    });
}

bool CDialog::SetTimer(unsigned timerId, unsigned elapseMs) {
    return onWindowThread(false,
                          [&](NativeDialog& native) { return native.setTimer(timerId, elapseMs); });
}

bool CDialog::KillTimer(unsigned timerId) {
    return onWindowThread(false, [&](NativeDialog& native) { return native.killTimer(timerId); });
}

bool CDialog::HasSystemMenu() const {
    return onWindowThread(false, [&](NativeDialog& native) { return native.hasSystemMenu(); });
}

void CDialog::AppendSystemMenu(unsigned flags, unsigned commandId, std::string_view text) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.appendSystemMenu(flags, commandId, text);
        return true;
    });
}

void CDialog::SetIcon(IconHandle icon, bool bigIcon) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.setIcon(icon, bigIcon);
        return true;
    });
}

bool CDialog::IsIconic() const {
    return onWindowThread(false, [&](NativeDialog& native) { return native.isIconic(); });
}

void CDialog::PaintIconic(IconHandle icon) {
    onWindowThread(false, [&](NativeDialog& native) {
        native.paintIconic(icon);
        return true;
    });
}

DispatchResult DialogAccess::dispatch(CDialog& dialog, const MessageArgs& args) {
    dialog.defaultRequested_ = false;
    if (const MessageMapEntry* entry = dialog.GetMessageMap().find(args)) {
        std::uintptr_t value = entry->invoke(dialog, args);
        return {true, dialog.defaultRequested_, value};
    }
    switch (args.message) {
        case WM_COMMAND:
            if (args.code == BN_CLICKED && args.id == IDOK) {
                dialog.OnOK();
                return {true, false, 0};
            }
            if (args.code == BN_CLICKED && args.id == IDCANCEL) {
                dialog.OnCancel();
                return {true, false, 0};
            }
            return {};
        case WM_CLOSE:
            dialog.OnClose();
            return {true, false, 0};
        case WM_SYSCOMMAND:
        case WM_PAINT:
            return {false, true, 0};
        default:
            return {};
    }
}

DispatchResult DialogAccess::command(CDialog& dialog, int controlId, unsigned code) {
    return dispatch(dialog, MessageArgs{WM_COMMAND, code, controlId, 0});
}

void DialogAccess::systemClose(CDialog& dialog) {
    DispatchResult result = dispatch(dialog, MessageArgs{WM_SYSCOMMAND, 0, 0, SC_CLOSE});
    if (result.useDefault) {
        dispatch(dialog, MessageArgs{WM_CLOSE});
    }
}

CDialog* DialogAccess::innermost() {
    std::vector<CDialog*>& running = runningDialogs();
    return running.empty() ? nullptr : running.back();
}

bool DialogAccess::beginRun(CDialog& dialog) {
    const DialogTemplate* tmpl = findDialogTemplate(dialog.templateId_);
    if (tmpl == nullptr || dialog.native_) {
        return false;
    }
    std::vector<CDialog*>& running = runningDialogs();
    CDialog* owner = defaultOwner(dialog, dialog.parent_);
    if (running.empty()) {
        backend::openCarrier();
    }
    running.push_back(&dialog);
    dialog.ended_ = false;
    dialog.result_ = IDCANCEL;
    dialog.native_ = backend::createDialog(dialog, *tmpl, owner);
    if (!dialog.native_) {
        running.pop_back();
        if (running.empty()) {
            backend::closeCarrier();
        }
        return false;
    }
    dialog.open_.store(true, std::memory_order_release);
    bool focusFirst = dialog.OnInitDialog();
    if (!dialog.ended_) {
        dialog.native_->show(focusFirst);
    }
    return true;
}

int DialogAccess::finishRun(CDialog& dialog) {
    dialog.open_.store(false, std::memory_order_release);
    std::vector<CDialog*>& running = runningDialogs();
    std::erase(running, &dialog);
    if (running.empty()) {
        backend::closeCarrier();
        backend::waitForWorkers();
        joinAllWorkers();
    }
    dialog.native_.reset();
    return dialog.result_;
}

}  // namespace kelvra::platform
