// halvex3-synth: makes a test recording of the 400 bit/s downlink: frames of
// every kind the program reads, sent as 48 kHz unsigned 8-bit audio as a
// receiver's discriminator puts it out (or with the classic rectangular
// pulse), through a channel with optional noise, reversed polarity, clock
// error, DC offset, fading and a receiver's audio chain; and, on request,
// the exact lines halvex3-decode prints for it.
#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "HalvexVersion.h"
#include "messages/UtcTime.h"
#include "synth/PhysicalModulator.h"
#include "synth/SynthPlan.h"

namespace {

constexpr const char* kProgram = "halvex3-synth";

const char kUsage[] =
    "Usage: halvex3-synth [OPTIONS] -o FILE\n"
    "Writes a test recording of satellite downlink frames: unsigned 8-bit, 48,000 Hz,\n"
    "mono WAV (or raw samples with -o -), one frame every --spacing seconds.\n"
    "\n"
    "  -o, --output FILE   the WAV file to write; - writes raw u8 samples to stdout\n"
    "  --frames LIST       comma-separated frame kinds, sent in this order:\n"
    "                        demo       the next five kinds (the default)\n"
    "                        bulletins  orbit-element bulletins of the six satellites\n"
    "                        datetime   a date-time stamp of its own sending time\n"
    "                        status     two status summaries (six entries, none)\n"
    "                        short      the shortest frame (5 bytes)\n"
    "                        long       the longest frame (46 bytes)\n"
    "                        badcrc     a frame with a wrong check value; while\n"
    "                                   Require CRC is off the decoder may show it\n"
    "                                   more than once (--expect lists it once)\n"
    "                        hex:DIGITS a frame of these bytes, check value added\n"
    "  --count N           send the set N times (default 1)\n"
    "  --spacing S         whole seconds from one frame to the next (default 2, at least 2)\n"
    "  --seconds S         whole seconds of lead-in silence (default 1)\n"
    "  --duration S        make the recording at least S seconds long\n"
    "  --pulse SHAPE       physical (the default): a smooth pulse at every phase step\n"
    "                        of the bi-phase signal, as a receiver's discriminator\n"
    "                        puts it out; classic: the older rectangular pulse\n"
    "  --level L           peak amplitude in sample units, 1 to 127 (default 90);\n"
    "                      samples beyond 0..255 are clipped\n"
    "  --snr DB            add white noise: pulse peak to noise RMS in dB\n"
    "  --noise SD          add white noise of this RMS (sample units)\n"
    "  --invert            reverse the polarity of the signal\n"
    "  --ppm P             bit clock error in parts per million (+ is slow)\n"
    "  --dc D              add a DC offset (sample units)\n"
    "  --seed N            noise and fading seed (default 1)\n"
    "The physical pulse only:\n"
    "  --sigma N           pulse width: a Gaussian of this standard deviation in\n"
    "                      samples, 0.5 to 30 (default 4)\n"
    "  --fade-depth D      slow fading: the signal dips to 1 - D of its level, 0 to 1\n"
    "  --fade-rate HZ      fading cycles per second (default 0.5)\n"
    "  --audio-chain       a receiver's audio chain: 4th-order low-pass at 2.5 kHz,\n"
    "                      AC coupling (1st-order high-pass at 300 Hz), 75 us\n"
    "                      de-emphasis; the noise goes through it too\n"
    "  --low-pass HZ       only the low-pass, at this corner (0: off)\n"
    "  --high-pass HZ      only the AC coupling, at this corner (0: off)\n"
    "  --de-emphasis US    only the de-emphasis, of this time constant (0: off)\n"
    "  --start TIME        UTC time of the first sample, YYYY-MM-DDTHH:MM:SSZ\n"
    "                      (default: now); sets the content of bulletins and stamps\n"
    "  --expect FILE       write the lines halvex3-decode --start TIME --cp1252\n"
    "                      prints for the recording (code page 1252 bytes)\n"
    "  --no-require-crc    the expected lines as with halvex3-decode --no-require-crc\n"
    "  --no-expand         the expected lines as with halvex3-decode --no-expand\n"
    "  -h, --help          show this help\n"
    "  --version           show the version\n"
    "\n"
    "Exit status: 0 done, 1 a file cannot be written, 2 usage error.\n";

struct Options
{
    std::string strOutput;
    std::string strExpect;
    PlanOptions plan;
    ModulatorOptions modulator;  // the classic pulse
    PhysicalOptions physical;    // the physical pulse
    bool bClassic = false;
    double dSnrDb = -1000.0;     // below -999: not given
    double dNoise = -1.0;        // below 0: not given
    bool bPhysicalOnly = false;  // an option of the physical pulse was given
    bool bRequireCrc = true;
    bool bExpand = true;
};

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, reason.c_str());
    return 2;
}

bool ParseInt(const std::string& text, long lo, long hi, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool ParseDouble(const std::string& text, double lo, double hi, double& value)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(v >= lo && v <= hi)) {
        return false;
    }
    value = v;
    return true;
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    size_t from = 0;
    while (from <= text.size()) {
        const size_t comma = text.find(',', from);
        const size_t to = comma == std::string::npos ? text.size() : comma;
        items.push_back(text.substr(from, to - from));
        from = to + 1;
    }
    return items;
}

// 0: parsed; otherwise the exit status to leave with (-1 for a clean exit 0).
int ParseArguments(int argc, char** argv, Options& o)
{
    o.plan.kinds = {"demo"};
    o.plan.nStart = static_cast<int64_t>(std::time(nullptr));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--version") {
            std::printf("%s %s\n", kProgram, HALVEX_VERSION);
            return -1;
        } else if (arg == "--invert") {
            o.modulator.bInverted = true;
            o.physical.bInverted = true;
        } else if (arg == "--audio-chain") {
            o.physical.SetReceiverAudioChain();
            o.bPhysicalOnly = true;
        } else if (arg == "--no-require-crc") {
            o.bRequireCrc = false;
        } else if (arg == "--no-expand") {
            o.bExpand = false;
        } else if (arg == "-o" || arg == "--output" || arg == "--expect" || arg == "--frames" ||
                   arg == "--count" || arg == "--spacing" || arg == "--seconds" || arg == "--duration" ||
                   arg == "--level" || arg == "--noise" || arg == "--ppm" || arg == "--dc" ||
                   arg == "--seed" || arg == "--start" || arg == "--pulse" || arg == "--snr" ||
                   arg == "--sigma" || arg == "--fade-depth" || arg == "--fade-rate" || arg == "--low-pass" ||
                   arg == "--high-pass" || arg == "--de-emphasis") {
            if (!value(v)) {
                return UsageError(arg + " needs a value");
            }
            bool ok = true;
            int seed = 0;
            if (arg == "-o" || arg == "--output") {
                o.strOutput = v;
            } else if (arg == "--expect") {
                o.strExpect = v;
            } else if (arg == "--frames") {
                o.plan.kinds = SplitList(v);
                for (const std::string& kind : o.plan.kinds) {
                    if (!IsFrameKind(kind)) {
                        return UsageError("unknown frame kind '" + kind + "'");
                    }
                    // Bytes are two digits each, and the shortest frame the
                    // decoder takes is 5 bytes with the check value.
                    if (kind.starts_with("hex:") && kind.size() % 2 != 0) {
                        return UsageError("'" + kind + "': an odd number of hex digits");
                    }
                    if (kind.starts_with("hex:") && (kind.size() - 4) / 2 + 2 < 5) {
                        return UsageError("'" + kind + "': a frame needs at least 3 bytes " +
                                          "(6 hex digits) before its 2-byte check value");
                    }
                }
            } else if (arg == "--count") {
                ok = ParseInt(v, 0, 100000, o.plan.nCount);
            } else if (arg == "--spacing") {
                ok = ParseInt(v, 2, 3600, o.plan.nSpacingSeconds);
            } else if (arg == "--seconds") {
                ok = ParseInt(v, 0, 86400, o.plan.nLeadInSeconds);
            } else if (arg == "--duration") {
                ok = ParseInt(v, 0, 7 * 86400, o.plan.nDurationSeconds);
            } else if (arg == "--pulse") {
                ok = v == "physical" || v == "classic";
                o.bClassic = v == "classic";
            } else if (arg == "--level") {
                ok = ParseDouble(v, 1.0, 127.0, o.modulator.dLevel);
                o.physical.dLevel = o.modulator.dLevel;
            } else if (arg == "--noise") {
                ok = ParseDouble(v, 0.0, 1000.0, o.dNoise);
                o.dSnrDb = -1000.0;
            } else if (arg == "--snr") {
                ok = ParseDouble(v, -40.0, 200.0, o.dSnrDb);
                o.dNoise = -1.0;
            } else if (arg == "--ppm") {
                ok = ParseDouble(v, -100000.0, 100000.0, o.modulator.dClockPpm);
                o.physical.dClockPpm = o.modulator.dClockPpm;
            } else if (arg == "--dc") {
                ok = ParseDouble(v, -255.0, 255.0, o.modulator.dDcOffset);
                o.physical.dDcOffset = o.modulator.dDcOffset;
            } else if (arg == "--seed") {
                ok = ParseInt(v, 0, 2147483647, seed);
                o.modulator.nSeed = static_cast<uint32_t>(seed);
                o.physical.nSeed = o.modulator.nSeed;
            } else if (arg == "--sigma") {
                ok = ParseDouble(v, 0.5, 30.0, o.physical.dSigma);
                o.bPhysicalOnly = true;
            } else if (arg == "--fade-depth") {
                ok = ParseDouble(v, 0.0, 1.0, o.physical.dFadeDepth);
                o.bPhysicalOnly = true;
            } else if (arg == "--fade-rate") {
                ok = ParseDouble(v, 0.0, 1000.0, o.physical.dFadeRate);
                o.bPhysicalOnly = true;
            } else if (arg == "--low-pass") {
                ok = ParseDouble(v, 0.0, 20000.0, o.physical.dLowPassHz);
                o.bPhysicalOnly = true;
            } else if (arg == "--high-pass") {
                ok = ParseDouble(v, 0.0, 20000.0, o.physical.dHighPassHz);
                o.bPhysicalOnly = true;
            } else if (arg == "--de-emphasis") {
                ok = ParseDouble(v, 0.0, 10000.0, o.physical.dDeEmphasisUs);
                o.bPhysicalOnly = true;
            } else if (arg == "--start") {
                ok = ParseUtcTimestamp(v, o.plan.nStart);
            }
            if (!ok) {
                return UsageError("bad value '" + v + "' for " + arg);
            }
        } else {
            return UsageError("unknown option '" + arg + "'");
        }
    }
    if (o.strOutput.empty()) {
        return UsageError("no output given (-o FILE, or -o - for raw samples)");
    }
    if (o.bClassic && o.bPhysicalOnly) {
        return UsageError("--sigma, fading and the audio chain need --pulse physical");
    }
    // The noise either way: as an RMS, or as the pulse peak's ratio to it.
    const double level = o.modulator.dLevel;
    if (o.dNoise >= 0.0) {
        o.modulator.dNoise = o.dNoise;
        o.physical.dSnrDb = o.dNoise > 0.0 ? 20.0 * std::log10(level / o.dNoise) : PhysicalOptions::kNoNoise;
    } else if (o.dSnrDb > -999.0) {
        o.physical.dSnrDb = o.dSnrDb;
        o.modulator.dNoise = level * std::pow(10.0, -o.dSnrDb / 20.0);
    }
    return 0;
}

// Where the samples go: a WAV file through libsndfile, or raw to stdout.
class CSampleWriter
{
public:
    ~CSampleWriter() { Close(); }

    bool Open(const std::string& path, std::string& error)
    {
        if (path == "-") {
            m_pRaw = stdout;
            return true;
        }
        SF_INFO info = {};
        info.samplerate = kSampleRate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
        m_pFile = sf_open(path.c_str(), SFM_WRITE, &info);
        if (m_pFile == nullptr) {
            error = sf_strerror(nullptr);
            return false;
        }
        return true;
    }

    bool Write(const std::vector<uint8_t>& samples)
    {
        if (samples.empty()) {
            return true;
        }
        if (m_pRaw != nullptr) {
            return std::fwrite(samples.data(), 1, samples.size(), m_pRaw) == samples.size();
        }
        // The stored bytes of an unsigned 8-bit WAV are the samples themselves.
        return sf_write_raw(m_pFile, samples.data(), static_cast<sf_count_t>(samples.size())) ==
               static_cast<sf_count_t>(samples.size());
    }

    bool Close()
    {
        bool ok = true;
        if (m_pFile != nullptr) {
            ok = sf_close(m_pFile) == 0;
            m_pFile = nullptr;
        }
        if (m_pRaw != nullptr) {
            ok = std::fflush(m_pRaw) == 0;
            m_pRaw = nullptr;
        }
        return ok;
    }

private:
    SNDFILE* m_pFile = nullptr;
    std::FILE* m_pRaw = nullptr;
};

int WriteFailure(const std::string& path, const std::string& reason)
{
    std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, path.c_str(), reason.c_str());
    return 1;
}

int WriteRecording(const Options& o, const SynthPlan& plan)
{
    CSampleWriter writer;
    std::string error;
    if (!writer.Open(o.strOutput, error)) {
        return WriteFailure(o.strOutput, error);
    }
    auto write = [&writer](const std::vector<uint8_t>& samples) { return writer.Write(samples); };
    bool ok = false;
    if (o.bClassic) {
        ok = RenderPlan(plan, o.modulator, write);
    } else {
        CPhysicalModulator modulator(o.physical);
        ok = RenderPlan(plan, modulator, write);
    }
    if (!writer.Close() || !ok) {
        return WriteFailure(o.strOutput, "write error");
    }
    return 0;
}

int WriteExpected(const Options& o, const SynthPlan& plan)
{
    std::FILE* file = std::fopen(o.strExpect.c_str(), "wb");
    if (file == nullptr) {
        return WriteFailure(o.strExpect, std::strerror(errno));
    }
    bool ok = true;
    for (const std::string& line : ExpectedLines(plan, o.plan.nStart, o.bRequireCrc, o.bExpand)) {
        ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size() &&
             std::fputc('\n', file) != EOF;
    }
    if (std::fclose(file) != 0 || !ok) {
        return WriteFailure(o.strExpect, "write error");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed != 0) {
        return parsed < 0 ? 0 : parsed;
    }
    const SynthPlan plan = MakePlan(options.plan);
    if (!options.strExpect.empty()) {
        if (const int status = WriteExpected(options, plan)) {
            return status;
        }
    }
    return WriteRecording(options, plan);
}
