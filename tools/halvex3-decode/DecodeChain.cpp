#include "DecodeChain.h"

#include <algorithm>
#include <vector>

CDecodeChain::CDecodeChain(const DecodeOptions& options, std::function<void(const std::string&)> onLine)
    : m_nStart(options.nStart), m_clock(options.nStart), m_store(m_table, m_clock)
{
    m_store.m_bRequireCrc = options.bRequireCrc ? 1 : 0;
    m_store.m_bExpandMsgs = options.bExpand ? 1 : 0;
    m_store.m_bWriteLogFiles = !options.strLogDirectory.empty();
    if (m_store.m_bWriteLogFiles) {
        m_store.m_strLogDirectory = options.strLogDirectory;
        if (m_store.m_strLogDirectory.back() != '/')
            m_store.m_strLogDirectory += '/';
    }
    m_store.m_onLogLine = [this, onLine = std::move(onLine)](const std::string& line, bool written) {
        if (m_store.m_bWriteLogFiles && !written)
            ++m_nUnlogged;
        if (onLine)
            onLine(line);
    };
    m_demod.SetSink(&m_store);
}

void CDecodeChain::ProcessBlock(const uint8_t* samples, size_t n)
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

void CDecodeChain::Finish()
{
    const std::vector<uint8_t> quiet(kRate, 128);
    ProcessBlock(quiet.data(), quiet.size());
}
