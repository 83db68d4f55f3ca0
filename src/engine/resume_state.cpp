#include "engine/resume_state.h"

#include <algorithm>
#include <cstdio>

#include "sys/decimal_number.h"
#include "sys/profile_reader.h"
#include "sys/target_file.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr unsigned kDefaultSegmentCount = 2;

bool AppendText(const std::string& path, TargetFile::OpenMode mode, const std::string& text) {
    TargetFile file;
    if (!file.Open(path, mode)) return false;
    return file.Append(text.data(), static_cast<std::int32_t>(text.size()));
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool RangeInsidePackage(const SegmentRange& range, std::int32_t packageSize) {
    if (range.start < 0 || range.length <= 0) return false;
    std::int64_t end = static_cast<std::int64_t>(range.start) + range.length;
    return end <= packageSize;
}

}  // namespace

std::vector<SegmentRange> SplitIntoSegments(std::int32_t size, unsigned count) {
    if (count == 0) count = kDefaultSegmentCount;
    std::int32_t n = static_cast<std::int32_t>(count);
    std::int32_t chunk = size / n;
    std::vector<SegmentRange> ranges;
    for (std::int32_t i = 0; i < n; ++i) {
        std::int32_t length = (i == n - 1) ? size - (n - 1) * chunk : chunk;
        ranges.push_back({i * chunk, length});
    }
    return ranges;
}

std::string FormatSegmentState(unsigned index, std::int32_t start, std::int32_t length) {
    char text[128];
    std::snprintf(text, sizeof(text), "[Thread %.2u]\r\nStartPos=%d\r\nChunkLength=%d\r\n\r\n",
                  index, static_cast<int>(start), static_cast<int>(length));
    return text;
}

std::string FormatGlobalState(std::int32_t totalDownloaded, const std::string& setupHash) {
    return "[Global]\r\nTotalDownloaded=" + std::to_string(totalDownloaded) +
           "\r\nSetupHash=" + setupHash + "\r\n\r\n";
}

bool AppendSegmentStateTo(const std::string& path, unsigned index, std::int32_t start,
                          std::int32_t length) {
    return AppendText(path, TargetFile::OpenMode::OpenAlways,
                      FormatSegmentState(index, start, length));
}

bool AppendGlobalStateTo(const std::string& path, std::int32_t totalDownloaded,
                         const std::string& setupHash) {
    return AppendText(path, TargetFile::OpenMode::OpenExisting,
                      FormatGlobalState(totalDownloaded, setupHash));
}

ResumeReadResult ReadResumeState(const std::string& path, std::int32_t packageSize,
                                 ResumeState* state) {
    *state = ResumeState();
    ProfileReader reader(path);
    std::vector<std::string> names = reader.ReadSectionNames();
    if (names.empty()) return ResumeReadResult::NoSections;
    std::stable_sort(names.begin(), names.end(), LessNoCase);
    for (const std::string& name : names) {
        if (StartsWith(name, "Thread ")) {
            SegmentRange range{LeadingInt32(reader.ReadValue(name, "StartPos")),
                               LeadingInt32(reader.ReadValue(name, "ChunkLength"))};
            if (!RangeInsidePackage(range, packageSize)) return ResumeReadResult::Unusable;
            state->segments.push_back(range);
        } else if (name == "Global") {
            state->hasGlobal = true;
            state->totalDownloaded = LeadingInt32(reader.ReadValue(name, "TotalDownloaded"));
            state->setupHash = reader.ReadValue(name, "SetupHash");
            if (state->totalDownloaded < 0 || state->totalDownloaded > packageSize)
                return ResumeReadResult::Unusable;
        }
    }
    if (state->segments.size() > static_cast<size_t>(kMaxSegments))
        return ResumeReadResult::Unusable;
    return ResumeReadResult::Readable;
}

}  // namespace zel
