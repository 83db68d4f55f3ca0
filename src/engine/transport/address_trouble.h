// Which of the manifest's package addresses have been failing lately: the
// size could not be read there, or a worker's range answers from there kept
// being refused. A choice among the alternates goes to one that has not,
// so that one broken mirror among good ones costs one round, not the whole
// install. Any thread may note and read.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace zel {

class AddressTrouble {
  public:
    void NoteFailure(const std::string& url);
    // Bytes of the package came from there: it is good again.
    void NoteProgress(const std::string& url);
    // 0 for an address without a failure since its last progress; otherwise
    // higher the more recently it failed, so that when every alternate is
    // failing the one left alone longest is tried next.
    std::uint64_t Rank(const std::string& url) const;

  private:
    mutable std::mutex lock_;
    std::map<std::string, std::uint64_t> lastFailure_;
    std::uint64_t failures_ = 0;
};

}  // namespace zel
