#pragma once
// Sound input of halvex3-decode and of the sound-file device: a sound file (any format, rate and channel
// count libsndfile reads) or raw samples on standard input, delivered in blocks as 48 kHz unsigned 8-bit mono
// samples (128 is the zero line).
//
//   unsigned 8-bit 48 kHz mono WAV   the stored bytes, untouched
//   other files at 48 kHz            first channel as 16-bit s, (s >> 8) + 128
//   other rates                      first channel, resampled (soxr, high quality)
//   raw u8 / s16le on stdin          as above, at the rate given
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum class RawType
{
    U8,
    S16LE
};

struct InputSource
{
    std::string strPath = "-";  // "-" for standard input
    RawType type = RawType::U8;
    int nRate = 48000;
    // When set, reading ends after the block in hand (a player that stops).
    const std::atomic<bool>* pStop = nullptr;
};

enum class ReadResult
{
    Ok,
    CannotOpen,  // nothing was read
    Damaged      // read until an error; what came before was delivered
};

using SampleBlockFn = std::function<void(const uint8_t* samples, size_t n)>;

// Delivers the whole input to consume, in blocks. strError gets the reason
// when the result is not Ok.
ReadResult ReadSamples(const InputSource& input, const SampleBlockFn& consume, std::string& strError);

// Rates the resampler accepts (the input rate of raw samples or a file).
bool IsUsableRate(int nRate);
