// halvex3-sensitivity: how much of a degraded signal the decoder still reads.
// Sends N frames through the test-signal generator under one impairment at a
// time (noise, bit clock error, DC offset), upright and inverted, decodes them
// with the production demodulator and prints the share of frames that came
// back exactly, as Markdown tables for the README.
//
// Straight from generator to demodulator (no files, no resampling): the table
// describes the decoder, not the sound card.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "decoder/Demodulator.h"
#include "synth/Modulator.h"

namespace {

const char kUsage[] =
    "Usage: halvex3-sensitivity [--frames N] [--seed N] [--level L]\n"
    "Prints the share of frames decoded against noise, bit clock error and DC\n"
    "offset, upright and inverted, as Markdown tables.\n"
    "\n"
    "  --frames N   frames sent per condition (default 100)\n"
    "  --seed N     seed of the noise and the frame contents (default 1)\n"
    "  --level L    peak amplitude in sample units (default 90)\n";

class CCollectingSink : public IFrameSink
{
public:
    void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict) override
    {
        if (verdict.bMatched)
            m_frames.emplace_back(bytes, bytes + n);
    }
    std::vector<std::vector<uint8_t>> m_frames;
};

uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Bulletin-sized frames (24 bytes with the check value) of random content.
std::vector<std::vector<uint8_t>> MakeFrames(int count, uint32_t seed)
{
    uint64_t state = seed;
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> body(22);
        for (uint8_t& b : body)
            b = static_cast<uint8_t>(NextRandom(state));
        frames.push_back(AppendCrc(body));
    }
    return frames;
}

// Sent frames that came back, each matched at most once and in order.
int CountDecoded(const std::vector<std::vector<uint8_t>>& sent,
                 const std::vector<std::vector<uint8_t>>& got)
{
    int found = 0;
    size_t next = 0;
    for (const auto& f : got) {
        for (size_t i = next; i < sent.size(); ++i) {
            if (sent[i] == f) {
                ++found;
                next = i + 1;
                break;
            }
        }
    }
    return found;
}

double DecodedShare(const std::vector<std::vector<uint8_t>>& frames, const ModulatorOptions& options)
{
    CModulator modulator(options);
    modulator.AppendSilence(2000);
    for (const auto& frame : frames) {
        modulator.AppendFlags(2);
        modulator.AppendFrame(frame);
        modulator.AppendFlags(1);
        modulator.AppendSilence(12000);
    }
    modulator.AppendSilence(CDemodulator::kRingLength + 1000);
    const std::vector<uint8_t> samples = modulator.TakeSamples();

    CCollectingSink sink;
    CDemodulator demodulator(&sink);
    for (uint8_t s : samples)
        demodulator.ProcessSample(s);
    return 100.0 * CountDecoded(frames, sink.m_frames) / static_cast<double>(frames.size());
}

void Table(const char* title, const char* column, const std::vector<double>& values,
           const std::function<void(ModulatorOptions&, double)>& apply,
           const std::vector<std::vector<uint8_t>>& frames, const ModulatorOptions& base)
{
    std::printf("%s\n\n| %s | upright | inverted |\n|---:|---:|---:|\n", title, column);
    for (double v : values) {
        double share[2];
        for (int inverted = 0; inverted < 2; ++inverted) {
            ModulatorOptions o = base;
            o.bInverted = inverted != 0;
            apply(o, v);
            share[inverted] = DecodedShare(frames, o);
        }
        std::printf("| %g | %.0f%% | %.0f%% |\n", v, share[0], share[1]);
        std::fflush(stdout);
    }
    std::printf("\n");
}

bool ParseNumber(const char* text, double lo, double hi, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= lo && v <= hi))
        return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    double frames = 100, seed = 1, level = 90;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        double* target = arg == "--frames" ? &frames
                         : arg == "--seed" ? &seed
                         : arg == "--level" ? &level
                                            : nullptr;
        const double hi = arg == "--frames" ? 100000 : arg == "--seed" ? 4294967295.0 : 127;
        if (!target || i + 1 >= argc || !ParseNumber(argv[++i], 1, hi, *target)) {
            std::fprintf(stderr, "halvex3-sensitivity: bad argument %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    const auto sent = MakeFrames(static_cast<int>(frames), static_cast<uint32_t>(seed));
    ModulatorOptions base;
    base.dLevel = level;
    base.nSeed = static_cast<uint32_t>(seed);

    std::printf("Frames of 24 bytes, %d per condition, peak level %g sample units "
                "(unsigned 8-bit, 128 = zero line).\n\n",
                static_cast<int>(frames), level);
    Table("White noise (standard deviation in sample units)", "noise SD",
          {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100},
          [](ModulatorOptions& o, double v) { o.dNoise = v; }, sent, base);
    Table("Bit clock error (parts per million; + is slow)", "ppm",
          {-1000, -500, -300, -250, -200, -150, -100, -50, 0, 50, 100, 150, 200, 250, 300, 500, 1000},
          [](ModulatorOptions& o, double v) { o.dClockPpm = v; }, sent, base);
    Table("DC offset (sample units)", "DC",
          {-220, -200, -160, -120, -80, -40, 0, 40, 80, 120, 160, 200, 220},
          [](ModulatorOptions& o, double v) { o.dDcOffset = v; }, sent, base);
    ModulatorOptions drifting = base;
    drifting.dClockPpm = 100;
    Table("White noise with a bit clock error of 100 ppm", "noise SD", {0, 10, 20, 30, 40, 50, 60, 70},
          [](ModulatorOptions& o, double v) { o.dNoise = v; }, sent, drifting);
    return 0;
}
