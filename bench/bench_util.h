// What the speed measurements share: the clock, timing a piece of work and
// the size of the file it worked on.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace zel::bench {

using Clock = std::chrono::steady_clock;

double SecondsBetween(Clock::time_point start, Clock::time_point end);

// Runs work the given number of times (at least once); the median of the
// times, and the last run's answer in answer.
double MedianSeconds(int runs, const std::function<std::string()>& work, std::string& answer);

// The file's size in bytes, -1 when it cannot be opened.
long long FileSize(const std::string& path);

}  // namespace zel::bench
