#include "messages/DecoderChain.h"

#include <algorithm>
#include <vector>

struct CDecoderChain::Owned
{
    explicit Owned(int64_t start) : clock(start), store(table, clock) {}
    CSatelliteTable table;
    CManualClock clock;
    CMessageStore store;
    CDemodulator demod;
};

CDecoderChain::CDecoderChain(const DecodeOptions& options)
    : m_pOwned(std::make_unique<Owned>(options.nStart)),
      m_nStart(options.nStart),
      m_table(m_pOwned->table),
      m_pClock(&m_pOwned->clock),
      m_store(m_pOwned->store),
      m_demod(m_pOwned->demod)
{
    m_store.m_bRequireCrc = options.bRequireCrc ? 1 : 0;
    m_store.m_bExpandMsgs = options.bExpand ? 1 : 0;
    m_store.m_bWriteLogFiles = false;  // the day's log is one of the outputs
    m_store.m_onRecord = [this](const MessageRecord& record) {
        for (IMessageOutput* output : m_outputs)
            output->Write(record);
    };
    m_demod.SetSink(&m_store);
    SetWeakSignals(options.bWeakSignals);
}

CDecoderChain::CDecoderChain(CDemodulator& demod, CMessageStore& store, CSatelliteTable& table)
    : m_table(table), m_pClock(nullptr), m_store(store), m_demod(demod)
{
}

CDecoderChain::~CDecoderChain() = default;

void CDecoderChain::SetWeakSignals(bool bOn)
{
    if (bOn == WeakSignals())
        return;
    if (bOn) {
        m_pWeak = std::make_unique<CWeakReceiver>();
        m_nWeakBase = static_cast<int64_t>(m_nSamples);
        m_demod.SetSink(&m_tap);
    } else {
        m_pWeak.reset();
        m_held.clear();
        m_seen.clear();
        m_demod.SetSink(&m_store);
    }
}

void CDecoderChain::CTap::OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict)
{
    CDecoderChain& c = m_chain;
    // The demodulator has stored the sample that ended the flag run: its
    // write index tells how far into the running call it is (1 .. 48,000).
    int done = c.m_demod.m_nSampleIndex - c.m_nCallIndex;
    if (done <= 0)
        done += CDemodulator::kRingLength;
    if (verdict.bMatched)
        c.m_seen.push_back(
            {std::vector<uint8_t>(bytes, bytes + n), static_cast<int64_t>(c.m_nCallBase) + done - 1});
    c.m_store.OnFrame(bytes, n, verdict);
}

void CDecoderChain::RunDemodulator(const uint8_t* samples, size_t n)
{
    m_nCallBase = m_nSamples;
    m_nCallIndex = m_demod.m_nSampleIndex;
    m_demod.ProcessSamples(samples, n);
    m_nSamples += n;
}

void CDecoderChain::ReleaseHeld(bool bAll)
{
    // Frames out more than two seconds ago cannot match a held one.
    while (!m_seen.empty() && m_seen.front().nPoint + 2 * kRate < static_cast<int64_t>(m_nSamples))
        m_seen.pop_front();
    while (!m_held.empty() &&
           (bAll || m_held.front().nPoint + kHoldMargin <= static_cast<int64_t>(m_nSamples))) {
        Held h = std::move(m_held.front());
        m_held.pop_front();
        bool duplicate = false;
        for (const Seen& s : m_seen)
            if (s.bytes == h.frame.bytes && s.nPoint >= h.nPoint - kRate / 2 &&
                s.nPoint <= h.nPoint + kHoldMargin)
                duplicate = true;
        if (duplicate) {
            ++m_nWeakDropped;
            continue;
        }
        const FrameVerdict verdict =
            m_check.CheckFrame(h.frame.bytes.data(), static_cast<int>(h.frame.bytes.size()));
        if (!verdict.bMatched)
            continue;  // cannot happen: the receiver hands out checked frames only
        ++m_nWeakKept;
        m_seen.push_back({h.frame.bytes, h.nPoint});
        if (m_pClock != nullptr) {
            const int64_t now = m_pClock->Now();
            m_pClock->Set(m_nStart + std::max<int64_t>(h.nPoint, 0) / kRate);
            m_store.OnFrame(h.frame.bytes.data(), static_cast<int>(h.frame.bytes.size()), verdict);
            m_pClock->Set(now);
        } else {
            m_store.OnFrame(h.frame.bytes.data(), static_cast<int>(h.frame.bytes.size()), verdict);
        }
    }
}

void CDecoderChain::ProcessBlock(const uint8_t* samples, size_t n)
{
    // The clock is set once per second of samples: a line made while sample t
    // is processed is stamped start + floor(t / 48000).
    while (n > 0) {
        const uint64_t inSecond = m_nSamples % kRate;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, kRate - inSecond));
        if (m_pClock != nullptr)
            m_pClock->Set(m_nStart + static_cast<int64_t>(m_nSamples / kRate));
        if (!m_pWeak) {
            m_demod.ProcessSamples(samples, take);
            m_nSamples += take;
        } else {
            // The receiver first: it finds a frame as soon as the frame has
            // arrived, the demodulator a second later. Then the demodulator
            // in pieces that end where a held frame is due.
            m_pWeak->ProcessSamples(samples, take);
            for (WeakFrame& f : m_pWeak->TakeFrames()) {
                const int64_t point = m_nWeakBase + f.nFlagSample + kRate + kFindDelay;
                m_held.push_back({std::move(f), point});
            }
            const uint64_t end = m_nSamples + take;
            const uint8_t* p = samples;
            ReleaseHeld(false);
            while (m_nSamples < end) {
                uint64_t upto = end;
                if (!m_held.empty()) {
                    // Held frames still to come are due after this sample.
                    const int64_t due = m_held.front().nPoint + kHoldMargin;
                    upto = std::min<uint64_t>(upto, static_cast<uint64_t>(due));
                }
                const size_t piece = static_cast<size_t>(upto - m_nSamples);
                RunDemodulator(p, piece);
                p += piece;
                ReleaseHeld(false);
            }
        }
        samples += take;
        n -= take;
    }
}

bool CDecoderChain::Finish()
{
    const std::vector<uint8_t> quiet(kRate, 128);
    ProcessBlock(quiet.data(), quiet.size());
    if (m_pWeak) {
        if (m_pClock != nullptr)
            m_pClock->Set(m_nStart + static_cast<int64_t>(m_nSamples / kRate));
        ReleaseHeld(true);
    }
    bool ok = true;
    for (IMessageOutput* output : m_outputs)
        ok = output->Finish() && ok;
    return ok;
}
