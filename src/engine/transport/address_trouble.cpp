#include "engine/transport/address_trouble.h"

namespace zel {

void AddressTrouble::NoteFailure(const std::string& url) {
    std::lock_guard<std::mutex> lock(lock_);
    lastFailure_[url] = ++failures_;
}

void AddressTrouble::NoteProgress(const std::string& url) {
    std::lock_guard<std::mutex> lock(lock_);
    lastFailure_.erase(url);
}

std::uint64_t AddressTrouble::Rank(const std::string& url) const {
    std::lock_guard<std::mutex> lock(lock_);
    auto it = lastFailure_.find(url);
    return it == lastFailure_.end() ? 0 : it->second;
}

}  // namespace zel
