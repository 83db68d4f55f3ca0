#include "engine/transport/back_off.h"

#include <algorithm>
#include <memory>

#include "sys/clock.h"
#include "sys/pseudo_random.h"

namespace zel {

BackOff::BackOff(unsigned firstWaitMs, unsigned capMs, RandomSource random)
    : firstWaitMs_(firstWaitMs),
      capMs_(capMs),
      random_(random ? std::move(random) : MakeRandomSource(this)) {}

unsigned BackOff::NextWait() {
    const unsigned n = failures_++;
    if (n == 0 || firstWaitMs_ == 0) return firstWaitMs_;
    // first x 2^n, held below the cap long before it could overflow.
    std::uint64_t ceiling = firstWaitMs_;
    for (unsigned i = 0; i < n && ceiling < capMs_; ++i) ceiling *= 2;
    const std::uint64_t upper =
        std::max<std::uint64_t>(firstWaitMs_, std::min<std::uint64_t>(ceiling, capMs_));
    // The draw taken as a fraction of the span: 0 gives the first wait, the
    // largest draw the ceiling, without the bias of a remainder.
    const std::uint64_t span = upper - firstWaitMs_ + 1;
    return static_cast<unsigned>(firstWaitMs_ + ((random_() * span) >> 32));
}

BackOff::RandomSource MakeRandomSource(const void* salt) {
    const auto address = reinterpret_cast<std::uintptr_t>(salt);
    const std::uint32_t seed =
        TickCount() ^ static_cast<std::uint32_t>(address) ^
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(address) >> 32);
    auto random = std::make_shared<PseudoRandom>(seed);
    // Three 15-bit draws fill the 32 bits.
    return [random] {
        std::uint32_t value = static_cast<std::uint32_t>(random->Next());
        value = (value << 15) | static_cast<std::uint32_t>(random->Next());
        return (value << 2) | (static_cast<std::uint32_t>(random->Next()) & 3u);
    };
}

}  // namespace zel
