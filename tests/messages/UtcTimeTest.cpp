#include <gtest/gtest.h>

#include "messages/UtcTime.h"

TEST(UtcTimestamp, ReadsCalendarTimesIncludingLeapDaysAndThe2038Boundary)
{
    int64_t t = -1;
    ASSERT_TRUE(ParseUtcTimestamp("1970-01-01T00:00:00Z", t));
    EXPECT_EQ(t, 0);
    ASSERT_TRUE(ParseUtcTimestamp("2009-05-01T14:03:27Z", t));
    EXPECT_EQ(FormatUtc(t, "%Y-%m-%d %H:%M:%S"), "2009-05-01 14:03:27");
    ASSERT_TRUE(ParseUtcTimestamp("2008-02-29T23:59:59Z", t));
    EXPECT_EQ(t + 1, InstantFromDayOfYear(2008, 61, 0, 0, 0));
    ASSERT_TRUE(ParseUtcTimestamp("2038-01-19T03:14:08Z", t));
    EXPECT_EQ(t, int64_t{2147483648});
}

TEST(UtcTimestamp, RefusesAnythingButAWholeValidStamp)
{
    int64_t t = 42;
    for (const char* bad :
         {"", "2009-05-01 14:03:27Z", "2009-05-01T14:03:27", "2009-05-01T14:03:27Z ", " 2009-05-01T14:03:27Z",
          "2009-13-01T00:00:00Z", "2009-04-31T00:00:00Z", "2009-02-29T00:00:00Z", "1900-02-29T00:00:00Z",
          "2009-05-01T24:00:00Z", "2009-05-01T23:60:00Z", "2009-05-01T23:59:60Z", "+009-05-01T00:00:00Z",
          "2009-05-0xT00:00:00Z"}) {
        EXPECT_FALSE(ParseUtcTimestamp(bad, t)) << bad;
    }
    EXPECT_EQ(t, 42);
}
