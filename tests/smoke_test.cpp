#include <gtest/gtest.h>

#include "engine/timings.h"

namespace zel {

// The tests' pacing must never leave the program's real defaults behind.
TEST(TimingsTest, DefaultsAreTheProgramsPacingAndInstantRemovesPauses) {
    Timings real;
    EXPECT_EQ(real.workerStartStaggerMs, 750u);
    EXPECT_EQ(real.requestTimeoutMs, 10000u);
    Timings fast = Timings::Instant();
    EXPECT_EQ(fast.workerStartStaggerMs, 0u);
    EXPECT_EQ(fast.writePauseMs, 0u);
}

}  // namespace zel
