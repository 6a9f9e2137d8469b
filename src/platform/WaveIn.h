#pragma once
// Waveform-audio input: the small set of operations the capture code calls,
// with the multimedia system's numeric result codes. Devices fill the queued
// buffers on their own (on a thread of theirs) and mark each one done; the
// program learns of a filled buffer only by testing its done flag.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace wavein {

// Result codes (the multimedia system's error numbers).
constexpr unsigned MMSYSERR_NOERROR = 0;
constexpr unsigned MMSYSERR_ERROR = 1;
constexpr unsigned MMSYSERR_BADDEVICEID = 2;
constexpr unsigned MMSYSERR_NOTENABLED = 3;
constexpr unsigned MMSYSERR_ALLOCATED = 4;
constexpr unsigned MMSYSERR_INVALHANDLE = 5;
constexpr unsigned MMSYSERR_NODRIVER = 6;
constexpr unsigned MMSYSERR_NOMEM = 7;
constexpr unsigned MMSYSERR_NOTSUPPORTED = 8;
constexpr unsigned MMSYSERR_BADERRNUM = 9;
constexpr unsigned MMSYSERR_INVALFLAG = 10;
constexpr unsigned MMSYSERR_INVALPARAM = 11;
constexpr unsigned MMSYSERR_HANDLEBUSY = 12;
constexpr unsigned WAVERR_BADFORMAT = 32;
constexpr unsigned WAVERR_STILLPLAYING = 33;
constexpr unsigned WAVERR_UNPREPARED = 34;

// Device id of the wave mapper: the system's default input.
constexpr unsigned WAVE_MAPPER = 0xFFFFFFFFu;

// Header flags.
constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr unsigned kWaveHdrSize = 32;  // the size every header call is given
constexpr unsigned kWaveInCapsSize = 48;
constexpr unsigned kMaxPnameLen = 32;

struct WaveFormat
{
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

// The one format the program records: PCM, mono, 48,000 samples per second,
// unsigned 8-bit (128 is the zero line).
inline WaveFormat CaptureFormat()
{
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 48000;
    f.nAvgBytesPerSec = 48000;
    f.nBlockAlign = 1;
    f.wBitsPerSample = 8;
    f.cbSize = 0;
    return f;
}
// The zero line of that format: what a device records for silence.
constexpr uint8_t kSilence = 128;

// One buffer handed to a device. dwFlags and dwBytesRecorded are written by
// the device's thread; the done flag is set (release) after the bytes and the
// count are in place, so a reader that sees WHDR_DONE (acquire) sees the data.
struct WaveHdr
{
    char* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    std::atomic<uint32_t> dwBytesRecorded{0};
    uintptr_t dwUser = 0;
    std::atomic<uint32_t> dwFlags{0};
};

struct WaveInCaps
{
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    char szPname[kMaxPnameLen] = {};  // product name, NUL-terminated, at most 31 characters
    uint32_t dwFormats = 0;
    uint16_t wChannels = 0;
};

using HWAVEIN = struct WaveInHandle*;

class IWaveIn
{
public:
    virtual ~IWaveIn() = default;
    virtual unsigned GetNumDevs() = 0;
    virtual unsigned GetDevCaps(unsigned deviceId, WaveInCaps* caps, unsigned capsSize) = 0;
    // deviceId may be WAVE_MAPPER. No callback is ever registered.
    virtual unsigned Open(HWAVEIN* handle, unsigned deviceId, const WaveFormat* format) = 0;
    virtual unsigned PrepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize) = 0;
    virtual unsigned UnprepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize) = 0;
    virtual unsigned AddBuffer(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize) = 0;
    virtual unsigned Start(HWAVEIN handle) = 0;
    // Stops recording and returns every queued buffer marked done.
    virtual unsigned Reset(HWAVEIN handle) = 0;
    virtual unsigned Close(HWAVEIN handle) = 0;
    // A one-line account of why the last Open failed, for the log (the
    // result code says only which kind of failure); empty when unknown.
    virtual std::string LastError() const { return {}; }
};

}  // namespace wavein
