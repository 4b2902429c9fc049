#include "cli/AdapterText.h"

namespace kelvra::cli {

std::string describeAdapter(const platform::UsbAdapterInfo& adapter) {
    std::string text =
        "USB adapter: " + (adapter.driver.empty() ? "driver unknown" : adapter.driver) + ", " +
        adapter.vendorId + ":" + adapter.productId;
    if (!adapter.product.empty()) {
        text += " " + adapter.product;
    }
    if (adapter.latencyTimerMs) {
        text += ", latency timer " + std::to_string(*adapter.latencyTimerMs) + " ms";
    }
    return text;
}

std::optional<std::string> latencyHint(const platform::UsbAdapterInfo& adapter) {
    if (!adapter.latencyTimerMs || *adapter.latencyTimerMs <= kSlowLatencyTimerMs) {
        return std::nullopt;
    }
    return "hint: the adapter holds what it receives for up to " +
           std::to_string(*adapter.latencyTimerMs) +
           " ms, which slows every exchange; set its latency timer to 1 ms: " +
           adapter.lowerLatency;
}

platform::JsonObject adapterJson(const platform::UsbAdapterInfo& adapter) {
    platform::JsonObject object;
    object.add("driver", adapter.driver)
        .add("vendorId", adapter.vendorId)
        .add("productId", adapter.productId)
        .add("product", adapter.product);
    if (adapter.latencyTimerMs) {
        object.add("latencyTimerMs", std::int64_t{*adapter.latencyTimerMs});
    } else {
        object.addNull("latencyTimerMs");
    }
    if (const std::optional<std::string> hint = latencyHint(adapter)) {
        object.add("hint", *hint);
    } else {
        object.addNull("hint");
    }
    return object;
}

}  // namespace kelvra::cli
