// The sound-file device: a file recorded as a sound card would record it.
#include <sndfile.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "platform/FileWaveIn.h"
#include "support/TestFiles.h"

using namespace wavein;
namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& pred, int ms = 10000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

struct Buffer
{
    std::vector<uint8_t> data;
    WaveHdr hdr;
    explicit Buffer(uint32_t n = 48000) : data(n, 0xEE)
    {
        hdr.lpData = reinterpret_cast<char*>(data.data());
        hdr.dwBufferLength = n;
    }
    bool Done() const { return hdr.dwFlags.load(std::memory_order_acquire) & WHDR_DONE; }
};

class FileWaveInTest : public ::testing::Test
{
protected:
    std::string WriteU8(const std::string& name, const std::vector<uint8_t>& bytes, int rate = 48000)
    {
        std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteU8Wav(path, bytes, rate));
        return path;
    }
    std::string WriteS16(const std::string& name, const std::vector<int16_t>& frames, int channels, int rate)
    {
        std::string path = (m_dir / name).string();
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr);
        sf_write_short(f, frames.data(), static_cast<sf_count_t>(frames.size()));
        sf_close(f);
        return path;
    }

    CTempDir m_tmp{"filewave"};
    fs::path m_dir = m_tmp.Path();
};

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    uint32_t x = 7;
    for (uint8_t& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

}  // namespace

TEST_F(FileWaveInTest, EightBitFileIsRecordedByteForByteThenSilence)
{
    const std::vector<uint8_t> audio = Pattern(48000 * 2 + 1234);
    CFileWaveIn dev(WriteU8("u8.wav", audio), 0.0);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    Buffer b[4];
    for (Buffer& x : b) {
        ASSERT_EQ(dev.PrepareHeader(h, &x.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        ASSERT_EQ(dev.AddBuffer(h, &x.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    EXPECT_FALSE(b[0].Done()) << "nothing is recorded before Start";
    ASSERT_EQ(dev.Start(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor([&] { return b[3].Done(); }));

    std::vector<uint8_t> got;
    for (Buffer& x : b) {
        EXPECT_EQ(x.hdr.dwBytesRecorded.load(), 48000u);
        EXPECT_FALSE(x.hdr.dwFlags.load() & WHDR_INQUEUE);
        got.insert(got.end(), x.data.begin(), x.data.end());
    }
    ASSERT_EQ(got.size(), 4u * 48000u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), got.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + static_cast<long>(audio.size()), got.end(),
                            [](uint8_t v) { return v == 128; }));

    EXPECT_EQ(dev.Reset(h), MMSYSERR_NOERROR);
    for (Buffer& x : b)
        EXPECT_EQ(dev.UnprepareHeader(h, &x.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(FileWaveInTest, UnpacedDeliveryWaitsForRequeuedBuffersAndLosesNothing)
{
    const std::vector<uint8_t> audio = Pattern(48000 * 5);
    CFileWaveIn dev(WriteU8("long.wav", audio), 0.0);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, WAVE_MAPPER, &fmt), MMSYSERR_NOERROR);
    Buffer b[2];
    for (Buffer& x : b) {
        dev.PrepareHeader(h, &x.hdr, kWaveHdrSize);
        dev.AddBuffer(h, &x.hdr, kWaveHdrSize);
    }
    dev.Start(h);
    std::vector<uint8_t> got;
    for (int second = 0; second < 5; ++second) {
        Buffer& x = b[second % 2];
        ASSERT_TRUE(WaitFor([&] { return x.Done(); })) << second;
        // A slow reader: the file waits for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        got.insert(got.end(), x.data.begin(), x.data.end());
        ASSERT_EQ(dev.AddBuffer(h, &x.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(got, audio);
    dev.Reset(h);
    for (Buffer& x : b)
        dev.UnprepareHeader(h, &x.hdr, kWaveHdrSize);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(FileWaveInTest, PacedDeliveryFillsBuffersInOrder)
{
    const std::vector<uint8_t> audio = Pattern(48000 * 2);
    CFileWaveIn dev(WriteU8("paced.wav", audio), 20.0);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    Buffer b[2];
    for (Buffer& x : b) {
        dev.PrepareHeader(h, &x.hdr, kWaveHdrSize);
        dev.AddBuffer(h, &x.hdr, kWaveHdrSize);
    }
    dev.Start(h);
    ASSERT_TRUE(WaitFor([&] { return b[1].Done(); }));
    EXPECT_TRUE(b[0].Done());
    EXPECT_TRUE(std::equal(b[0].data.begin(), b[0].data.end(), audio.begin()));
    EXPECT_TRUE(std::equal(b[1].data.begin(), b[1].data.end(), audio.begin() + 48000));
    dev.Reset(h);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(FileWaveInTest, ResetHandsBackQueuedBuffersAndCloseNeedsIt)
{
    CFileWaveIn dev(WriteU8("s.wav", Pattern(1000)), 1.0);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    Buffer b[4];
    for (Buffer& x : b) {
        dev.PrepareHeader(h, &x.hdr, kWaveHdrSize);
        dev.AddBuffer(h, &x.hdr, kWaveHdrSize);
    }
    dev.Start(h);
    EXPECT_EQ(dev.AddBuffer(h, &b[0].hdr, kWaveHdrSize), WAVERR_STILLPLAYING);
    EXPECT_EQ(dev.UnprepareHeader(h, &b[1].hdr, kWaveHdrSize), WAVERR_STILLPLAYING);
    EXPECT_EQ(dev.Close(h), WAVERR_STILLPLAYING);
    EXPECT_EQ(dev.Reset(h), MMSYSERR_NOERROR);
    for (Buffer& x : b) {
        EXPECT_TRUE(x.Done());
        EXPECT_LE(x.hdr.dwBytesRecorded.load(), 48000u);
        EXPECT_EQ(dev.UnprepareHeader(h, &x.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(b[3].hdr.dwBytesRecorded.load(), 0u);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
    EXPECT_EQ(dev.Start(h), MMSYSERR_INVALHANDLE);
    // An unprepared header is refused; the device opens again after Close.
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    EXPECT_EQ(dev.AddBuffer(h, &b[0].hdr, kWaveHdrSize), WAVERR_UNPREPARED);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(FileWaveInTest, OneDeviceNamedAfterTheFile)
{
    CFileWaveIn dev(WriteU8("pass-2009-05-01-noaa18-over-europe-long-name.wav", Pattern(10)));
    EXPECT_EQ(dev.GetNumDevs(), 1u);
    WaveInCaps caps;
    ASSERT_EQ(dev.GetDevCaps(0, &caps, kWaveInCapsSize), MMSYSERR_NOERROR);
    EXPECT_EQ(std::string(caps.szPname),
              std::string("pass-2009-05-01-noaa18-over-europe-long-name.wav").substr(0, 31));
    EXPECT_EQ(dev.GetDevCaps(1, &caps, kWaveInCapsSize), MMSYSERR_BADDEVICEID);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, 1, &fmt), MMSYSERR_BADDEVICEID);
}

TEST_F(FileWaveInTest, UnreadableFileOrOtherFormatFailsTheOpen)
{
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    CFileWaveIn missing((m_dir / "none.wav").string());
    EXPECT_EQ(missing.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);
    EXPECT_FALSE(missing.LastError().empty());

    std::string text = (m_dir / "notes.txt").string();
    FILE* f = fopen(text.c_str(), "w");
    fputs("not a sound file\n", f);
    fclose(f);
    CFileWaveIn junk(text);
    EXPECT_EQ(junk.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);

    CFileWaveIn good(WriteU8("g.wav", Pattern(10)));
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = 2;
    EXPECT_EQ(good.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
    fmt = CaptureFormat();
    fmt.nSamplesPerSec = 44100;
    EXPECT_EQ(good.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
}

TEST_F(FileWaveInTest, SixteenBitStereoTakesTheFirstChannelTruncatedToEightBits)
{
    std::vector<int16_t> frames;
    const int16_t left[] = {0, 255, 256, -1, -256, -257, 32767, -32768, 12345};
    for (int16_t v : left) {
        frames.push_back(v);
        frames.push_back(static_cast<int16_t>(-v / 2 + 99));  // the other channel is ignored
    }
    std::vector<uint8_t> got;
    std::string err;
    ASSERT_TRUE(CFileWaveIn::LoadAsU8(WriteS16("s16.wav", frames, 2, 48000), got, err)) << err;
    ASSERT_EQ(got.size(), std::size(left));
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], (left[i] >> 8) + 128) << "sample " << i;
}

TEST_F(FileWaveInTest, OtherRatesAreResampledTo48k)
{
    // One second of a 400 Hz tone at 8 kHz.
    std::vector<int16_t> frames(8000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] =
            static_cast<int16_t>(16000.0 * std::sin(2.0 * M_PI * 400.0 * static_cast<double>(i) / 8000.0));
    std::vector<uint8_t> got;
    std::string err;
    ASSERT_TRUE(CFileWaveIn::LoadAsU8(WriteS16("8k.wav", frames, 1, 8000), got, err)) << err;
    EXPECT_NEAR(static_cast<double>(got.size()), 48000.0, 50.0);
    // Away from the edges the tone keeps its level and its frequency.
    int nMax = 0, nMin = 255, nCrossings = 0;
    for (size_t i = 4800; i + 4800 < got.size(); ++i) {
        nMax = std::max<int>(nMax, got[i]);
        nMin = std::min<int>(nMin, got[i]);
        if (got[i - 1] < 128 && got[i] >= 128)
            ++nCrossings;
    }
    EXPECT_NEAR(nMax - 128, 62, 3);
    EXPECT_NEAR(128 - nMin, 62, 3);
    EXPECT_NEAR(nCrossings, 400 * 0.8, 3);
}

TEST_F(FileWaveInTest, TheFileIsReadAsItPlaysNotLoadedAtOpen)
{
    // Twenty seconds; once the device is open, the last ten are overwritten
    // in place. A device that loaded the file at Open would still play the
    // old bytes; one that reads as it plays hears the new ones.
    const std::vector<uint8_t> audio = Pattern(48000 * 20);
    const std::string path = WriteU8("growing.wav", audio);
    CFileWaveIn dev(path, 0.0);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    {
        const auto size = static_cast<long>(fs::file_size(path));
        FILE* f = fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fseek(f, size - 48000 * 10, SEEK_SET), 0);
        const std::vector<uint8_t> newer(48000 * 10, 0x55);
        ASSERT_EQ(fwrite(newer.data(), 1, newer.size(), f), newer.size());
        fclose(f);
    }
    Buffer b;
    dev.PrepareHeader(h, &b.hdr, kWaveHdrSize);
    dev.Start(h);
    std::vector<uint8_t> got;
    for (int second = 0; second < 20; ++second) {
        ASSERT_EQ(dev.AddBuffer(h, &b.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        ASSERT_TRUE(WaitFor([&] { return b.Done(); })) << second;
        got.insert(got.end(), b.data.begin(), b.data.end());
    }
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 48000, audio.begin()));
    EXPECT_TRUE(std::all_of(got.end() - 48000 * 10, got.end(), [](uint8_t v) { return v == 0x55; }));
    dev.Reset(h);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(FileWaveInTest, AFailedOpenNamesTheFileAndTheReason)
{
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    const std::string missing = (m_dir / "none.wav").string();
    CFileWaveIn dev(missing);
    EXPECT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);
    EXPECT_EQ(dev.LastError().rfind("cannot read " + missing + ": ", 0), 0u) << dev.LastError();
    EXPECT_GT(dev.LastError().size(), ("cannot read " + missing + ": ").size());
    // A later good open clears it.
    CFileWaveIn good(WriteU8("g.wav", Pattern(10)));
    ASSERT_EQ(good.Open(&h, 0, &fmt), MMSYSERR_NOERROR);
    EXPECT_EQ(good.LastError(), "");
    EXPECT_EQ(good.Close(h), MMSYSERR_NOERROR);
}
