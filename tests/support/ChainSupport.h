#pragma once
// The decoder chain as the tests drive it: a plan or a recording in, the
// lines out in log order (message line, then its expansion line), as
// halvex3-decode --start --cp1252 prints them. Header only; the test binary
// links the messages and synth libraries.
#include <cstdint>
#include <string>
#include <vector>

#include "messages/DecoderChain.h"
#include "synth/SynthPlan.h"

class CLineCollector : public IMessageOutput
{
public:
    void Write(const MessageRecord& record) override
    {
        m_lines.push_back(record.strLine);
        if (!record.strExpansion.empty())
            m_lines.push_back(record.strExpansion);
    }
    std::vector<std::string> m_lines;
};

// The chain on whatever the generator makes of the plan, then Finish.
inline std::vector<std::string> ChainLines(const SynthPlan& plan, ISignalGenerator& generator,
                                           const DecodeOptions& options, CSatelliteTable* pTable = nullptr)
{
    CLineCollector lines;
    CDecoderChain chain(options);
    chain.AddOutput(lines);
    RenderPlan(plan, generator, [&chain](const std::vector<uint8_t>& s) {
        chain.ProcessBlock(s.data(), s.size());
        return true;
    });
    chain.Finish();
    if (pTable != nullptr)
        *pTable = chain.Table();
    return lines.m_lines;
}

inline std::vector<std::string> ChainLines(const std::vector<uint8_t>& samples, const DecodeOptions& options)
{
    CLineCollector lines;
    CDecoderChain chain(options);
    chain.AddOutput(lines);
    chain.ProcessBlock(samples.data(), samples.size());
    chain.Finish();
    return lines.m_lines;
}

// True when every line of part appears in whole, in the same order.
inline bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole)
{
    size_t next = 0;
    for (const std::string& line : whole)
        if (next < part.size() && line == part[next])
            ++next;
    return next == part.size();
}
