#pragma once
// Sound-card capture: the open wave-in device, its four one-second buffers
// and their headers, and the poll that takes each filled buffer in turn.
//
//   device --fills--> header 0 | header 1 | header 2 | header 3   (queued, one second each)
//   poll (every 300 ms): header[poll index] done? -> copy to m_byProcessing,
//                        queue it again, next index
//
// The document holds one and forwards Process > Start, Stop and the poll
// timer to it; the document keeps the running state, the timers and the
// decoder. The device fills buffers on its own thread; this side only reads
// done flags on the user-interface thread, so nothing here takes a lock.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/WaveIn.h"

class IDocUi;

class CCapture
{
public:
    static constexpr int kCaptureBuffers = 4;
    static constexpr int kBufferBytes = 48000;

    // pWaveIn may be null (no wave-in service: every open fails with "no
    // device driver present"); ui shows the device errors.
    CCapture(wavein::IWaveIn* pWaveIn, IDocUi& ui);
    // The device fills the buffers on its own thread: it lets go of them
    // before they go away.
    ~CCapture();
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;

    // Opens nDevice (WAVE_MAPPER for the default), queues the four buffers
    // and starts recording; each failed step is shown as the program's message
    // box text. True when recording; otherwise nothing is left open.
    bool Start(unsigned nDevice);
    // Takes the buffer at the poll index when it is done: copies it into
    // m_byProcessing (made up with the zero line when short), queues it again
    // and moves on. True when m_byProcessing holds a new second.
    bool TakeFilledBuffer();
    // Stops recording, takes the buffers back and closes the device.
    void Release();
    // True while a device is open (recording or not yet released).
    bool IsOpen() const { return m_hWaveIn != nullptr || m_pWaveHdr[0] != nullptr; }

    void ReportWaveError(const std::string& strStep, unsigned nCode);
    static std::string WaveErrorText(unsigned nCode);

    // --- Storage ----------------------------------------------------------
    uint8_t m_byCapture[kCaptureBuffers][kBufferBytes] = {};
    uint8_t m_byProcessing[kBufferBytes] = {};
    wavein::HWAVEIN m_hWaveIn = nullptr;
    std::unique_ptr<wavein::WaveHdr> m_pWaveHdr[kCaptureBuffers];  // empty first entry: absent
    int m_nPollIndex = 0;

private:
    wavein::IWaveIn* m_pWaveIn;
    IDocUi& m_ui;
};
