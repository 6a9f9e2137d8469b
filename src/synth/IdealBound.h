#pragma once
// The most any receiver can get from the physical signal (CPhysicalModulator)
// in white noise: a matched filter that knows the timing, the pulse shape and
// every other bit of the frame.
//
// Deciding one bit b[k] between its two hypotheses, everything else known,
// is binary detection of the difference signal between them. Flipping b[k]
// reverses its mid-bit pulse (a step of 2A g) and, on either side, makes a
// boundary pulse appear or vanish (a step of A g each, since equal
// neighbours become unequal or the other way round), where g is the unit
// Gaussian of width sigma. The pulses lie 60 samples apart, so their overlap
// is negligible and the difference has the energy
//
//   |h1 - h0|^2 = (4 + 1 + 1) E,   E = A^2 sum_n exp(-n^2 / sigma^2) = A^2 sigma sqrt(pi)
//
// With white noise of RMS s, the correlator's output has the spread
// s |h1 - h0| and the hypotheses lie |h1 - h0|^2 apart, so an error needs
// the noise to cross half of that:
//
//   P(bit error) = Q(d),   d = |h1 - h0| / (2 s) = (A / s) sqrt(1.5 sigma sqrt(pi))
//
// A frame is decoded when every bit the decoder has to read is right: the
// opening flag, the stuffed frame bits, the closing flag:
//
//   P(frame) = (1 - Q(d))^bits,   bits = 16 + stuffed bits (24 bytes: 192 + about 3 + 16)
//
// Bit errors in one frame are all but independent at these spacings; a
// receiver that reads only the mid-bit pulses loses 1.76 dB against this
// (energy 4E instead of 6E).
//
// A receiver that repairs bits against the check value can pass that bound:
// with up to r bits repaired, at best every frame with r or fewer bit errors
// is read, P = P(errors <= r), the errors counted over the frame's bits
// (with fading each bit has its own Q(a d)).
#include <cstdint>
#include <vector>

#include "synth/PhysicalModulator.h"

// Q(x): the tail of the standard normal distribution beyond x.
double GaussianTail(double x);
// d of the options' pulse and noise (infinite without noise).
double IdealBitDistance(const PhysicalOptions& options);
// Bits a decoder must read right for the frame (with its check value).
int FrameBitsToRead(const std::vector<uint8_t>& frameWithCrc);
// (1 - Q(d))^bits; with nRepaired > 0, the chance of at most that many
// bit errors.
double IdealFrameSuccess(const PhysicalOptions& options, int bits, int nRepaired = 0);
// The same under fading: a bit sent at amplitude a (1 without a dip) has the
// distance a d.
double IdealFrameSuccess(const PhysicalOptions& options, const std::vector<double>& bitAmplitudes,
                         int nRepaired = 0);
