#pragma once

#include <cstddef>
#include <memory>

namespace kelvra::cli {

// The power spectrum of a block of real samples, by a library's FFT.
class FrequencyBins {
public:
    virtual ~FrequencyBins() = default;
    // `samples` holds size() values; `powers` receives size() / 2 bins, from 0 Hz up to just
    // below half the sample rate: |X[k]|² of the unnormalised transform.
    virtual void powers(const float* samples, float* powers) = 0;
    virtual std::size_t size() const = 0;
};

// For an even `size` of at least 2.
std::unique_ptr<FrequencyBins> makeFrequencyBins(std::size_t size);

}  // namespace kelvra::cli
