// halvex3-decode as a program: its input formats, options, output bytes,
// log files and exit codes. Recordings are made here with the signal
// generator and written with libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HalvexVersion.h"
#include "decoder/Demodulator.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

namespace {

namespace fs = std::filesystem;

const std::string kDecoder = std::string(HALVEX_BIN_DIR) + "/halvex3-decode";
constexpr int64_t kStart = 1241186580;  // 2009-05-01 14:03:00 UTC
const char* const kStartText = "2009-05-01T14:03:00Z";

struct ToolRun
{
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

class DecodeTool : public ::testing::Test
{
protected:
    // Runs the decoder in the test's directory; stdinFile empty: no input.
    ToolRun Decode(const std::string& args, const std::string& stdinFile = "")
    {
        const fs::path out = m_dir / "stdout";
        const fs::path err = m_dir / "stderr";
        const std::string in = stdinFile.empty() ? "/dev/null" : stdinFile;
        const std::string cmd = "cd '" + m_dir.string() + "' && '" + kDecoder + "' " + args + " < '" + in +
                                "' > '" + out.string() + "' 2> '" + err.string() + "'";
        const int status = std::system(cmd.c_str());
        ToolRun r;
        r.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.strOut = ReadFileText(out);
        r.strErr = ReadFileText(err);
        return r;
    }

    CTempDir m_tmp{"decode"};
    fs::path m_dir = m_tmp.Path();
};

// A recording: frames at known places, noise so that nothing but the frames
// can match. The first flag starts 0.4 s in, one frame every 1.5 s, so the
// lines are made in the middle of their second.
std::vector<uint8_t> Recording(const std::vector<std::vector<uint8_t>>& frames, double dNoise = 3.0)
{
    ModulatorOptions o;
    o.dNoise = dNoise;
    o.nSeed = 11;
    CModulator mod(o);
    mod.AppendSilence(19200);
    for (const auto& f : frames) {
        const uint64_t start = mod.SampleCount();
        mod.AppendFrame(f);
        mod.AppendSilence(static_cast<int>(start + 72000 - mod.SampleCount()));
    }
    mod.AppendSilence(24000);
    return mod.TakeSamples();
}

std::vector<std::vector<uint8_t>> SomeFrames()
{
    BulletinFields b;  // expands to a line with degree signs
    return {AppendCrc({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}), BuildOrbitBulletin(b),
            AppendCrc({0x00, 0x00, 0x0C, 0x70, 0x00, 0x11})};
}

bool WriteWave(const fs::path& path, int format, int rate, int channels, const std::vector<short>& frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr)
        return false;
    const sf_count_t n = static_cast<sf_count_t>(frames.size()) / channels;
    const bool ok = sf_writef_short(f, frames.data(), n) == n;
    return sf_close(f) == 0 && ok;
}

std::vector<float> Resample(const std::vector<uint8_t>& samples, double outRate)
{
    std::vector<float> in;
    for (uint8_t x : samples)
        in.push_back(static_cast<float>(x - 128) / 128.0f);
    std::vector<float> out(static_cast<size_t>(static_cast<double>(in.size()) * outRate / 48000.0) + 16);
    size_t made = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    soxr_oneshot(48000, outRate, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &made, &io, &q,
                 nullptr);
    out.resize(made);
    return out;
}

// The call at which the in-process demodulator reports each frame.
std::vector<uint64_t> FrameCalls(const std::vector<uint8_t>& samples)
{
    struct Sink : IFrameSink
    {
        uint64_t call = 0;
        std::vector<uint64_t> calls;
        void OnFrame(const uint8_t*, int, const FrameVerdict& v) override
        {
            if (v.bMatched)
                calls.push_back(call);
        }
    } sink;
    auto demod = std::make_unique<CDemodulator>(&sink);
    for (uint8_t s : samples) {
        demod->ProcessSample(s);
        ++sink.call;
    }
    for (int i = 0; i < 48000; ++i, ++sink.call)
        demod->ProcessSample(128);
    return sink.calls;
}

std::string Cp1252Args()
{
    return std::string("--start ") + kStartText + " --cp1252 ";
}

}  // namespace

TEST_F(DecodeTool, UsageErrorsExitTwoWithOneLine)
{
    const fs::path wav = m_dir / "a.wav";
    ASSERT_TRUE(WriteU8Wav(wav, std::vector<uint8_t>(1000, 128)));
    for (const std::string args :
         {"--bogus", "-t", "-t u16", "--type=s8 -", "-r 0 -", "-r abc -", "--rate",
          "--start 2009-13-01T00:00:00Z", "--start 2009-05-01 -", "--start 2009-02-29T00:00:00Z", "--log-dir",
          "a.wav b.wav", "--cp1252=1"}) {
        SCOPED_TRACE(args);
        const ToolRun r = Decode(args);
        EXPECT_EQ(r.nExit, 2);
        EXPECT_EQ(std::count(r.strErr.begin(), r.strErr.end(), '\n'), 1);
        EXPECT_EQ(r.strErr.rfind("halvex3-decode: ", 0), 0u);
        EXPECT_TRUE(r.strOut.empty());
    }
    const ToolRun help = Decode("--help");
    EXPECT_EQ(help.nExit, 0);
    EXPECT_EQ(help.strOut.rfind("Usage: halvex3-decode [OPTIONS] [FILE]", 0), 0u);
    EXPECT_EQ(Decode("-h").strOut, help.strOut);
    const ToolRun version = Decode("--version");
    EXPECT_EQ(version.nExit, 0);
    EXPECT_EQ(version.strOut, std::string("halvex3-decode ") + HALVEX_VERSION + "\n");
}

TEST_F(DecodeTool, UnreadableInputExitsOneNamingTheFile)
{
    const ToolRun r = Decode("missing-file.wav");
    EXPECT_EQ(r.nExit, 1);
    EXPECT_NE(r.strErr.find("missing-file.wav"), std::string::npos);
    std::ofstream(m_dir / "junk.wav") << "this is not a sound file at all";
    const ToolRun j = Decode("junk.wav");
    EXPECT_EQ(j.nExit, 1);
    EXPECT_NE(j.strErr.find("junk.wav"), std::string::npos);
    EXPECT_TRUE(j.strOut.empty());
}

TEST_F(DecodeTool, SoundFilesOfEveryShapeGiveTheSameLines)
{
    const auto frames = SomeFrames();
    const std::vector<uint8_t> samples = Recording(frames);
    ASSERT_TRUE(WriteU8Wav(m_dir / "u8.wav", samples));
    const ToolRun u8 = Decode(Cp1252Args() + "u8.wav");
    ASSERT_EQ(u8.nExit, 0) << u8.strErr;
    const std::vector<std::string> lines = TextLines(u8.strOut);
    // Three message lines, each interpreted frame followed by its expansion line.
    ASSERT_EQ(lines.size(), 5u) << u8.strOut;
    EXPECT_EQ(lines[0], "0123456 789 ABCD [15E7] 2009-05-01 14:03:01");
    EXPECT_NE(lines[2].find('\xB0'), std::string::npos);

    // 16-bit stereo at 44.1 kHz, the signal in the first channel only.
    const std::vector<float> r44 = Resample(samples, 44100);
    std::vector<short> stereo;
    for (size_t i = 0; i < r44.size(); ++i) {
        stereo.push_back(static_cast<short>(std::lround(std::clamp(r44[i], -1.0f, 0.999f) * 32768.0f)));
        stereo.push_back(static_cast<short>((i * 7919) % 20000 - 10000));
    }
    ASSERT_TRUE(WriteWave(m_dir / "s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, stereo));
    const ToolRun s16 = Decode(Cp1252Args() + "s16.wav");
    EXPECT_EQ(s16.nExit, 0) << s16.strErr;
    EXPECT_EQ(s16.strOut, u8.strOut);

    // 16-bit at 48 kHz is not resampled: s >> 8 gives back the bytes.
    std::vector<short> wide;
    for (uint8_t x : samples)
        wide.push_back(static_cast<short>((x - 128) * 256 + 255));
    ASSERT_TRUE(WriteWave(m_dir / "w48.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, wide));
    EXPECT_EQ(Decode(Cp1252Args() + "w48.wav").strOut, u8.strOut);
}

TEST_F(DecodeTool, RawSamplesOnStandardInput)
{
    const std::vector<uint8_t> samples = Recording(SomeFrames());
    ASSERT_TRUE(WriteU8Wav(m_dir / "u8.wav", samples));
    const std::string expected = Decode(Cp1252Args() + "u8.wav").strOut;
    ASSERT_FALSE(expected.empty());

    const fs::path raw = m_dir / "raw.u8";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    EXPECT_EQ(Decode(Cp1252Args() + "-", raw.string()).strOut, expected);
    EXPECT_EQ(Decode(Cp1252Args() + "-t u8 -r 48000", raw.string()).strOut, expected);

    const std::vector<float> r24 = Resample(samples, 24000);
    std::string s16;
    for (float x : r24) {
        const auto v =
            static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(x, -1.0f, 0.999f) * 32768.0f)));
        s16.push_back(static_cast<char>(v & 0xFF));
        s16.push_back(static_cast<char>(v >> 8));
    }
    const fs::path raw16 = m_dir / "raw.s16";
    std::ofstream(raw16, std::ios::binary) << s16;
    const ToolRun r = Decode(Cp1252Args() + "-t s16le -r 24000 -", raw16.string());
    EXPECT_EQ(r.nExit, 0) << r.strErr;
    EXPECT_EQ(r.strOut, expected);
    // The long option forms.
    EXPECT_EQ(Decode(Cp1252Args() + "--type=s16le --rate 24000", raw16.string()).strOut, expected);
}

TEST_F(DecodeTool, LinesAreStampedWithTheSecondOfTheInput)
{
    // Frames close to the second's edges: the stamp is start + floor(t / 48000)
    // for the 48 kHz sample t at which the line is made.
    ModulatorOptions o;
    o.dNoise = 3;
    CModulator mod(o);
    mod.AppendSilence(47000);
    mod.AppendFrame(AppendCrc({0x11, 0x22, 0x33}));
    mod.AppendSilence(100000 - static_cast<int>(mod.SampleCount()));
    mod.AppendFrame(AppendCrc({0x44, 0x55, 0x66}));
    mod.AppendSilence(3000);
    const std::vector<uint8_t> samples = mod.TakeSamples();
    const std::vector<uint64_t> calls = FrameCalls(samples);
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_TRUE(WriteU8Wav(m_dir / "t.wav", samples));
    const ToolRun r = Decode("--start 2009-12-31T23:59:58Z --cp1252 t.wav");
    const std::vector<std::string> lines = TextLines(r.strOut);
    ASSERT_EQ(lines.size(), 2u);
    const char* stamps[] = {"2009-12-31 23:59:58", "2009-12-31 23:59:59", "2010-01-01 00:00:00",
                            "2010-01-01 00:00:01", "2010-01-01 00:00:02"};
    for (size_t i = 0; i < 2; ++i) {
        const std::string want = std::string("] ") + stamps[calls[i] / 48000];
        EXPECT_EQ(lines[i].substr(lines[i].size() - want.size()), want) << lines[i];
    }
    // The last frame is found only in the second of zero line after the input.
    EXPECT_GE(calls[1], samples.size());
}

TEST_F(DecodeTool, Utf8OrCodePageBytesAndTheLogFile)
{
    ASSERT_TRUE(WriteU8Wav(m_dir / "u8.wav", Recording(SomeFrames())));
    const ToolRun cp = Decode(Cp1252Args() + "u8.wav");
    const ToolRun utf = Decode(std::string("--start ") + kStartText + " u8.wav");
    ASSERT_NE(cp.strOut.find('\xB0'), std::string::npos);
    EXPECT_EQ(utf.strOut.find("\xB0"), utf.strOut.find("\xC2\xB0") + 1);
    std::string converted;
    for (char c : cp.strOut) {
        if (c == '\xB0')
            converted += "\xC2\xB0";
        else
            converted += c;
    }
    EXPECT_EQ(utf.strOut, converted);
    // No log file unless asked for.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(m_dir))
        files += e.path().filename().string().rfind("halvex3log", 0) == 0 ? 1 : 0;
    EXPECT_EQ(files, 0u);

    const ToolRun logged = Decode(std::string("--start ") + kStartText + " --log-dir logs u8.wav");
    EXPECT_EQ(logged.nExit, 0);
    EXPECT_EQ(logged.strOut, utf.strOut);
    EXPECT_EQ(ReadFileText(m_dir / "logs" / "halvex3log20090501.txt"), cp.strOut);
    // Appended, never truncated.
    Decode(std::string("--start ") + kStartText + " --log-dir logs/ u8.wav");
    EXPECT_EQ(ReadFileText(m_dir / "logs" / "halvex3log20090501.txt"), cp.strOut + cp.strOut);
}

TEST_F(DecodeTool, DecoderOptions)
{
    std::vector<uint8_t> bad = AppendCrc({0x01, 0x02, 0x03, 0x04});
    bad.back() ^= 0xFF;
    ASSERT_TRUE(WriteU8Wav(m_dir / "u8.wav", Recording({bad, BuildOrbitBulletin(BulletinFields{})})));
    const ToolRun normal = Decode(Cp1252Args() + "u8.wav");
    EXPECT_EQ(TextLines(normal.strOut).size(), 2u);  // bulletin and its expansion
    EXPECT_EQ(normal.strOut.find("calc CRC"), std::string::npos);
    const ToolRun noExpand = Decode(Cp1252Args() + "--no-expand u8.wav");
    EXPECT_EQ(TextLines(noExpand.strOut).size(), 1u);
    const ToolRun all = Decode(Cp1252Args() + "--no-require-crc u8.wav");
    EXPECT_NE(all.strOut.find("calc CRC"), std::string::npos);
}

TEST_F(DecodeTool, CutOffFileDecodesWhatItCanAndSaysSo)
{
    const std::vector<uint8_t> samples = Recording(SomeFrames());
    ASSERT_TRUE(WriteU8Wav(m_dir / "full.wav", samples));
    const std::string whole = ReadFileText(m_dir / "full.wav");
    // Cut in the middle of the second frame: the first still decodes.
    std::ofstream(m_dir / "cut.wav", std::ios::binary) << whole.substr(0, 44 + 19200 + 72000 + 3000);
    const ToolRun r = Decode(Cp1252Args() + "cut.wav");
    EXPECT_EQ(r.nExit, 1);
    EXPECT_NE(r.strErr.find("cut.wav"), std::string::npos);
    EXPECT_NE(r.strErr.find("ends early"), std::string::npos) << r.strErr;
    const std::vector<std::string> lines = TextLines(r.strOut);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "0123456 789 ABCD [15E7] 2009-05-01 14:03:01");
}
