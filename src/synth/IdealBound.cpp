#include "synth/IdealBound.h"

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

double IdealFrameSuccess(const PhysicalOptions& options, int bits)
{
    return std::pow(1.0 - GaussianTail(IdealBitDistance(options)), bits);
}

double IdealFrameSuccess(const PhysicalOptions& options, const std::vector<double>& bitAmplitudes)
{
    const double d = IdealBitDistance(options);
    double p = 1.0;
    for (double a : bitAmplitudes)
        p *= 1.0 - GaussianTail(a * d);
    return p;
}
