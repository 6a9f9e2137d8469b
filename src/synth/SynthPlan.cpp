#include "synth/SynthPlan.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "decoder/FrameCheck.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

namespace {

struct DemoSatellite
{
    int nCode;
    double dInc, dPerMin, dA, dARate, dEql;
};

// Elements of the order the six satellites broadcast; the crossing times are
// set shortly before the recording's start so the chart shows them in orbit.
const DemoSatellite kDemoSatellites[] = {
    {5, 98.7213, 101.112, 7183.214, -1.2, 312.455},  {6, 99.0318, 102.061, 7226.402, -0.7, 128.870},
    {7, 98.6125, 101.174, 7186.037, -2.4, 47.316},   {8, 98.7234, 102.123, 7229.123, -12.3, 123.456},
    {10, 98.7021, 101.364, 7195.640, -3.1, 250.004}, {12, 98.7301, 102.142, 7229.918, -0.9, 201.733},
};

BulletinFields DemoBulletin(const DemoSatellite& sat, int64_t crossing)
{
    BulletinFields f;
    const time_t t = static_cast<time_t>(crossing);
    struct tm utc = {};
    gmtime_r(&t, &utc);
    f.nCode = sat.nCode;
    f.nYear = utc.tm_year + 1900;
    f.nDay = utc.tm_yday + 1;
    f.nHour = utc.tm_hour;
    f.nMinute = utc.tm_min;
    f.nSecond = utc.tm_sec;
    f.dEql = sat.dEql;
    // The earth turns under the orbit by one period's worth of longitude.
    f.dDl = std::clamp(std::round(-360.0 * sat.dPerMin / 1436.07 * 1000.0) / 1000.0, -26.0, -24.977);
    f.dPerMin = sat.dPerMin;
    f.dA = sat.dA;
    f.dARate = sat.dARate;
    f.dInc = sat.dInc;
    return f;
}

std::vector<uint8_t> DateTimeFrame(int64_t instant, int millis)
{
    const time_t t = static_cast<time_t>(instant);
    struct tm utc = {};
    gmtime_r(&t, &utc);
    return BuildDateTimeStamp(utc.tm_year + 1900, utc.tm_yday + 1, utc.tm_hour, utc.tm_min, utc.tm_sec,
                              millis);
}

// 44 bytes of text and its check value: the longest frame, chosen with at
// most one stuffing bit so it still fits the decoder's row.
const char kLongText[] = "Halvex test frame: 46 bytes, 400 bit/s, CRC.";

// A frame with the wrong check value: shown only while Require CRC is off.
// Its bits hold no run of six 0s, so no reversed flag hides in it for the
// search, which does not skip a failed frame.
const char kBadCrcHex[] = "0123456789ABCD1234";

std::vector<std::string> Expand(const std::vector<std::string>& kinds)
{
    std::vector<std::string> out;
    for (const std::string& kind : kinds) {
        if (kind == "demo") {
            for (const char* k : {"bulletins", "datetime", "status", "short", "long"}) {
                out.push_back(k);
            }
        } else {
            out.push_back(kind);
        }
    }
    return out;
}

bool IsHexDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

}  // namespace

bool IsFrameKind(const std::string& kind)
{
    for (const char* k : {"demo", "bulletins", "datetime", "status", "short", "long", "badcrc"}) {
        if (kind == k) {
            return true;
        }
    }
    return kind.starts_with("hex:") && IsHexDigits(kind.substr(4));
}

SynthPlan MakePlan(const PlanOptions& options)
{
    SynthPlan plan;
    const std::vector<std::string> kinds = Expand(options.kinds);
    auto place = [&](std::vector<uint8_t> frame, const std::string& kind) {
        PlannedFrame p;
        p.byFrame = std::move(frame);
        p.strKind = kind;
        p.nFlagSample = (static_cast<uint64_t>(options.nLeadInSeconds) +
                         static_cast<uint64_t>(options.nSpacingSeconds) * plan.frames.size()) *
                            kSampleRate +
                        kFlagOffset;
        plan.frames.push_back(std::move(p));
    };
    auto sentAt = [&]() {
        return options.nStart + options.nLeadInSeconds +
               static_cast<int64_t>(options.nSpacingSeconds) * static_cast<int64_t>(plan.frames.size());
    };
    for (int round = 0; round < options.nCount; ++round) {
        for (const std::string& kind : kinds) {
            if (kind == "bulletins") {
                int i = 0;
                for (const DemoSatellite& sat : kDemoSatellites) {
                    place(BuildOrbitBulletin(DemoBulletin(sat, options.nStart - 900 - 1111 * i++)), kind);
                }
            } else if (kind == "datetime") {
                // The stamp tells the time of its own sending.
                place(DateTimeFrame(sentAt(), kFlagOffset * 1000 / kSampleRate), kind);
            } else if (kind == "status") {
                place(BuildStatusSummary(
                          {{5, 1, 12}, {6, 0, 0}, {7, 1, 13}, {8, 1, 12}, {10, 1, 14}, {12, 0, 1}}),
                      kind);
                place(BuildStatusSummary({}), kind);
            } else if (kind == "short") {
                place(BuildFrameFromHex("012345"), kind);
            } else if (kind == "long") {
                std::string hex;
                for (const char* c = kLongText; *c; ++c) {
                    hex += "0123456789ABCDEF"[(*c >> 4) & 15];
                    hex += "0123456789ABCDEF"[*c & 15];
                }
                place(BuildFrameFromHex(hex), kind);
            } else if (kind == "badcrc") {
                std::vector<uint8_t> frame = BuildFrameFromHex(std::string(kBadCrcHex, 14));
                frame[frame.size() - 2] = 0x12;
                frame[frame.size() - 1] = 0x34;
                place(frame, kind);
            } else if (kind.starts_with("hex:")) {
                place(BuildFrameFromHex(kind.substr(4)), kind);
            }
        }
    }
    // Each frame's slot runs to the next flag; the last one also gets the
    // second the decoder needs to see its end.
    const uint64_t slots = static_cast<uint64_t>(options.nLeadInSeconds) +
                           static_cast<uint64_t>(options.nSpacingSeconds) * plan.frames.size();
    plan.nTotalSamples = std::max<uint64_t>(slots * kSampleRate,
                                            static_cast<uint64_t>(options.nDurationSeconds) * kSampleRate);
    return plan;
}

bool DecoderCanTake(const std::vector<uint8_t>& frame)
{
    if (frame.size() < 5 || frame.size() > 46) {
        return false;
    }
    // Opening flag (8 cells), the stuffed frame, then the closing flag's 0
    // and six 1s, all within 384 cells.
    return 8 + StuffFrameBits(frame).size() + 7 <= 384;
}

std::vector<std::string> ExpectedLines(const SynthPlan& plan, int64_t nStart, bool bRequireCrc, bool bExpand)
{
    CManualClock clock(nStart);
    CSatelliteTable table;
    CMessageStore store(table, clock);
    store.m_bWriteLogFiles = false;
    store.m_bRequireCrc = bRequireCrc ? 1 : 0;
    store.m_bExpandMsgs = bExpand ? 1 : 0;
    std::vector<std::string> lines;
    store.m_onLogLine = [&lines](const std::string& line, bool) { lines.push_back(line); };
    CFrameCheck check;
    for (const PlannedFrame& p : plan.frames) {
        if (!DecoderCanTake(p.byFrame)) {
            continue;
        }
        // The line is made when a run of flag matches ends, within a few dozen
        // samples of the flag's first sample reaching the oldest end of the
        // one-second window; the flag's offset into its second keeps that
        // well inside one second.
        const uint64_t madeAt = p.nFlagSample + kSampleRate;
        clock.Set(nStart + static_cast<int64_t>(madeAt / kSampleRate));
        const int n = static_cast<int>(p.byFrame.size());
        store.OnFrame(p.byFrame.data(), n, check.CheckFrame(p.byFrame.data(), n));
    }
    return lines;
}

bool RenderPlan(const SynthPlan& plan, const ModulatorOptions& options,
                const std::function<bool(const std::vector<uint8_t>&)>& write)
{
    CModulator modulator(options);
    return RenderPlan(plan, modulator, write);
}

bool RenderPlan(const SynthPlan& plan, ISignalGenerator& modulator,
                const std::function<bool(const std::vector<uint8_t>&)>& write)
{
    uint64_t written = 0;  // samples already handed on
    auto flush = [&]() {
        const std::vector<uint8_t> samples = modulator.TakeSamples();
        written += samples.size();
        return samples.empty() || write(samples);
    };
    auto silenceTo = [&](uint64_t target) {
        while (written + modulator.SampleCount() < target) {
            const uint64_t gap = target - written - modulator.SampleCount();
            modulator.AppendSilence(static_cast<int>(std::min<uint64_t>(gap, kSampleRate)));
            if (!flush()) {
                return false;
            }
        }
        return true;
    };
    for (const PlannedFrame& p : plan.frames) {
        if (!silenceTo(p.nFlagSample)) {
            return false;
        }
        modulator.AppendFrame(p.byFrame);
        if (!flush()) {
            return false;
        }
    }
    return silenceTo(plan.nTotalSamples);
}
