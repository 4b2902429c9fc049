#include "ui/ParamSet.h"

#include <algorithm>
#include <iterator>

#include "link/BlockLink.h"
#include "link/FirmwareRules.h"
#include "link/LinkExchanges.h"
#include "ui/SessionTable.h"

namespace kelvra {

using namespace platform;

CParamSet::CParamSet(PortLender portHandle)
    : CDialog(IDD_PARAMSET), portHandle_(std::move(portHandle)) {}

const MessageMap& CParamSet::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        onBnClicked<&CParamSet::OnBatt>(IDC_BATT),
        onBnClicked<&CParamSet::OnSetSerial>(IDC_SET_SERIAL),
        onBnClicked<&CParamSet::OnSetValue>(IDC_SET_VALUE),
        onBnClicked<&CParamSet::OnRepairDateTime>(IDC_REPAIR_DATE),
        onBnClicked<&CParamSet::OnSetA>(IDC_SET_A),
        onBnClicked<&CParamSet::OnSetB>(IDC_SET_B),
        onBnClicked<&CParamSet::OnUndelete>(IDC_UNDELETE),
        onBnClicked<&CParamSet::OnSessions>(IDC_SESSIONS),
    };
    static constexpr MessageMap kMap{kEntries};
    return kMap;
}

bool CParamSet::OnInitDialog() {
    CDialog::OnInitDialog();
    // A short or missing reply leaves zeros, never bytes of an earlier greeting.
    helloReply.fill(0);
    if (SerialPort* port = portHandle_()) {
        helloUnchecked(*port, helloReply.data());
    }
    factoryYear = helloReply[1] + 2000;
    factorySerial = helloReply[2] + 256 * helloReply[3];
    factoryValue = 512;
    UpdateData(false);
    return true;
}

void CParamSet::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FACTORY_YEAR, factoryYear);
    DDV_MinMaxInt(pDX, factoryYear, 2000, 2100);
    DDX_Text(pDX, IDC_FACTORY_SERIAL, factorySerial);
    DDV_MinMaxInt(pDX, factorySerial, 0, 999);
    DDX_Text(pDX, IDC_FACTORY_VALUE, factoryValue);
    DDV_MinMaxInt(pDX, factoryValue, 0, 65535);
}

void CParamSet::sendFrame(const ConfigFrame& frame) {
    if (SerialPort* port = portHandle_()) {
        sendConfigFrame(*port, frame);
    }
}

void CParamSet::OnBatt() {
    sendFrame(ConfigFrame::command(ConfigFrame::kBattery));
}

void CParamSet::OnSetSerial() {
    if (!UpdateData(true)) {
        return;
    }
    sendFrame(ConfigFrame::serialNumber(static_cast<std::uint8_t>((factoryYear - 2000) & 0xFF),
                                        static_cast<std::uint16_t>(factorySerial & 0xFFFF)));
}

void CParamSet::OnSetValue() {
    if (!UpdateData(true)) {
        return;
    }
    sendFrame(ConfigFrame::value(static_cast<std::uint16_t>(factorySerial & 0xFFFF),
                                 static_cast<std::uint16_t>(factoryValue & 0xFFFF)));
}

void CParamSet::OnSetA() {
    sendFrame(ConfigFrame::command(ConfigFrame::kSetA));
}

void CParamSet::OnSetB() {
    sendFrame(ConfigFrame::command(ConfigFrame::kSetB));
}

void CParamSet::OnRepairDateTime() {
    sendFrame(ConfigFrame::command(ConfigFrame::kRepairDateTime));
}

void CParamSet::OnUndelete() {
    sendFrame(ConfigFrame::undelete());
}

void CParamSet::OnSessions() {
    CListBox list = GetListBox(IDC_SESSION_LIST);
    const std::uint32_t stride = sessionStride(helloReply[4]);
    std::uint32_t sector = kFirstSessionSector;
    std::uint8_t buffer[kSectorSize];
    for (int i = 0; i < kSessionLines; ++i) {
        SerialPort* port = portHandle_();
        if (port == nullptr) {
            return;
        }
        // Cleared first, so a short reply never shows bytes of the previous session.
        std::fill(std::begin(buffer), std::end(buffer), std::uint8_t{0});
        readMemorySector(*port, sector, buffer);
        list.InsertString(i, sessionLine(i, buffer));
        sector += stride;
    }
}

}  // namespace kelvra
