#include "synth/IdealBound.h"

#include <algorithm>
#include <cmath>

#include "synth/Modulator.h"

double GaussianTail(double x)
{
    return 0.5 * std::erfc(x / std::sqrt(2.0));
}

double IdealBitDistance(const PhysicalOptions& options)
{
    const double s = options.NoiseRms();
    if (s == 0.0)
        return INFINITY;
    const double sqrtPi = std::sqrt(3.14159265358979323846);
    return options.dLevel / s * std::sqrt(1.5 * options.dSigma * sqrtPi);
}

int FrameBitsToRead(const std::vector<uint8_t>& frameWithCrc)
{
    return 16 + static_cast<int>(StuffFrameBits(frameWithCrc).size());
}

double IdealFrameSuccess(const PhysicalOptions& options, int bits, int nRepaired)
{
    return IdealFrameSuccess(options, std::vector<double>(static_cast<size_t>(std::max(bits, 0)), 1.0),
                             nRepaired);
}

double IdealFrameSuccess(const PhysicalOptions& options, const std::vector<double>& bitAmplitudes,
                         int nRepaired)
{
    // errors[j]: the chance of exactly j bit errors among the bits so far;
    // more than nRepaired are failures and need no count.
    const double d = IdealBitDistance(options);
    const size_t r = static_cast<size_t>(std::max(nRepaired, 0));
    std::vector<double> errors(r + 1, 0.0);
    errors[0] = 1.0;
    for (double a : bitAmplitudes) {
        const double p = GaussianTail(a * d);
        for (size_t j = r; j > 0; --j)
            errors[j] = errors[j] * (1.0 - p) + errors[j - 1] * p;
        errors[0] *= 1.0 - p;
    }
    double success = 0.0;
    for (size_t j = 0; j <= r; ++j)
        success += errors[j];
    return success;
}
