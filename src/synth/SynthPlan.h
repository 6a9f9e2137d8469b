#pragma once
// What halvex3-synth puts into a recording, and the lines the decoder will
// make from it. Kept apart from the command line so the placement rule (where
// each frame goes, and so which second its line is stamped with) is in one place.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "synth/Modulator.h"
#include "synth/SignalGenerator.h"

constexpr int kSampleRate = 48000;
// The opening flag of every frame sits this far into a second. The decoder
// makes the frame's line within a few dozen samples of 48,000 after the
// flag, so the line's second is then certain even with noise or a clock error.
constexpr int kFlagOffset = 12000;

struct PlannedFrame
{
    std::vector<uint8_t> byFrame;  // with its check value (a wrong one for "badcrc")
    std::string strKind;
    uint64_t nFlagSample = 0;  // first sample of the opening flag
};

struct SynthPlan
{
    std::vector<PlannedFrame> frames;
    uint64_t nTotalSamples = 0;
};

struct PlanOptions
{
    // demo (= bulletins, datetime, status, short, long), badcrc, hex:DIGITS
    std::vector<std::string> kinds;
    int nCount = 1;            // the set is sent this many times
    int nSpacingSeconds = 2;   // from one opening flag to the next
    int nLeadInSeconds = 1;    // silence before the first frame
    int nDurationSeconds = 0;  // at least this long in all (0: just what the frames need)
    int64_t nStart = 0;        // UTC of the first sample
};

// Checks a frame kind name; false for an unknown one (hex: needs digits).
bool IsFrameKind(const std::string& kind);

SynthPlan MakePlan(const PlanOptions& options);

// Whether the decoder can take the frame at all: 5 to 46 bytes, and the
// stuffed frame with its closing flag inside one 384-cell row.
bool DecoderCanTake(const std::vector<uint8_t>& frame);

// The exact lines (code page 1252, each without its line break) that
// halvex3-decode --start prints for a recording made from the plan, with the
// two decoder options as given. Frames the decoder cannot take give nothing.
// A frame whose check value fails gives its line once here; the decoder does
// not skip such a frame and may find it again at another sampling phase, so
// with Require CRC off the real output can hold that line more than once.
std::vector<std::string> ExpectedLines(const SynthPlan& plan, int64_t nStart, bool bRequireCrc, bool bExpand);

// Sends the plan through the signal generator and hands the recording to
// write in consecutive pieces (never more than about a second of silence or
// one frame at a time). Stops and returns false as soon as write does.
bool RenderPlan(const SynthPlan& plan, ISignalGenerator& generator,
                const std::function<bool(const std::vector<uint8_t>&)>& write);
// The same with the classic rectangular pulse (CModulator).
bool RenderPlan(const SynthPlan& plan, const ModulatorOptions& options,
                const std::function<bool(const std::vector<uint8_t>&)>& write);
