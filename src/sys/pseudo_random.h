// The C runtime's classic linear congruential generator (the one behind
// srand/rand on Windows), kept as an object so that no state is global and
// both builds draw the same sequence from the same seed.
#pragma once

#include <cstdint>

namespace zel {

class PseudoRandom {
  public:
    explicit PseudoRandom(std::uint32_t seed) : state_(seed) {}
    // 0 to 32767.
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

  private:
    std::uint32_t state_;
};

}  // namespace zel
