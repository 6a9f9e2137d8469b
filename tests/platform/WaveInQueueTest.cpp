// The buffer queue the wave-in devices share: what a reader of the headers
// sees, whichever device fills them.
#include <gtest/gtest.h>

#include <vector>

#include "platform/WaveInQueue.h"

using namespace wavein;

namespace {

struct Buffer
{
    std::vector<uint8_t> data;
    WaveHdr hdr;
    explicit Buffer(uint32_t n) : data(n, 0xEE)
    {
        hdr.lpData = reinterpret_cast<char*>(data.data());
        hdr.dwBufferLength = n;
    }
    bool Done() const { return hdr.dwFlags.load(std::memory_order_acquire) & WHDR_DONE; }
    bool Queued() const { return hdr.dwFlags.load() & WHDR_INQUEUE; }
};

}  // namespace

TEST(WaveInQueueTest, FillsBuffersInTheOrderAddedAndLosesWhatFindsNone)
{
    CWaveInQueue q;
    Buffer a(4), b(3);
    ASSERT_EQ(q.Prepare(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    ASSERT_EQ(q.Prepare(&b.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    ASSERT_EQ(q.Add(&b.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    ASSERT_EQ(q.Add(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);

    const uint8_t first[] = {1, 2};
    EXPECT_EQ(q.Deliver(first, 2), 2u);
    EXPECT_FALSE(b.Done());
    EXPECT_EQ(q.FrontRoom(), 1u);
    // A hole in the stream is the zero line, in its place.
    EXPECT_EQ(q.Deliver(nullptr, 2), 2u);
    EXPECT_TRUE(b.Done());
    EXPECT_FALSE(b.Queued());
    EXPECT_EQ(b.hdr.dwBytesRecorded.load(), 3u);
    EXPECT_EQ(b.data, (std::vector<uint8_t>{1, 2, kSilence}));
    EXPECT_EQ(a.hdr.dwBytesRecorded.load(), 0u);

    const uint8_t rest[] = {7, 8, 9, 10, 11};
    EXPECT_EQ(q.Deliver(rest, 5), 3u) << "two bytes find no buffer";
    EXPECT_TRUE(a.Done());
    EXPECT_EQ(a.data, (std::vector<uint8_t>{kSilence, 7, 8, 9}));
    EXPECT_TRUE(q.Empty());
    EXPECT_EQ(q.Deliver(rest, 5), 0u);
}

TEST(WaveInQueueTest, HeaderRulesOfAWellManneredCard)
{
    CWaveInQueue q;
    Buffer a(8);
    EXPECT_EQ(q.Add(&a.hdr, kWaveHdrSize), WAVERR_UNPREPARED);
    EXPECT_EQ(q.Prepare(&a.hdr, kWaveHdrSize - 1), MMSYSERR_INVALPARAM);
    EXPECT_EQ(q.Prepare(nullptr, kWaveHdrSize), MMSYSERR_INVALPARAM);
    Buffer empty(0);
    EXPECT_EQ(q.Prepare(&empty.hdr, kWaveHdrSize), MMSYSERR_INVALPARAM);

    ASSERT_EQ(q.Prepare(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    ASSERT_EQ(q.Add(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    EXPECT_EQ(q.Add(&a.hdr, kWaveHdrSize), WAVERR_STILLPLAYING) << "queued twice";
    EXPECT_EQ(q.Unprepare(&a.hdr, kWaveHdrSize), WAVERR_STILLPLAYING);

    // Returned with what it holds, then free to be unprepared.
    const uint8_t some[] = {5, 6, 7};
    q.Deliver(some, 3);
    q.ReturnAll();
    EXPECT_TRUE(a.Done());
    EXPECT_EQ(a.hdr.dwBytesRecorded.load(), 3u);
    EXPECT_TRUE(q.Empty());
    EXPECT_EQ(q.Unprepare(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    EXPECT_FALSE(a.hdr.dwFlags.load() & WHDR_PREPARED);

    // Queued again, a done buffer loses its done flag and its old count.
    q.Prepare(&a.hdr, kWaveHdrSize);
    ASSERT_EQ(q.Add(&a.hdr, kWaveHdrSize), MMSYSERR_NOERROR);
    EXPECT_FALSE(a.Done());
    EXPECT_EQ(a.hdr.dwBytesRecorded.load(), 0u);
}

TEST(WaveInQueueTest, CompleteHandsBackAnyBufferAndTheRestKeepTheirOrder)
{
    CWaveInQueue q;
    Buffer a(2), b(2), c(2);
    for (Buffer* x : {&a, &b, &c}) {
        q.Prepare(&x->hdr, kWaveHdrSize);
        q.Add(&x->hdr, kWaveHdrSize);
    }
    const uint8_t bytes[] = {40, 41, 42};
    q.Complete(&b.hdr, bytes, 3);  // more than it holds: cut to its length
    EXPECT_TRUE(b.Done());
    EXPECT_EQ(b.hdr.dwBytesRecorded.load(), 2u);
    EXPECT_EQ(b.data, (std::vector<uint8_t>{40, 41}));
    EXPECT_EQ(q.Deliver(bytes, 3), 3u);
    EXPECT_EQ(a.data, (std::vector<uint8_t>{40, 41}));
    EXPECT_EQ(c.data[0], 42);
    EXPECT_FALSE(c.Done());
}

TEST(WaveInQueueTest, OnlyTheRecordingFormatIsAccepted)
{
    WaveFormat f = CaptureFormat();
    EXPECT_TRUE(IsCaptureFormat(&f));
    EXPECT_FALSE(IsCaptureFormat(nullptr));
    f.nChannels = 2;
    EXPECT_FALSE(IsCaptureFormat(&f));
    f = CaptureFormat();
    f.nSamplesPerSec = 44100;
    EXPECT_FALSE(IsCaptureFormat(&f));
    f = CaptureFormat();
    f.wFormatTag = 3;
    EXPECT_FALSE(IsCaptureFormat(&f));
}
