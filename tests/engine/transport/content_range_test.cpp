#include "engine/transport/content_range.h"

#include <gtest/gtest.h>

namespace zel {

TEST(ContentRangeTest, ReadsFirstLastAndTotal) {
    ContentRange range;
    ASSERT_TRUE(ParseContentRange("bytes 3-5/10", &range));
    EXPECT_EQ(range.first, 3);
    EXPECT_EQ(range.last, 5);
    EXPECT_EQ(range.total, 10);
    ASSERT_TRUE(ParseContentRange("  Bytes 0-0/*", &range));
    EXPECT_EQ(range.total, -1);
}

TEST(ContentRangeTest, RefusesWhatDoesNotDescribeOneRange) {
    ContentRange range;
    for (const char* text :
         {"", "bytes", "bytes */10", "bytes 5-3/10", "bytes 3-10/10", "bytes 3-5", "items 3-5/10",
          "bytes 3-5/10x", "bytes -3-5/10", "bytes 99999999999999999999-1/2"}) {
        EXPECT_FALSE(ParseContentRange(text, &range)) << text;
    }
}

}  // namespace zel
