#include "engine/segments/resume_state.h"

#include <algorithm>
#include <string>

#include "sys/decimal_number.h"
#include "sys/profile_reader.h"
#include "sys/target_file.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr unsigned kDefaultSegmentCount = 2;

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
    // The index has at least two digits ("[Thread 07]").
    return std::string("[Thread ") + (index < 10 ? "0" : "") + std::to_string(index) +
           "]\r\nStartPos=" + std::to_string(start) + "\r\nChunkLength=" + std::to_string(length) +
           "\r\n\r\n";
}

std::string FormatGlobalState(std::int32_t totalDownloaded, const std::string& setupHash) {
    return "[Global]\r\nTotalDownloaded=" + std::to_string(totalDownloaded) +
           "\r\nSetupHash=" + setupHash + "\r\n\r\n";
}

std::string FormatCheckpoint(const std::vector<SegmentProgress>& segments,
                             std::int32_t totalDownloaded, const std::string& setupHash) {
    std::string text;
    for (const SegmentProgress& segment : segments) {
        if (segment.next < segment.end)
            text += FormatSegmentState(segment.index, segment.next, segment.end - segment.next);
    }
    if (text.empty()) return text;
    return text + FormatGlobalState(totalDownloaded, setupHash);
}

std::string StateTempPath(const std::string& path) {
    return path + ".new";
}

bool SaveStateFile(const std::string& path, const std::string& text) {
    const std::string temporary = StateTempPath(path);
    TargetFile file;
    bool written = file.Open(temporary, TargetFile::OpenMode::CreateAlways) &&
                   file.Append(text.data(), static_cast<std::int32_t>(text.size())) && file.Flush();
    file.Close();
    // Moved only once its bytes are on the disk: otherwise a power cut could
    // leave the new name on an empty or partly written file.
    if (written && TargetFile::MoveOver(temporary, path)) return true;
    TargetFile::Delete(temporary);
    return false;
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
