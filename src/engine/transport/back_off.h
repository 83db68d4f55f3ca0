// The pace of one retry loop whose failures last. Its first wait is the
// loop's usual one, so that a short glitch is retried as quickly as ever;
// each further consecutive failure waits a random time between that first
// wait and min(cap, first wait x 2^n). The randomness keeps many machines
// that met the same broken mirror from coming back to it in step.
//
// One loop's thread draws the waits; any thread may reset the loop (a byte
// written, a user's command), which then starts again at its first wait.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace zel {

class BackOff {
  public:
    // Evenly spread over all 32 bits; one draw per wait, read as a fraction
    // of the wait's range (0: the first wait, the largest: the ceiling).
    using RandomSource = std::function<std::uint32_t()>;

    // A null random source takes the program's own, seeded apart for every
    // loop and every machine.
    BackOff(unsigned firstWaitMs, unsigned capMs, RandomSource random = nullptr);

    // The wait after one more consecutive failure.
    unsigned NextWait();
    // Progress or a user's command: the next failure waits the first wait.
    void Reset() { failures_ = 0; }
    unsigned ConsecutiveFailures() const { return failures_.load(); }

  private:
    const unsigned firstWaitMs_;
    const unsigned capMs_;
    RandomSource random_;
    std::atomic<unsigned> failures_{0};
};

// The program's random source: a PseudoRandom seeded from the tick count and
// the caller's own address, two of its 15-bit draws put together.
BackOff::RandomSource MakeRandomSource(const void* salt);

}  // namespace zel
