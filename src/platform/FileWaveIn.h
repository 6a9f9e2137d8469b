#pragma once
// A sound file played as if it were a sound card: one input device, named
// after the file, that records the file's audio in real time (48,000 bytes a
// second) into the queued buffers, then silence (128) once the file has ended.
// Used for the desktop program's --input FILE and for tests.
//
// The file is read as it plays, a block at a time, through the same sound
// reader as halvex3-decode: an unsigned 8-bit 48 kHz mono WAV is taken byte
// for byte; anything else libsndfile reads is reduced to its first channel,
// resampled to 48 kHz and quantised to unsigned 8 bits. A file that cannot be
// read fails Open with MMSYSERR_NODRIVER (LastError says which file and why);
// a format other than 8-bit PCM mono 48 kHz fails Open with WAVERR_BADFORMAT.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/WaveIn.h"
#include "platform/WaveInQueue.h"

class CFileWaveIn final : public wavein::IWaveIn
{
public:
    static constexpr unsigned kRate = 48000;

    // dPacing: 1.0 is real time, 10.0 ten times faster; 0 (or less) delivers
    // as fast as buffers are queued and never drops audio.
    explicit CFileWaveIn(std::string strPath, double dPacing = 1.0);
    ~CFileWaveIn() override;
    CFileWaveIn(const CFileWaveIn&) = delete;
    CFileWaveIn& operator=(const CFileWaveIn&) = delete;

    // Reads a whole sound file as unsigned 8-bit mono 48 kHz samples, as the
    // device plays it. False (with the reason in strError) when the file
    // cannot be read or converted.
    static bool LoadAsU8(const std::string& strPath, std::vector<uint8_t>& samples, std::string& strError);

    // "cannot read FILE: reason" after a failed Open (empty after a good one).
    std::string LastError() const override;

    unsigned GetNumDevs() override;
    unsigned GetDevCaps(unsigned deviceId, wavein::WaveInCaps* caps, unsigned capsSize) override;
    unsigned Open(wavein::HWAVEIN* handle, unsigned deviceId, const wavein::WaveFormat* format) override;
    unsigned PrepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned UnprepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned AddBuffer(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned Start(wavein::HWAVEIN handle) override;
    unsigned Reset(wavein::HWAVEIN handle) override;
    unsigned Close(wavein::HWAVEIN handle) override;

private:
    enum class ReadState
    {
        Starting,
        Playing,
        Failed
    };

    wavein::HWAVEIN Handle() const
    {
        return reinterpret_cast<wavein::HWAVEIN>(const_cast<CFileWaveIn*>(this));
    }
    unsigned CheckHandle(wavein::HWAVEIN handle) const;
    // Reads the file block by block and plays it, then the zero line until
    // the device closes.
    void DeliveryThread();
    // Plays n bytes (data null: the zero line) into the queued buffers at the
    // device's pace, waiting while it is not recording. False when the device
    // is closing. Called with the lock held.
    bool PlayLocked(std::unique_lock<std::mutex>& lock, const uint8_t* data, uint64_t n);

    std::string m_strPath;
    double m_dPacing;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    std::atomic<bool> m_bStopReading{false};
    std::string m_strError;
    ReadState m_readState = ReadState::Starting;
    bool m_bOpen = false;
    bool m_bRecording = false;
    bool m_bQuit = false;
    // Pacing restarts at every Start, counted from the bytes delivered since.
    bool m_bWasRecording = false;
    std::chrono::steady_clock::time_point m_since{};
    uint64_t m_nDeliveredSince = 0;
    wavein::CWaveInQueue m_queue;
};
