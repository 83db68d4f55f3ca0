// The resume state file: INI-layout text beside the package, one section per
// segment that stopped with bytes missing and one global section with the
// bytes already on disk and the package's expected digest. Sections are only
// ever appended, each followed by an empty line, lines ending in CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// The most segments one download can have: their numbers are 8-bit.
inline constexpr int kMaxSegments = 255;

struct SegmentRange {
    std::int32_t start = 0;
    std::int32_t length = 0;
};

// Splits a package of size bytes into count ranges of size / count bytes, the
// last one also taking the remainder. A count of 0 means the default 2.
std::vector<SegmentRange> SplitIntoSegments(std::int32_t size, unsigned count);

std::string FormatSegmentState(unsigned index, std::int32_t start, std::int32_t length);
std::string FormatGlobalState(std::int32_t totalDownloaded, const std::string& setupHash);

// Appends one thread section, creating the file when it is missing.
bool AppendSegmentStateTo(const std::string& path, unsigned index, std::int32_t start,
                          std::int32_t length);
// Appends the global section to an existing file only: a global section
// without the thread section written before it would describe nothing.
bool AppendGlobalStateTo(const std::string& path, std::int32_t totalDownloaded,
                         const std::string& setupHash);

struct ResumeState {
    std::vector<SegmentRange> segments;  // in ascending order of the section names
    bool hasGlobal = false;
    std::int32_t totalDownloaded = 0;
    std::string setupHash;
};

enum class ResumeReadResult {
    NoSections,  // no file, or a file without sections
    Readable,    // every section describes a part of the package
    Unusable,    // a section points outside the package: the file must not be used
};

// Reads the file back; ranges and the byte total are checked against the
// package size, since the file is input from disk like any other.
ResumeReadResult ReadResumeState(const std::string& path, std::int32_t packageSize,
                                 ResumeState* state);

}  // namespace zel
