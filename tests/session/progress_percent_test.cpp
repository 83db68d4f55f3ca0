#include "session/progress_percent.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(ProgressPercentTest, TruncatesCapsAndNeverOverflows) {
    EXPECT_EQ(ProgressPercent(50000000, 100000000), 50);
    EXPECT_EQ(ProgressPercent(1999999999, 2000000000), 99);
    EXPECT_EQ(ProgressPercent(2147483647, 2147483647), 100);
    EXPECT_EQ(ProgressPercent(300, 200), 100);
    EXPECT_EQ(ProgressPercent(0, 10), 0);
    EXPECT_EQ(ProgressPercent(-5, 10), 0);
    EXPECT_EQ(ProgressPercent(10, 0), -1);
    EXPECT_EQ(ProgressPercent(10, -1), -1);
}

}  // namespace
}  // namespace zel
