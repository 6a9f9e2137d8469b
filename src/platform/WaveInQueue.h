#pragma once
// The part every wave-in device shares: which format and which headers it
// takes, and the queue of buffers it fills in the order they were added.
//
//   Add -> [ front (partly filled) | next | next ... ] -> done, in order
//
// A buffer is handed back by writing its bytes and count first and setting
// the done flag last (release), so a reader that sees WHDR_DONE (acquire)
// sees the data. The queue takes no lock: each device calls it under its own.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/WaveIn.h"

namespace wavein {

// PCM, mono, 48,000 samples a second, 8 bits: the only format a device opens.
bool IsCaptureFormat(const WaveFormat* format);
// A header a device can work with: present, of the agreed size, with a buffer.
bool IsUsableHeader(const WaveHdr* hdr, unsigned hdrSize);
// Hands hdr back to its owner holding nBytes: the count, then the done flag.
void MarkDone(WaveHdr* hdr, uint32_t nBytes);

class CWaveInQueue
{
public:
    // The header calls of a device, after it has checked its handle.
    unsigned Prepare(WaveHdr* hdr, unsigned hdrSize);
    unsigned Unprepare(WaveHdr* hdr, unsigned hdrSize);
    unsigned Add(WaveHdr* hdr, unsigned hdrSize);

    // Writes n bytes into the queued buffers in order (data null: the zero
    // line, a hole in the stream kept in its place in time), handing each
    // back as it fills. Returns how many bytes found a buffer; the rest are
    // lost, as on a sound card.
    size_t Deliver(const uint8_t* data, size_t n);
    // Hands back hdr, wherever it is queued (or not queued at all), with n
    // bytes of data: a device that fills buffers out of order (a test's).
    void Complete(WaveHdr* hdr, const uint8_t* data, uint32_t n);
    // Hands back every queued buffer: the front with what it holds, the rest
    // empty.
    void ReturnAll();

    bool Empty() const { return m_queue.empty(); }
    // Bytes the front buffer can still take (0 with nothing queued).
    uint32_t FrontRoom() const;

private:
    void FinishFront();

    std::deque<WaveHdr*> m_queue;  // in the order added
    uint32_t m_nFrontFill = 0;     // bytes already in m_queue.front()
};

}  // namespace wavein
