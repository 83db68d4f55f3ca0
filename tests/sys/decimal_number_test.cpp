#include "sys/decimal_number.h"

#include <gtest/gtest.h>

#include <limits>

namespace zel {
namespace {

TEST(DecimalNumberTest, LeadingInt32ReadsLikeAtoiAndSaturates) {
    EXPECT_EQ(LeadingInt32("42"), 42);
    EXPECT_EQ(LeadingInt32("  -12abc"), -12);
    EXPECT_EQ(LeadingInt32("+7"), 7);
    EXPECT_EQ(LeadingInt32("abc"), 0);
    EXPECT_EQ(LeadingInt32(""), 0);
    EXPECT_EQ(LeadingInt32("- 5"), 0);
    EXPECT_EQ(LeadingInt32("99999999999"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(LeadingInt32("-99999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(DecimalNumberTest, WholeNumbersAreRefusedBeyondTheirLimitOrWithOtherText) {
    std::uint64_t value = 0;
    EXPECT_TRUE(ParseDecimal(" 4294967295\t", 0xFFFFFFFFu, value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(ParseDecimal("4294967296", 0xFFFFFFFFu, value));
    EXPECT_FALSE(ParseDecimal("99999999999999999999999", 0xFFFFFFFFu, value));
    EXPECT_FALSE(ParseDecimal("12 3", 0xFFFFFFFFu, value));
    EXPECT_FALSE(ParseDecimal("-1", 0xFFFFFFFFu, value));
    EXPECT_FALSE(ParseDecimal(" ", 0xFFFFFFFFu, value));
    EXPECT_EQ(value, 4294967295u) << "a refused text leaves the value alone";
}

}  // namespace
}  // namespace zel
