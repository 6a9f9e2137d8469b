#include "messages/DecoderChain.h"

#include <algorithm>
#include <vector>

CDecoderChain::CDecoderChain(const DecodeOptions& options)
    : m_nStart(options.nStart), m_clock(options.nStart), m_store(m_table, m_clock)
{
    m_store.m_bRequireCrc = options.bRequireCrc ? 1 : 0;
    m_store.m_bExpandMsgs = options.bExpand ? 1 : 0;
    m_store.m_bWriteLogFiles = false;  // the day's log is one of the outputs
    m_store.m_onRecord = [this](const MessageRecord& record) {
        for (IMessageOutput* output : m_outputs)
            output->Write(record);
    };
    m_demod.SetSink(&m_store);
}

void CDecoderChain::ProcessBlock(const uint8_t* samples, size_t n)
{
    // The clock is set once per second of samples: a line made while sample t
    // is processed is stamped start + floor(t / 48000).
    while (n > 0) {
        const uint64_t inSecond = m_nSamples % kRate;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, kRate - inSecond));
        m_clock.Set(m_nStart + static_cast<int64_t>(m_nSamples / kRate));
        m_demod.ProcessSamples(samples, take);
        m_nSamples += take;
        samples += take;
        n -= take;
    }
}

bool CDecoderChain::Finish()
{
    const std::vector<uint8_t> quiet(kRate, 128);
    ProcessBlock(quiet.data(), quiet.size());
    bool ok = true;
    for (IMessageOutput* output : m_outputs)
        ok = output->Finish() && ok;
    return ok;
}
