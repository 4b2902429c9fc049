#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "link/ConfigFrame.h"
#include "platform/dialog/Framework.h"
#include "platform/serial/SerialPort.h"
#include "resources/ResourceIds.h"

namespace kelvra {

// The factory setup dialog for one block: its serial number, a 16-bit value, five service
// commands and the session table. It shows no answer of the block.
class CParamSet : public platform::CDialog {
public:
    // The main window's port of the block, or nullptr once that block has been lost: the
    // dialog never opens or closes the port and never uses it after the block is gone.
    using PortLender = std::function<platform::SerialPort*()>;

    explicit CParamSet(PortLender portHandle);

    std::int32_t factoryYear = 0;
    std::int32_t factorySerial = 0;
    std::int32_t factoryValue = 0;
    std::array<std::uint8_t, 8> helloReply{};

protected:
    bool OnInitDialog() override;
    void DoDataExchange(platform::CDataExchange* pDX) override;
    const platform::MessageMap& GetMessageMap() const override;

private:
    void OnBatt();
    void OnSetSerial();
    void OnSetValue();
    void OnSetA();
    void OnSetB();
    void OnRepairDateTime();
    void OnUndelete();
    void OnSessions();

    void sendFrame(const ConfigFrame& frame);

    PortLender portHandle_;
};

}  // namespace kelvra
