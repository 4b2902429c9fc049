#pragma once

#include <optional>
#include <string>

#include "platform/json/JsonWriter.h"
#include "platform/serial/UsbAdapterInfo.h"

namespace kelvra::cli {

// Above this an adapter's latency timer slows downloads noticeably: every exchange waits up to
// that long for the end of the reply.
inline constexpr int kSlowLatencyTimerMs = 2;

// "USB adapter: ftdi_sio, 0403:6001 FT232R USB UART, latency timer 16 ms"
std::string describeAdapter(const platform::UsbAdapterInfo& adapter);
// What to do about a latency timer above kSlowLatencyTimerMs, on one line.
std::optional<std::string> latencyHint(const platform::UsbAdapterInfo& adapter);
platform::JsonObject adapterJson(const platform::UsbAdapterInfo& adapter);

}  // namespace kelvra::cli
