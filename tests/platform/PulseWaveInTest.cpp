// The PulseAudio wave-in device against a private daemon: what the capture
// code sees through the real library, byte for byte.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/PulseWaveIn.h"
#include "support/PulseTestDaemon.h"

using namespace wavein;

namespace {

// Four one-second buffers as the capture code keeps them.
struct Buffers
{
    static constexpr uint32_t kBytes = 48000;
    std::vector<uint8_t> data[4];
    WaveHdr hdr[4];
    Buffers()
    {
        for (int i = 0; i < 4; ++i) {
            data[i].assign(kBytes, 0xEE);
            hdr[i].lpData = reinterpret_cast<char*>(data[i].data());
            hdr[i].dwBufferLength = kBytes;
        }
    }
    bool AllDone() const
    {
        for (const WaveHdr& h : hdr)
            if (!(h.dwFlags.load(std::memory_order_acquire) & WHDR_DONE))
                return false;
        return true;
    }
};

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Writes a pattern, then silence, into the pipe source until told to stop.
class CFifoWriter
{
public:
    CFifoWriter(std::string path, std::vector<uint8_t> pattern)
        : m_path(std::move(path)), m_pattern(std::move(pattern)), m_thread([this] { Run(); })
    {
    }
    ~CFifoWriter()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run()
    {
        int fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        std::vector<uint8_t> silence(4800, 128);
        size_t sent = 0;
        while (!m_stop) {
            const uint8_t* p;
            size_t n;
            if (sent < m_pattern.size()) {
                p = m_pattern.data() + sent;
                n = std::min<size_t>(4800, m_pattern.size() - sent);
            } else {
                p = silence.data();
                n = silence.size();
            }
            ssize_t w = write(fd, p, n);
            if (w > 0 && sent < m_pattern.size())
                sent += static_cast<size_t>(w);
            // About ten times real time: fast, but the source keeps up.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        close(fd);
    }

    std::string m_path;
    std::vector<uint8_t> m_pattern;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class PulseWaveInTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!CPulseTestDaemon::IsInstalled())
            GTEST_SKIP() << "pulseaudio is not installed";
        std::string why;
        ASSERT_TRUE(m_daemon.Start(why)) << why;
        setenv("PULSE_SERVER", m_daemon.ServerAddress().c_str(), 1);
    }
    void TearDown() override
    {
        m_daemon.Stop();
        unsetenv("PULSE_SERVER");
    }

    CPulseTestDaemon m_daemon;
};

}  // namespace

TEST_F(PulseWaveInTest, ListsCaptureSourcesButNotMonitors)
{
    CPulseWaveIn dev;
    std::vector<CPulseWaveIn::Source> sources;
    ASSERT_EQ(CPulseWaveIn::ListSources(sources), MMSYSERR_NOERROR);
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].strName, "testsrc");

    EXPECT_EQ(dev.GetNumDevs(), 1u);
    WaveInCaps caps;
    ASSERT_EQ(dev.GetDevCaps(0, &caps, kWaveInCapsSize), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "TestCard");
    EXPECT_EQ(dev.GetDevCaps(1, &caps, kWaveInCapsSize), MMSYSERR_BADDEVICEID);
}

TEST_F(PulseWaveInTest, CapturesTheSourceByteForByteInBufferOrder)
{
    CPulseWaveIn dev;
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR) << m_daemon.Log();
    Buffers b;
    for (WaveHdr& hdr : b.hdr) {
        ASSERT_EQ(dev.PrepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        EXPECT_TRUE(hdr.dwFlags.load() & WHDR_PREPARED);
        ASSERT_EQ(dev.AddBuffer(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(dev.Start(h), MMSYSERR_NOERROR);

    // A pattern longer than one buffer, with no run that repeats within it.
    std::vector<uint8_t> pattern(70000);
    uint32_t x = 12345;
    for (uint8_t& v : pattern) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    {
        CFifoWriter writer(m_daemon.FifoPath(), pattern);
        ASSERT_TRUE(WaitFor([&] { return b.AllDone(); }, 10000)) << "buffers were not filled";
    }
    std::vector<uint8_t> all;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b.hdr[i].dwBytesRecorded.load(), Buffers::kBytes) << "buffer " << i;
        EXPECT_FALSE(b.hdr[i].dwFlags.load() & WHDR_INQUEUE);
        all.insert(all.end(), b.data[i].begin(), b.data[i].end());
    }
    auto it = std::search(all.begin(), all.end(), pattern.begin(), pattern.end());
    EXPECT_NE(it, all.end()) << "the written bytes do not appear unchanged and in order";

    EXPECT_EQ(dev.Reset(h), MMSYSERR_NOERROR);
    for (WaveHdr& hdr : b.hdr) {
        EXPECT_EQ(dev.UnprepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        EXPECT_FALSE(hdr.dwFlags.load() & WHDR_PREPARED);
    }
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST_F(PulseWaveInTest, ResetReturnsQueuedBuffersAndCloseNeedsIt)
{
    CPulseWaveIn dev;
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, WAVE_MAPPER, &fmt), MMSYSERR_NOERROR) << m_daemon.Log();
    Buffers b;
    for (WaveHdr& hdr : b.hdr) {
        ASSERT_EQ(dev.PrepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        ASSERT_EQ(dev.AddBuffer(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(dev.Start(h), MMSYSERR_NOERROR);
    EXPECT_FALSE(b.AllDone());
    EXPECT_EQ(dev.UnprepareHeader(h, &b.hdr[0], kWaveHdrSize), WAVERR_STILLPLAYING);
    EXPECT_EQ(dev.Close(h), WAVERR_STILLPLAYING);

    EXPECT_EQ(dev.Reset(h), MMSYSERR_NOERROR);
    EXPECT_TRUE(b.AllDone());
    for (WaveHdr& hdr : b.hdr) {
        EXPECT_FALSE(hdr.dwFlags.load() & WHDR_INQUEUE);
        EXPECT_EQ(dev.UnprepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
    EXPECT_EQ(dev.Start(h), MMSYSERR_INVALHANDLE);
}

TEST_F(PulseWaveInTest, RefusesOtherFormatsAndUnknownDevices)
{
    CPulseWaveIn dev;
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = 2;
    EXPECT_EQ(dev.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
    fmt = CaptureFormat();
    fmt.nSamplesPerSec = 44100;
    EXPECT_EQ(dev.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
    fmt = CaptureFormat();
    fmt.nChannels = 2;
    EXPECT_EQ(dev.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
    fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, 1, &fmt), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(dev.Open(&h, 7, &fmt), MMSYSERR_BADDEVICEID);
}

TEST_F(PulseWaveInTest, LostServerStopsFillingButResetAndCloseStillWork)
{
    CPulseWaveIn dev;
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    ASSERT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NOERROR) << m_daemon.Log();
    Buffers b;
    for (WaveHdr& hdr : b.hdr) {
        ASSERT_EQ(dev.PrepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
        ASSERT_EQ(dev.AddBuffer(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(dev.Start(h), MMSYSERR_NOERROR);
    m_daemon.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(b.hdr[0].dwFlags.load() & WHDR_DONE);

    EXPECT_EQ(dev.Reset(h), MMSYSERR_NOERROR);
    EXPECT_TRUE(b.AllDone());
    for (WaveHdr& hdr : b.hdr)
        EXPECT_EQ(dev.UnprepareHeader(h, &hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
    // A device without a server is a missing driver.
    EXPECT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);
}

TEST(PulseWaveInNoServerTest, ReportsNoDriverWhenNoServerAnswers)
{
    std::string nowhere = "unix:/tmp/halvex-no-such-dir-" + std::to_string(getpid()) + "/native";
    setenv("PULSE_SERVER", nowhere.c_str(), 1);
    CPulseWaveIn dev;
    EXPECT_EQ(dev.GetNumDevs(), 0u);
    WaveInCaps caps;
    EXPECT_EQ(dev.GetDevCaps(0, &caps, kWaveInCapsSize), MMSYSERR_NODRIVER);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, WAVE_MAPPER, &fmt), MMSYSERR_NODRIVER);
    EXPECT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);
    // A refused format is refused before the server is asked.
    fmt.nSamplesPerSec = 8000;
    EXPECT_EQ(dev.Open(&h, 0, &fmt), WAVERR_BADFORMAT);
    unsetenv("PULSE_SERVER");
}

TEST(PulseWaveInNoServerTest, AServerThatNeverAnswersIsGivenUpOn)
{
    // A socket that takes connections but never speaks: without a timeout the
    // device scan at start-up would hang the program.
    std::string path = "/tmp/halvex-mute-" + std::to_string(getpid());
    unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), addr.sun_path);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(listen(fd, 8), 0);
    setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);

    CPulseWaveIn dev;
    EXPECT_EQ(dev.GetNumDevs(), 0u);
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, WAVE_MAPPER, &fmt), MMSYSERR_NODRIVER);

    unsetenv("PULSE_SERVER");
    close(fd);
    unlink(path.c_str());
}

namespace {

// Runs pactl against the test daemon; its standard output, trimmed.
std::string Pactl(const std::string& args)
{
    std::string out;
    FILE* p = popen(("pactl " + args + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p) != nullptr)
        out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

}  // namespace

TEST_F(PulseWaveInTest, DeviceIdsNameTheSourcesOfTheScanWhateverCameOrWentSince)
{
    const std::string second = Pactl("load-module module-pipe-source file=" + m_daemon.Dir() +
                                     "/fifo2 format=u8 rate=48000 channels=1 source_name=second"
                                     " source_properties=device.description=Second");
    ASSERT_FALSE(second.empty()) << m_daemon.Log();
    CPulseWaveIn dev;
    ASSERT_EQ(dev.GetNumDevs(), 2u);  // the scan a menu is built from
    WaveInCaps caps;
    ASSERT_EQ(dev.GetDevCaps(1, &caps, kWaveInCapsSize), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Second");

    // TestCard is unplugged: the server now lists Second first.
    std::string modules = Pactl("list short modules");
    size_t at = modules.find("source_name=testsrc");
    ASSERT_NE(at, std::string::npos) << modules;
    size_t lineStart = modules.rfind('\n', at);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    const std::string index = modules.substr(lineStart, modules.find('\t', lineStart) - lineStart);
    Pactl("unload-module " + index);
    ASSERT_EQ(Pactl("list short sources").find("testsrc"), std::string::npos);

    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_BADDEVICEID)
        << "TestCard is gone; nothing else is opened in its place";
    ASSERT_EQ(dev.Open(&h, 1, &fmt), MMSYSERR_NOERROR) << "Second is still there: " << dev.LastError();
    EXPECT_EQ(dev.Close(h), MMSYSERR_NOERROR);
}

TEST(PulseWaveInNoServerTest, AFailedOpenSaysWhyForTheLog)
{
    std::string nowhere = "unix:/tmp/halvex-no-such-dir-" + std::to_string(getpid()) + "/native";
    setenv("PULSE_SERVER", nowhere.c_str(), 1);
    CPulseWaveIn dev;
    HWAVEIN h = nullptr;
    WaveFormat fmt = CaptureFormat();
    EXPECT_EQ(dev.Open(&h, WAVE_MAPPER, &fmt), MMSYSERR_NODRIVER);
    const std::string why = dev.LastError();
    EXPECT_EQ(why.rfind("cannot connect to the sound server: ", 0), 0u) << why;
    EXPECT_GT(why.size(), std::string("cannot connect to the sound server: ").size());
    EXPECT_EQ(dev.Open(&h, 0, &fmt), MMSYSERR_NODRIVER);
    EXPECT_EQ(dev.LastError().rfind("cannot connect to the sound server: ", 0), 0u) << dev.LastError();
    unsetenv("PULSE_SERVER");
}
