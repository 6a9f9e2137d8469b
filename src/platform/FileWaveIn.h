#pragma once
// A sound file played as if it were a sound card: one input device, named
// after the file, that records the file's audio in real time (48,000 bytes a
// second) into the queued buffers, then silence (128) once the file has ended.
// Used for the desktop program's --input FILE and for tests.
//
// The file is read and converted when the device is opened: an unsigned 8-bit
// 48 kHz mono WAV is taken byte for byte; anything else libsndfile reads is
// reduced to its first channel, resampled to 48 kHz and quantised to unsigned
// 8 bits. A file that cannot be read fails Open with MMSYSERR_NODRIVER; a
// format other than 8-bit PCM mono 48 kHz fails Open with WAVERR_BADFORMAT.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/WaveIn.h"

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

    // Reads a sound file as unsigned 8-bit mono 48 kHz samples. False (with
    // the reason in strError) when the file cannot be read or converted.
    static bool LoadAsU8(const std::string& strPath, std::vector<uint8_t>& samples,
                         std::string& strError);

    // The reason of the last failed Open (empty after a good one).
    const std::string& LastError() const { return m_strError; }

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
    wavein::HWAVEIN Handle() const
    {
        return reinterpret_cast<wavein::HWAVEIN>(const_cast<CFileWaveIn*>(this));
    }
    unsigned CheckHeader(wavein::HWAVEIN handle, const wavein::WaveHdr* hdr, unsigned hdrSize) const;
    void DeliveryThread();
    // Writes n bytes of the stream into the queued buffers (lock held); bytes
    // that find no queued buffer are lost, as on a sound card.
    void DeliverLocked(uint64_t n);
    void FinishFrontLocked();

    std::string m_strPath;
    double m_dPacing;
    std::string m_strError;

    std::vector<uint8_t> m_bySamples;  // the whole file, converted
    uint64_t m_nPosition = 0;          // bytes of the stream delivered so far

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_bOpen = false;
    bool m_bRecording = false;
    bool m_bQuit = false;
    std::vector<wavein::WaveHdr*> m_queue;  // in the order added
    uint32_t m_nFrontFill = 0;               // bytes already in m_queue.front()
};
