#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "view/SignalView.h"

namespace {

TEST(SignalView, SilentRingLiesOnTheZeroLine)
{
    std::vector<int32_t> ring(48000, 0);
    const SignalPicture pic = ComputeSignalPicture(ring.data());
    EXPECT_EQ(pic.zeroLineFrom, (ViewPoint{10, 200}));
    EXPECT_EQ(pic.zeroLineTo, (ViewPoint{410, 200}));
    for (int j = 0; j < SignalPicture::kPoints; ++j) {
        EXPECT_EQ(pic.trace[j].x, 10 + 4 * j);
        EXPECT_EQ(pic.trace[j].y, 200);
    }
    EXPECT_EQ(pic.trace.front().x, 10);
    EXPECT_EQ(pic.trace.back().x, 406);
}

TEST(SignalView, TraceFollowsTheFirstHundredSlotsPositiveUp)
{
    std::vector<int32_t> ring(48000, 0);
    ring[0] = 127;   // full scale positive
    ring[1] = -128;  // full scale negative
    ring[50] = 17;
    ring[99] = -3;
    ring[100] = 99;  // beyond the trace: must not show
    const SignalPicture pic = ComputeSignalPicture(ring.data());
    EXPECT_EQ(pic.trace[0], (ViewPoint{10, 73}));
    EXPECT_EQ(pic.trace[1], (ViewPoint{14, 328}));
    EXPECT_EQ(pic.trace[50], (ViewPoint{210, 183}));
    EXPECT_EQ(pic.trace[99], (ViewPoint{406, 203}));
    for (const ViewPoint& p : pic.trace) {
        EXPECT_GE(p.y, 73);
        EXPECT_LE(p.y, 328);
    }
}

TEST(SignalView, ValuesOutsideTheSampleRangeStayOnThePanel)
{
    std::vector<int32_t> ring(100, 0);
    ring[3] = 100000;
    ring[4] = -100000;
    const SignalPicture pic = ComputeSignalPicture(ring.data());
    EXPECT_EQ(pic.trace[3].y, 73);
    EXPECT_EQ(pic.trace[4].y, 328);
}

TEST(SignalView, AdviceTextsAndPlaces)
{
    std::vector<int32_t> ring(100, 5);
    const SignalPicture pic = ComputeSignalPicture(ring.data());
    EXPECT_EQ(pic.advice[0],
              (ViewText{10, 410, "Ensure the signal is of adequate amplitude but not clipping."}));
    EXPECT_EQ(
        pic.advice[1],
        (ViewText{10, 425, "If you see no signal, check connections, receiver and select Options->Audio."}));
}

}  // namespace
