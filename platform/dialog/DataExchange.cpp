#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/MessageBox.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/dialog/backend/NativeDialog.h"
#include "platform/dialog/backend/ParseInt.h"

namespace kelvra::platform {

std::optional<int> parseLeadingInt(std::string_view text) {
    // Only the first 63 characters count, as an edit's text read into a 64-character buffer.
    std::size_t end = 0;
    for (int characters = 0; end < text.size() && characters < 63; ++characters) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    text = text.substr(0, end);

    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size() || text[pos] < '0' || text[pos] > '9') {
        return std::nullopt;
    }
    // Numbers beyond the int range saturate, as strtol does, so a range check refuses them.
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[pos] - '0'),
                                           static_cast<std::int64_t>(INT_MAX) + 1);
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

void CDataExchange::Fail() {
    failed_ = true;
    if (lastControlId_ != 0) {
        m_pDlgWnd->SetItemFocus(lastControlId_);
        if (NativeDialog* native = DialogAccess::native(*m_pDlgWnd)) {
            native->selectAllText(lastControlId_);
        }
    }
}

void DDX_Text(CDataExchange* pDX, int controlId, int& value) {
    if (pDX->Failed()) {
        return;
    }
    pDX->PrepareEditCtrl(controlId);
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetItemText(controlId, std::to_string(value));
        return;
    }
    std::optional<int> parsed = parseLeadingInt(pDX->m_pDlgWnd->GetItemText(controlId));
    if (!parsed) {
        AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
        pDX->Fail();
        return;
    }
    value = *parsed;
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue) {
    if (!pDX->m_bSaveAndValidate || pDX->Failed()) {
        return;
    }
    if (value < minValue || value > maxValue) {
        AfxMessageBox("Please enter an integer between " + std::to_string(minValue) + " and " +
                          std::to_string(maxValue) + ".",
                      MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

}  // namespace kelvra::platform
