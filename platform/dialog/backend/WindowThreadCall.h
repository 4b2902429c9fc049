#pragma once

#include "platform/dialog/CDialog.h"
#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"

namespace kelvra::platform {

template <class Result, class Call>
Result CDialog::onWindowThread(Result failed, Call&& call) const {
    if (!isWorkerThread()) {
        return native_ ? call(*native_) : failed;
    }
    Result result = failed;
    backend::carry([&] {
        if (native_) {
            result = call(*native_);
        }
    });
    return result;
}

}  // namespace kelvra::platform
