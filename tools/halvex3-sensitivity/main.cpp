// halvex3-sensitivity: how much of a degraded signal the receivers still
// read. Sends frames of 24 bytes through the physical signal model (Gaussian
// pulses at every phase step of the bi-phase signal, as a receiver's
// discriminator puts them out) under one impairment at a time, upright and
// inverted, decodes them through the decoder chain with the main decoder
// alone and with the weak-signal receiver beside it, and prints the share of
// frames that came back exactly, as Markdown tables for the README, beside
// the most a matched filter that knows the timing could get.
//
// Straight from the generator to the chain (no files, no resampling): the
// tables describe the receivers, not the sound card.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "HalvexVersion.h"
#include "decoder/WeakReceiver.h"
#include "messages/DecoderChain.h"
#include "messages/MessageOutput.h"
#include "synth/IdealBound.h"
#include "synth/Modulator.h"
#include "synth/PhysicalModulator.h"

namespace {

// The most bits the weak-signal receiver repairs against the check value.
const int kRepairedBits = RepairLimits{}.nMaxFlips;

const char kUsage[] =
    "Usage: halvex3-sensitivity [--frames N] [--seed N] [--level L] [--threads N]\n"
    "Prints the share of 24-byte frames decoded on the physical signal model\n"
    "against noise, pulse width, bit clock error, fading, a receiver's audio chain\n"
    "and DC offset, upright and inverted, by the main decoder and with the\n"
    "weak-signal receiver, beside the ideal bound, as Markdown tables.\n"
    "\n"
    "  --frames N    frames sent per condition and polarity (default 40)\n"
    "  --seed N      seed of the noise and the frame contents (default 1)\n"
    "  --level L     pulse peak in sample units (default 30: noise at 0 dB\n"
    "                still fits the 8-bit range)\n"
    "  --threads N   conditions measured side by side (default 2)\n"
    "  --version     show the version\n";

using Frame = std::vector<uint8_t>;

class CCollectingOutput : public IMessageOutput
{
public:
    void Write(const MessageRecord& record) override
    {
        if (record.bCrcOk)
            m_frames.push_back(record.frame);
    }
    std::vector<Frame> m_frames;
};

uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Bulletin-sized frames (24 bytes with the check value) of random content.
std::vector<Frame> MakeFrames(int count, uint32_t seed)
{
    uint64_t state = seed;
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) {
        Frame body(22);
        for (uint8_t& b : body)
            b = static_cast<uint8_t>(NextRandom(state));
        frames.push_back(AppendCrc(body));
    }
    return frames;
}

// Sent frames that came back, each matched at most once and in order.
int CountDecoded(const std::vector<Frame>& sent, const std::vector<Frame>& got)
{
    int found = 0;
    size_t next = 0;
    for (const Frame& f : got) {
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

int Decode(const std::vector<uint8_t>& samples, const std::vector<Frame>& sent, bool weak)
{
    DecodeOptions options;
    options.bExpand = false;
    options.bWeakSignals = weak;
    CDecoderChain chain(options);
    CCollectingOutput output;
    chain.AddOutput(output);
    chain.ProcessBlock(samples.data(), samples.size());
    chain.Finish();
    return CountDecoded(sent, output.m_frames);
}

// Each frame between idle flags, then a quiet gap. With bound given, the
// ideal bounds for these frames (their bits, their amplitudes under fading),
// in percent: as decided, and with kRepairedBits repaired.
template <class Generator>
std::vector<uint8_t> Render(Generator& generator, const std::vector<Frame>& frames, double* bound,
                            const PhysicalOptions* physical)
{
    generator.AppendSilence(2000);
    double sum = 0.0, repaired = 0.0;
    for (const Frame& frame : frames) {
        generator.AppendFlags(2);
        const uint64_t start = generator.AppendFrame(frame);
        generator.AppendFlags(1);
        generator.AppendSilence(9000);
        if (bound != nullptr && physical != nullptr) {
            const int bits = FrameBitsToRead(frame);
            const double cell = CPhysicalModulator::kCellSamples * (1.0 + physical->dClockPpm * 1e-6);
            std::vector<double> amplitude(static_cast<size_t>(bits), 1.0);
            if constexpr (std::is_same_v<Generator, CPhysicalModulator>)
                for (int k = 0; k < bits; ++k)
                    amplitude[k] = generator.FadeAmplitude(static_cast<double>(start) + (k + 0.5) * cell);
            sum += IdealFrameSuccess(*physical, amplitude);
            repaired += IdealFrameSuccess(*physical, amplitude, kRepairedBits);
        }
    }
    generator.AppendSilence(1000);
    if (bound != nullptr) {
        bound[0] = 100.0 * sum / static_cast<double>(frames.size());
        bound[1] = 100.0 * repaired / static_cast<double>(frames.size());
    }
    return generator.TakeSamples();
}

struct Condition
{
    int nTable = 0;
    std::string strLabel;
    PhysicalOptions physical;
    bool bBound = true;     // the ideal bound applies (white noise at the decision)
    bool bClassic = false;  // also the classic pulse, main decoder
    // Results, in percent: main decoder and weak-signal, upright and inverted.
    double dMain[2] = {}, dWeak[2] = {}, dBound[2] = {-1, -1}, dClassic = -1;
};

void Measure(Condition& c, const std::vector<Frame>& frames)
{
    const double n = static_cast<double>(frames.size());
    for (int inverted = 0; inverted < 2; ++inverted) {
        PhysicalOptions o = c.physical;
        o.bInverted = inverted != 0;
        o.nSeed = c.physical.nSeed * 2 + static_cast<uint32_t>(inverted);
        CPhysicalModulator generator(o);
        const std::vector<uint8_t> samples =
            Render(generator, frames, inverted == 0 && c.bBound ? c.dBound : nullptr, &o);
        c.dMain[inverted] = 100.0 * Decode(samples, frames, false) / n;
        c.dWeak[inverted] = 100.0 * Decode(samples, frames, true) / n;
    }
    if (c.bClassic) {
        // The rectangular pulse of the same peak, in noise of the same RMS.
        double sum = 0.0;
        for (int inverted = 0; inverted < 2; ++inverted) {
            ModulatorOptions m;
            m.dLevel = c.physical.dLevel;
            m.dNoise = c.physical.NoiseRms();
            m.bInverted = inverted != 0;
            m.nSeed = c.physical.nSeed * 2 + static_cast<uint32_t>(inverted);
            CModulator generator(m);
            sum += Decode(Render(generator, frames, nullptr, nullptr), frames, false);
        }
        c.dClassic = 100.0 * sum / (2.0 * n);
    }
}

std::string Percent(double v)
{
    if (v < 0)
        return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.0f%%", v);
    return text;
}

// Where a falling curve (one value per row, rows from strong to weak)
// crosses 50 %, by linear interpolation between rows; NAN if it never does.
double HalfPoint(const std::vector<double>& x, const std::vector<double>& y)
{
    for (size_t i = 0; i + 1 < y.size(); ++i)
        if (y[i] >= 50.0 && y[i + 1] < 50.0)
            return x[i] + (x[i + 1] - x[i]) * (y[i] - 50.0) / (y[i] - y[i + 1]);
    return NAN;
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

struct TableInfo
{
    const char* szTitle;
    const char* szColumn;
};

}  // namespace

int main(int argc, char** argv)
{
    double frames = 40, seed = 1, level = 30, threads = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("halvex3-sensitivity %s\n", HALVEX_VERSION);
            return 0;
        }
        double* target = arg == "--frames"    ? &frames
                         : arg == "--seed"    ? &seed
                         : arg == "--level"   ? &level
                         : arg == "--threads" ? &threads
                                              : nullptr;
        const double hi = arg == "--frames"    ? 100000
                          : arg == "--seed"    ? 4294967295.0
                          : arg == "--threads" ? 64
                                               : 127;
        if (!target || i + 1 >= argc || !ParseNumber(argv[++i], 1, hi, *target)) {
            std::fprintf(stderr, "halvex3-sensitivity: bad argument %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    const std::vector<Frame> sent = MakeFrames(static_cast<int>(frames), static_cast<uint32_t>(seed));
    PhysicalOptions base;
    base.dLevel = level;
    base.nSeed = static_cast<uint32_t>(seed);

    const TableInfo tables[] = {
        {"White noise (pulse peak to noise RMS; pulse sigma 4 samples)", "dB"},
        {"Pulse width at 9 dB (Gaussian sigma, samples)", "sigma"},
        {"Bit clock error with little noise, 20 dB (parts per million; + is slow)", "ppm"},
        {"Bit clock error at 9 dB", "ppm"},
        {"Slow fading at 0.5 Hz, 12 dB (the signal dips to 1 - depth)", "depth"},
        {"A receiver's audio chain at 9 dB (4th-order low-pass 2.5 kHz, AC coupling 300 Hz, "
         "de-emphasis 75 us)",
         "filters"},
        {"DC offset at 12 dB (sample units)", "DC"},
    };
    std::vector<Condition> conditions;
    auto add = [&](int table, const std::string& label, const PhysicalOptions& o, bool bound = true,
                   bool classic = false) {
        Condition c;
        c.nTable = table;
        c.strLabel = label;
        c.physical = o;
        c.bBound = bound;
        c.bClassic = classic;
        conditions.push_back(c);
    };
    auto label = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return std::string(text);
    };
    // Down to -4 dB, so that the ideal bound's 50 % point is inside the table.
    for (int db = 12; db >= -4; --db) {
        PhysicalOptions o = base;
        o.dSnrDb = db;
        add(0, label(db), o, true, true);
    }
    for (int sigma = 2; sigma <= 14; ++sigma) {
        PhysicalOptions o = base;
        o.dSnrDb = 9;
        o.dSigma = sigma;
        add(1, label(sigma), o);
    }
    for (double ppm : {-1000, -750, -500, -250, -100, 0, 100, 250, 500, 750, 1000}) {
        PhysicalOptions o = base;
        o.dSnrDb = 20;
        o.dClockPpm = ppm;
        add(2, label(ppm), o);
    }
    for (double ppm : {-500, -250, -100, 0, 100, 250, 500}) {
        PhysicalOptions o = base;
        o.dSnrDb = 9;
        o.dClockPpm = ppm;
        add(3, label(ppm), o);
    }
    for (double depth : {0.0, 0.3, 0.5, 0.7, 0.9}) {
        PhysicalOptions o = base;
        o.dSnrDb = 12;
        o.dFadeDepth = depth;
        o.dFadeRate = 0.5;
        add(4, label(depth * 100) + "%", o);
    }
    {
        PhysicalOptions o = base;
        o.dSnrDb = 9;
        add(5, "none", o, false);
        PhysicalOptions low = o;
        low.dLowPassHz = PhysicalOptions::kReceiverLowPassHz;
        add(5, "low-pass", low, false);
        PhysicalOptions high = o;
        high.dHighPassHz = PhysicalOptions::kReceiverHighPassHz;
        add(5, "AC coupling", high, false);
        PhysicalOptions de = o;
        de.dDeEmphasisUs = PhysicalOptions::kReceiverDeEmphasisUs;
        add(5, "de-emphasis", de, false);
        PhysicalOptions all = o;
        all.SetReceiverAudioChain();
        add(5, "all three", all, false);
        all.dSnrDb = 6;
        add(5, "all three, 6 dB", all, false);
    }
    for (double dc : {-120, -100, -80, -40, 0, 40, 80, 100, 120}) {
        PhysicalOptions o = base;
        o.dSnrDb = 12;
        o.dDcOffset = dc;
        add(6, label(dc), o, false);
    }

    // Conditions are independent: measure them side by side.
    std::atomic<size_t> next{0};
    auto worker = [&]() {
        for (size_t i = next++; i < conditions.size(); i = next++)
            Measure(conditions[i], sent);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < static_cast<int>(threads); ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();

    std::printf(
        "Frames of 24 bytes, %d per condition and polarity, pulse peak %g sample units "
        "(unsigned 8-bit, 128 = zero line), pulse sigma 4 samples unless given.\n"
        "Columns: the main decoder and the weak-signal receiver (halvex3-decode "
        "--weak-signals), upright and inverted; the ideal bound (a matched filter that "
        "knows the timing, see src/synth/IdealBound.h), as decided and with the most "
        "bits the weak-signal receiver repairs.\n\n",
        static_cast<int>(frames), level);
    for (int t = 0; t < static_cast<int>(std::size(tables)); ++t) {
        const bool classic = t == 0;
        std::printf(
            "%s\n\n| %s | main upright | main inverted | weak upright | weak inverted | ideal bound "
            "| bound, %d bits repaired |%s\n|---:|---:|---:|---:|---:|---:|---:|%s\n",
            tables[t].szTitle, tables[t].szColumn, kRepairedBits, classic ? " main, classic pulse |" : "",
            classic ? "---:|" : "");
        std::vector<double> x, plainRate, weak, bound, repaired;
        for (const Condition& c : conditions) {
            if (c.nTable != t)
                continue;
            std::printf("| %s | %s | %s | %s | %s | %s | %s |", c.strLabel.c_str(),
                        Percent(c.dMain[0]).c_str(), Percent(c.dMain[1]).c_str(), Percent(c.dWeak[0]).c_str(),
                        Percent(c.dWeak[1]).c_str(), Percent(c.dBound[0]).c_str(),
                        Percent(c.dBound[1]).c_str());
            if (classic)
                std::printf(" %s |", Percent(c.dClassic).c_str());
            std::printf("\n");
            x.push_back(c.physical.dSnrDb);
            plainRate.push_back((c.dMain[0] + c.dMain[1]) / 2);
            weak.push_back((c.dWeak[0] + c.dWeak[1]) / 2);
            bound.push_back(c.dBound[0]);
            repaired.push_back(c.dBound[1]);
        }
        if (t == 0) {
            auto point = [](double v) {
                char text[32];
                std::snprintf(text, sizeof text, std::isnan(v) ? "below the table" : "%.1f dB", v);
                return std::string(text);
            };
            std::printf(
                "\n50 %% point (upright and inverted together): main decoder %s, weak-signal %s, "
                "ideal bound %s, with %d bits repaired %s.\n",
                point(HalfPoint(x, plainRate)).c_str(), point(HalfPoint(x, weak)).c_str(),
                point(HalfPoint(x, bound)).c_str(), kRepairedBits, point(HalfPoint(x, repaired)).c_str());
        }
        std::printf("\n");
    }
    return 0;
}
