#include "engine/transport/retry_after.h"

#include <gtest/gtest.h>

namespace zel {

namespace {
// Sun, 06 Nov 1994 08:49:37 GMT
constexpr std::int64_t kNov1994 = 784111777;
}  // namespace

TEST(RetryAfterTest, ReadsSecondsAndEveryDateFormRelativeToNow) {
    std::int64_t seconds = -1;
    ASSERT_TRUE(ParseRetryAfter("120", 0, &seconds));
    EXPECT_EQ(seconds, 120);
    ASSERT_TRUE(ParseRetryAfter(" 0 ", 0, &seconds));
    EXPECT_EQ(seconds, 0);
    for (const char* date : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994"}) {
        ASSERT_TRUE(ParseRetryAfter(date, kNov1994 - 30, &seconds)) << date;
        EXPECT_EQ(seconds, 30) << date;
    }
    ASSERT_TRUE(ParseRetryAfter("Thu, 29 Feb 2024 00:00:00 GMT", 1709164800 - 1, &seconds));
    EXPECT_EQ(seconds, 1) << "a leap day";
    ASSERT_TRUE(ParseRetryAfter("Sun, 06 Nov 1994 08:49:37 GMT", kNov1994 + 3600, &seconds));
    EXPECT_EQ(seconds, 0) << "a date gone by asks for no wait";
    ASSERT_TRUE(ParseRetryAfter("99999999999999999999999", 0, &seconds));
    EXPECT_GT(seconds, 1000000) << "held large, never wrapped";
}

TEST(RetryAfterTest, RefusesWhatIsNeitherSecondsNorADate) {
    std::int64_t seconds = 0;
    for (const char* text :
         {"", "-5", "1.5", "soon", "Sun, 06 Nov 1994 08:49:37", "Sun, 06 Foo 1994 08:49:37 GMT",
          "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT",
          "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 GMT trailing",
          "Funday, 06-Nov-94 08:49:37 GMT"}) {
        EXPECT_FALSE(ParseRetryAfter(text, 0, &seconds)) << text;
    }
}

}  // namespace zel
