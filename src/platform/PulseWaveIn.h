#pragma once
// The sound cards of a PulseAudio (or PipeWire-Pulse) server as wave-in
// devices. The capture devices are the server's sources that are not monitors
// of a sink, in the server's order, named by their descriptions; the wave
// mapper is the server's default source. The server is the one libpulse finds
// on its own (PULSE_SERVER, then the user's session); none is ever spawned.
//
// Each call that needs the server connects for itself, so nothing hangs around
// while capture is stopped (the device list is kept for one second, so that a
// scan of the devices is one question); every wait for the server gives up
// after about two seconds. Device ids name the sources of the last scan (the
// names a menu shows): Open connects to the source the id named then, even
// when sources have come or gone since. Result codes:
//   no server reachable          -> MMSYSERR_NODRIVER (GetNumDevs returns 0)
//   device id beyond the list    -> MMSYSERR_BADDEVICEID
//   source gone since the scan   -> MMSYSERR_BADDEVICEID
//   stream refused otherwise     -> MMSYSERR_NOTENABLED
//   format other than u8/48k/1   -> WAVERR_BADFORMAT
// A connection lost during capture only stops the buffers from filling;
// Reset and Close still work. LastError tells why the last Open failed.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WaveIn.h"

class CPulseWaveIn final : public wavein::IWaveIn
{
public:
    static constexpr unsigned kRate = 48000;
    static constexpr int kTimeoutMs = 2000;

    CPulseWaveIn();
    ~CPulseWaveIn() override;
    CPulseWaveIn(const CPulseWaveIn&) = delete;
    CPulseWaveIn& operator=(const CPulseWaveIn&) = delete;

    // One capture source as the server lists it.
    struct Source
    {
        std::string strName;         // the server's name, used to connect
        std::string strDescription;  // UTF-8, as the server gives it
    };
    // The capture sources (monitors left out), in server order; the result
    // code of the attempt (MMSYSERR_NODRIVER when no server answers).
    static unsigned ListSources(std::vector<Source>& sources);
    // The same, with the reason of a failure ("cannot connect to the sound
    // server: ...").
    static unsigned ListSources(std::vector<Source>& sources, std::string& strError);

    unsigned GetNumDevs() override;
    unsigned GetDevCaps(unsigned deviceId, wavein::WaveInCaps* caps, unsigned capsSize) override;
    unsigned Open(wavein::HWAVEIN* handle, unsigned deviceId, const wavein::WaveFormat* format) override;
    unsigned PrepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned UnprepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned AddBuffer(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override;
    unsigned Start(wavein::HWAVEIN handle) override;
    unsigned Reset(wavein::HWAVEIN handle) override;
    unsigned Close(wavein::HWAVEIN handle) override;
    std::string LastError() const override;

    class CRecording;

private:
    CRecording* Find(wavein::HWAVEIN handle);
    // The device scan asks for the count before every device and then for
    // each device's name: one list serves the whole scan.
    unsigned ScanSources(std::vector<Source>& sources);
    // The server name of device id as the last scan listed it (a scan is made
    // when there was none); "" for the wave mapper.
    unsigned SourceNameOf(unsigned deviceId, std::string& strName);

    mutable std::mutex m_mutex;  // guards the members below; each recording has its own lock
    std::map<CRecording*, std::unique_ptr<CRecording>> m_open;
    std::string m_strError;
    std::vector<Source> m_scanned;
    unsigned m_nScanResult = 0;
    std::string m_strScanError;
    std::chrono::steady_clock::time_point m_scanTime{};
};
