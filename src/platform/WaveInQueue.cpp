#include "platform/WaveInQueue.h"

#include <algorithm>
#include <cstring>

namespace wavein {

bool IsCaptureFormat(const WaveFormat* f)
{
    const WaveFormat want = CaptureFormat();
    return f != nullptr && f->wFormatTag == want.wFormatTag && f->nChannels == want.nChannels &&
           f->nSamplesPerSec == want.nSamplesPerSec && f->wBitsPerSample == want.wBitsPerSample &&
           f->nBlockAlign == want.nBlockAlign;
}

bool IsUsableHeader(const WaveHdr* hdr, unsigned hdrSize)
{
    return hdr != nullptr && hdrSize == kWaveHdrSize && hdr->lpData != nullptr && hdr->dwBufferLength > 0;
}

void MarkDone(WaveHdr* hdr, uint32_t nBytes)
{
    hdr->dwBytesRecorded.store(nBytes, std::memory_order_relaxed);
    const uint32_t flags = hdr->dwFlags.load(std::memory_order_relaxed);
    hdr->dwFlags.store((flags | WHDR_DONE) & ~WHDR_INQUEUE, std::memory_order_release);
}

unsigned CWaveInQueue::Prepare(WaveHdr* hdr, unsigned hdrSize)
{
    if (!IsUsableHeader(hdr, hdrSize))
        return MMSYSERR_INVALPARAM;
    hdr->dwFlags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

unsigned CWaveInQueue::Unprepare(WaveHdr* hdr, unsigned hdrSize)
{
    if (!IsUsableHeader(hdr, hdrSize))
        return MMSYSERR_INVALPARAM;
    if (hdr->dwFlags.load() & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    hdr->dwFlags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

unsigned CWaveInQueue::Add(WaveHdr* hdr, unsigned hdrSize)
{
    if (!IsUsableHeader(hdr, hdrSize))
        return MMSYSERR_INVALPARAM;
    const uint32_t flags = hdr->dwFlags.load();
    if (!(flags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    hdr->dwBytesRecorded.store(0);
    hdr->dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
    m_queue.push_back(hdr);
    return MMSYSERR_NOERROR;
}

size_t CWaveInQueue::Deliver(const uint8_t* data, size_t n)
{
    size_t placed = 0;
    while (n > 0 && !m_queue.empty()) {
        WaveHdr* hdr = m_queue.front();
        const size_t take = std::min<size_t>(n, hdr->dwBufferLength - m_nFrontFill);
        uint8_t* dst = reinterpret_cast<uint8_t*>(hdr->lpData) + m_nFrontFill;
        if (data != nullptr) {
            std::memcpy(dst, data, take);
            data += take;
        } else {
            std::memset(dst, kSilence, take);
        }
        m_nFrontFill += static_cast<uint32_t>(take);
        n -= take;
        placed += take;
        if (m_nFrontFill >= hdr->dwBufferLength)
            FinishFront();
    }
    return placed;
}

void CWaveInQueue::Complete(WaveHdr* hdr, const uint8_t* data, uint32_t n)
{
    const auto it = std::find(m_queue.begin(), m_queue.end(), hdr);
    if (it != m_queue.end()) {
        if (it == m_queue.begin())
            m_nFrontFill = 0;
        m_queue.erase(it);
    }
    n = std::min(n, hdr->dwBufferLength);
    if (data == nullptr)
        n = 0;
    else if (n > 0)
        std::memcpy(hdr->lpData, data, n);
    MarkDone(hdr, n);
}

void CWaveInQueue::ReturnAll()
{
    while (!m_queue.empty())
        FinishFront();
}

uint32_t CWaveInQueue::FrontRoom() const
{
    return m_queue.empty() ? 0 : m_queue.front()->dwBufferLength - m_nFrontFill;
}

void CWaveInQueue::FinishFront()
{
    WaveHdr* hdr = m_queue.front();
    m_queue.pop_front();
    MarkDone(hdr, m_nFrontFill);
    m_nFrontFill = 0;
}

}  // namespace wavein
