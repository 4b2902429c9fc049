#include <algorithm>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/backend/NativeDialog.h"
#include "platform/dialog/backend/WindowThreadCall.h"

namespace kelvra::platform {

void CListBox::ResetContent() {
    dialog_->onWindowThread(false, [&](NativeDialog& native) {
        native.listReset(controlId_);
        return true;
    });
}

void CListBox::SetTabStops(int eachStop) {
    SetTabStops(std::span<const int>(&eachStop, 1));
}

void CListBox::SetTabStops(std::span<const int> stops) {
    dialog_->onWindowThread(false, [&](NativeDialog& native) {
        native.listSetTabStops(controlId_, stops);
        return true;
    });
}

int CListBox::InsertString(int index, std::string_view text) {
    return dialog_->onWindowThread(
        LB_ERR, [&](NativeDialog& native) { return native.listInsert(controlId_, index, text); });
}

int CListBox::GetCount() const {
    return dialog_->onWindowThread(
        0, [&](NativeDialog& native) { return native.listCount(controlId_); });
}

std::string CListBox::GetText(int index) const {
    return dialog_->onWindowThread(
        std::string(), [&](NativeDialog& native) { return native.listText(controlId_, index); });
}

int CListBox::GetSelCount() const {
    return dialog_->onWindowThread(
        0, [&](NativeDialog& native) { return native.listSelCount(controlId_); });
}

int CListBox::GetSelItems(int maxItems, int* indexes) const {
    if (maxItems <= 0 || indexes == nullptr) {
        return 0;
    }
    return dialog_->onWindowThread(0, [&](NativeDialog& native) {
        return native.listSelItems(controlId_, maxItems, indexes);
    });
}

bool CListBox::GetSel(int index) const {
    return dialog_->onWindowThread(
        false, [&](NativeDialog& native) { return native.listGetSel(controlId_, index); });
}

int CListBox::SetSel(int index, bool select) {
    return dialog_->onWindowThread(
        LB_ERR, [&](NativeDialog& native) { return native.listSetSel(controlId_, index, select); });
}

int CListBox::GetCaretIndex() const {
    return dialog_->onWindowThread(
        0, [&](NativeDialog& native) { return native.listCaret(controlId_); });
}

int CListBox::SetCaretIndex(int index) {
    return dialog_->onWindowThread(
        LB_ERR, [&](NativeDialog& native) { return native.listSetCaret(controlId_, index); });
}

}  // namespace kelvra::platform
