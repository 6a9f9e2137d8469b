#include <gtest/gtest.h>

#include <string>

#include "view/MessagesView.h"

namespace {

struct Ring
{
    std::string slots[60];
};

TEST(MessagesView, EmptyRingDrawsNothing)
{
    Ring ring;
    EXPECT_TRUE(ComputeMessageRows(ring.slots, 60, 0).empty());
}

TEST(MessagesView, IndexZeroShowsSlot59FirstAndSlot0Last)
{
    Ring ring;
    for (int i = 0; i < 60; ++i)
        ring.slots[i] = "slot " + std::to_string(i);
    const auto rows = ComputeMessageRows(ring.slots, 60, 0);
    ASSERT_EQ(rows.size(), 60u);
    EXPECT_EQ(rows[0], (ViewText{0, 0, "slot 59"}));
    EXPECT_EQ(rows[1], (ViewText{0, 15, "slot 58"}));
    EXPECT_EQ(rows[59], (ViewText{0, 885, "slot 0"}));
}

TEST(MessagesView, FewLinesFillTheTopRowsNewestFirst)
{
    Ring ring;
    ring.slots[0] = "first";
    ring.slots[1] = "second";
    ring.slots[2] = "third";
    const auto rows = ComputeMessageRows(ring.slots, 60, 3);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (ViewText{0, 0, "third"}));
    EXPECT_EQ(rows[1], (ViewText{0, 15, "second"}));
    EXPECT_EQ(rows[2], (ViewText{0, 30, "first"}));
}

TEST(MessagesView, WrappedRingAndEmptySlotsKeepTheirRows)
{
    Ring ring;
    ring.slots[58] = "older";
    ring.slots[0] = "newer";  // index 1: slot 0 is the newest, slot 59 empty
    const auto rows = ComputeMessageRows(ring.slots, 60, 1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (ViewText{0, 0, "newer"}));
    EXPECT_EQ(rows[1], (ViewText{0, 30, "older"}));  // row 1 (slot 59) is blank
}

TEST(MessagesView, WholeStringIsKeptUntrimmed)
{
    Ring ring;
    const std::string line = "  0123456 789 ABCD [15E7] 2009-05-01 14:03:27 \xB0 " + std::string(300, 'x');
    ring.slots[9] = line;
    const auto rows = ComputeMessageRows(ring.slots, 60, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].strText, line);
}

TEST(MessagesView, IndexOutsideTheRingNeverReadsOutsideIt)
{
    Ring ring;
    ring.slots[59] = "newest";
    for (int index : {60, -60, 120, -1, 2147483647, -2147483647 - 1}) {
        const auto rows = ComputeMessageRows(ring.slots, 60, index);
        ASSERT_EQ(rows.size(), 1u) << index;
        EXPECT_EQ(rows[0].strText, "newest");
    }
}

}  // namespace
