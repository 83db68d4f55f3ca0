#include "engine/transport/server_pacing.h"

#include <algorithm>

namespace zel {

void ServerPacing::NoteRetryAfter(const std::string& host, std::int64_t seconds) {
    if (seconds <= 0) return;
    const std::uint64_t asked = static_cast<std::uint64_t>(seconds) * secondMs_;
    const std::chrono::milliseconds wait(std::min<std::uint64_t>(asked, capMs_));
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(lock_);
    // Hosts whose quiet is over are dropped, so the map holds only the few
    // that are asking for quiet now.
    for (auto it = quietUntil_.begin(); it != quietUntil_.end();)
        it = it->second <= now ? quietUntil_.erase(it) : std::next(it);
    Clock::time_point& until = quietUntil_[host];
    until = std::max(until, now + wait);
}

unsigned ServerPacing::WaitMs(const std::string& host) const {
    std::lock_guard<std::mutex> lock(lock_);
    auto it = quietUntil_.find(host);
    if (it == quietUntil_.end()) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(it->second - Clock::now());
    return left.count() > 0 ? static_cast<unsigned>(left.count()) : 0;
}

}  // namespace zel
