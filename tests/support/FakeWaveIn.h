#pragma once
// A scriptable wave-in device for tests. It behaves like a well-mannered sound
// card, through the devices' own buffer queue (prepare sets the prepared flag,
// add queues, reset hands every queued buffer back done, an unprepared header
// cannot be added) but fills nothing by
// itself: a test fills header i with FillBuffer and then runs the poll. Every
// call is recorded, and each operation's result can be scripted, either once
// per call in order (QueueResult) or for every call (SetResult).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/WaveIn.h"
#include "platform/WaveInQueue.h"

class FakeWaveIn : public wavein::IWaveIn
{
public:
    enum class Op
    {
        GetNumDevs,
        GetDevCaps,
        Open,
        PrepareHeader,
        UnprepareHeader,
        AddBuffer,
        Start,
        Reset,
        Close
    };

    struct Call
    {
        Op op;
        unsigned deviceId = 0;           // GetDevCaps, Open
        wavein::WaveHdr* hdr = nullptr;  // header calls
        int headerIndex = -1;            // order of the header's first appearance
        unsigned result = 0;
    };

    explicit FakeWaveIn(std::vector<std::string> deviceNames = {}) : m_deviceNames(std::move(deviceNames)) {}

    // --- Scripting -------------------------------------------------------
    std::vector<std::string> m_deviceNames;

    // The next call of op returns code (queued codes are used up first, in order).
    void QueueResult(Op op, unsigned code) { m_queued[op].push_back(code); }
    // Every later call of op returns code (after the queued ones).
    void SetResult(Op op, unsigned code) { m_fixed[op] = code; }

    // Header number i (in the order headers were first seen) receives the
    // bytes, its recorded count is set and it is marked done, as the device's
    // thread would do. Returns false if there is no such header.
    bool FillBuffer(int i, const uint8_t* bytes, uint32_t n)
    {
        if (i < 0 || i >= static_cast<int>(m_headers.size()))
            return false;
        m_queue.Complete(m_headers[static_cast<size_t>(i)], bytes, n);
        return true;
    }
    // Fills header i entirely with one value.
    bool FillBufferWith(int i, uint8_t value)
    {
        if (i < 0 || i >= static_cast<int>(m_headers.size()))
            return false;
        std::vector<uint8_t> bytes(m_headers[static_cast<size_t>(i)]->dwBufferLength, value);
        return FillBuffer(i, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    // --- Inspection --------------------------------------------------------
    std::vector<Call> m_calls;
    // Every header seen since the device was opened, in order (forgotten at Close).
    std::vector<wavein::WaveHdr*> m_headers;
    wavein::WaveFormat m_lastFormat;
    bool m_bOpen = false;
    bool m_bStarted = false;

    int Count(Op op) const
    {
        return static_cast<int>(
            std::count_if(m_calls.begin(), m_calls.end(), [op](const Call& c) { return c.op == op; }));
    }
    std::vector<Op> Ops() const
    {
        std::vector<Op> ops;
        for (const Call& c : m_calls)
            ops.push_back(c.op);
        return ops;
    }
    // Header indices of the calls of op, in order.
    std::vector<int> HeaderIndices(Op op) const
    {
        std::vector<int> v;
        for (const Call& c : m_calls)
            if (c.op == op)
                v.push_back(c.headerIndex);
        return v;
    }
    // Headers currently queued at the device.
    int QueuedCount() const
    {
        int n = 0;
        for (wavein::WaveHdr* h : m_headers)
            if (h->dwFlags.load() & wavein::WHDR_INQUEUE)
                ++n;
        return n;
    }

    // --- IWaveIn -------------------------------------------------------------
    unsigned GetNumDevs() override
    {
        Record(Op::GetNumDevs, 0, nullptr, 0);
        return static_cast<unsigned>(m_deviceNames.size());
    }

    unsigned GetDevCaps(unsigned deviceId, wavein::WaveInCaps* caps, unsigned capsSize) override
    {
        unsigned r = Next(Op::GetDevCaps);
        if (r == 0 && deviceId >= m_deviceNames.size())
            r = wavein::MMSYSERR_BADDEVICEID;
        if (r == 0 && (caps == nullptr || capsSize < wavein::kWaveInCapsSize))
            r = wavein::MMSYSERR_INVALPARAM;
        if (r == 0) {
            *caps = wavein::WaveInCaps{};
            const std::string& name = m_deviceNames[deviceId];
            std::memcpy(caps->szPname, name.data(), std::min<size_t>(name.size(), wavein::kMaxPnameLen - 1));
            caps->wChannels = 2;
        }
        Record(Op::GetDevCaps, deviceId, nullptr, r);
        return r;
    }

    unsigned Open(wavein::HWAVEIN* handle, unsigned deviceId, const wavein::WaveFormat* format) override
    {
        unsigned r = Next(Op::Open);
        if (format)
            m_lastFormat = *format;
        if (r == 0 && deviceId != wavein::WAVE_MAPPER && deviceId >= m_deviceNames.size())
            r = wavein::MMSYSERR_BADDEVICEID;
        if (r == 0 && m_bOpen)
            r = wavein::MMSYSERR_ALLOCATED;
        if (r == 0) {
            m_bOpen = true;
            m_bStarted = false;
            *handle = Handle();
        }
        Record(Op::Open, deviceId, nullptr, r);
        return r;
    }

    unsigned PrepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override
    {
        unsigned r = Next(Op::PrepareHeader);
        if (r == 0)
            r = CheckHandle(handle);
        if (r == 0)
            r = m_queue.Prepare(hdr, hdrSize);
        Record(Op::PrepareHeader, 0, hdr, r);
        return r;
    }

    unsigned UnprepareHeader(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override
    {
        unsigned r = Next(Op::UnprepareHeader);
        if (r == 0)
            r = CheckHandle(handle);
        if (r == 0)
            r = m_queue.Unprepare(hdr, hdrSize);
        Record(Op::UnprepareHeader, 0, hdr, r);
        return r;
    }

    unsigned AddBuffer(wavein::HWAVEIN handle, wavein::WaveHdr* hdr, unsigned hdrSize) override
    {
        unsigned r = Next(Op::AddBuffer);
        if (r == 0)
            r = CheckHandle(handle);
        if (r == 0)
            r = m_queue.Add(hdr, hdrSize);
        Record(Op::AddBuffer, 0, hdr, r);
        return r;
    }

    unsigned Start(wavein::HWAVEIN handle) override
    {
        unsigned r = Next(Op::Start);
        if (r == 0 && (!m_bOpen || handle != Handle()))
            r = wavein::MMSYSERR_INVALHANDLE;
        if (r == 0)
            m_bStarted = true;
        Record(Op::Start, 0, nullptr, r);
        return r;
    }

    unsigned Reset(wavein::HWAVEIN handle) override
    {
        unsigned r = Next(Op::Reset);
        if (r == 0 && (!m_bOpen || handle != Handle()))
            r = wavein::MMSYSERR_INVALHANDLE;
        if (r == 0) {
            m_bStarted = false;
            m_queue.ReturnAll();
        }
        Record(Op::Reset, 0, nullptr, r);
        return r;
    }

    unsigned Close(wavein::HWAVEIN handle) override
    {
        unsigned r = Next(Op::Close);
        if (r == 0 && (!m_bOpen || handle != Handle()))
            r = wavein::MMSYSERR_INVALHANDLE;
        if (r == 0 && QueuedCount() > 0)
            r = wavein::WAVERR_STILLPLAYING;
        Record(Op::Close, 0, nullptr, r);
        if (r == 0) {
            // The headers belong to the caller again and may be freed.
            m_bOpen = false;
            m_bStarted = false;
            m_headers.clear();
        }
        return r;
    }

private:
    wavein::HWAVEIN Handle() { return reinterpret_cast<wavein::HWAVEIN>(this); }

    unsigned CheckHandle(wavein::HWAVEIN handle)
    {
        return !m_bOpen || handle != Handle() ? wavein::MMSYSERR_INVALHANDLE : 0u;
    }

    unsigned Next(Op op)
    {
        std::deque<unsigned>& q = m_queued[op];
        if (!q.empty()) {
            unsigned r = q.front();
            q.pop_front();
            return r;
        }
        auto it = m_fixed.find(op);
        return it == m_fixed.end() ? 0u : it->second;
    }

    void Record(Op op, unsigned deviceId, wavein::WaveHdr* hdr, unsigned result)
    {
        Call c;
        c.op = op;
        c.deviceId = deviceId;
        c.hdr = hdr;
        c.result = result;
        if (hdr) {
            auto it = std::find(m_headers.begin(), m_headers.end(), hdr);
            if (it == m_headers.end()) {
                m_headers.push_back(hdr);
                it = m_headers.end() - 1;
            }
            c.headerIndex = static_cast<int>(it - m_headers.begin());
        }
        m_calls.push_back(c);
    }

    std::map<Op, std::deque<unsigned>> m_queued;
    std::map<Op, unsigned> m_fixed;
    wavein::CWaveInQueue m_queue;
};
