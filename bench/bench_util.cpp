#include "bench_util.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace zel::bench {

double SecondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

double MedianSeconds(int runs, const std::function<std::string()>& work, std::string& answer) {
    std::vector<double> seconds;
    for (int i = 0; i < std::max(1, runs); ++i) {
        const Clock::time_point start = Clock::now();
        answer = work();
        seconds.push_back(SecondsBetween(start, Clock::now()));
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

long long FileSize(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    std::fseek(file, 0, SEEK_END);
    const long long size = std::ftell(file);
    std::fclose(file);
    return size;
}

}  // namespace zel::bench
