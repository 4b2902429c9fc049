#include <kissfft/kissfft.hh>

#include <complex>
#include <vector>

#include "cli/graphics/FrequencyBins.h"

namespace kelvra::cli {

namespace {

// A real transform of n points as kissfft does it: a complex one of n / 2.
class KissFrequencyBins : public FrequencyBins {
public:
    explicit KissFrequencyBins(std::size_t size)
        : size_(size), fft_(size / 2, false), bins_(size / 2) {}

    void powers(const float* samples, float* powers) override {
        fft_.transform_real(samples, bins_.data());
        // Bin 0 carries 0 Hz in its real part and half the sample rate in its imaginary one.
        powers[0] = bins_[0].real() * bins_[0].real();
        for (std::size_t k = 1; k < bins_.size(); ++k) {
            powers[k] = std::norm(bins_[k]);
        }
    }

    std::size_t size() const override { return size_; }

private:
    std::size_t size_;
    kissfft<float> fft_;
    std::vector<std::complex<float>> bins_;
};

}  // namespace

std::unique_ptr<FrequencyBins> makeFrequencyBins(std::size_t size) {
    return std::make_unique<KissFrequencyBins>(size);
}

}  // namespace kelvra::cli
