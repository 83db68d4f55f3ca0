// The resume state file: INI-layout text beside the package, one section per
// segment that still misses bytes and one global section with the bytes
// already on disk and the package's expected digest, each section followed
// by an empty line, lines ending in CR LF. It is never edited in place: each
// new version is written beside it and moved over it, so that a crash leaves
// the old version or the new one, never a mix.
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

// How far one segment of a running download has come: every byte before
// next is on disk, [next, end) is still missing.
struct SegmentProgress {
    unsigned index = 0;
    std::int32_t next = 0;
    std::int32_t end = 0;
};

// A checkpoint: the resume file of the moment, in the layout a stop leaves
// (a thread section for every segment still missing bytes, in segment
// order, then the global section), so that it reads back like one. The
// digest is its last line: a copy cut short anywhere before that has lost
// or cut it, and is then taken for another package's file and not resumed.
// Empty when no segment misses anything.
std::string FormatCheckpoint(const std::vector<SegmentProgress>& segments,
                             std::int32_t totalDownloaded, const std::string& setupHash);

// Replaces the file at path with text: written and flushed under
// StateTempPath(path), then moved over it in one step. False when any step
// failed; the file at path is then still whole: the old one, or the new one
// when only making the move durable failed.
bool SaveStateFile(const std::string& path, const std::string& text);

// The name a new version of the file at path is written under before the
// move. Nothing ever reads it.
std::string StateTempPath(const std::string& path);

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
