// libFuzzer target: any bytes as the resume file beside a package whose size
// the first four bytes give. A file read as usable must describe only ranges
// inside the package, at most as many as a download can have, and a byte
// total the package can hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/segments/resume_state.h"

namespace {

// One scratch file for the whole run, removed when the process ends.
class ScratchFile {
  public:
    ScratchFile() {
        char pattern[] = "/tmp/zel_resume_fuzz_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        close(fd);
        path_ = pattern;
    }
    ~ScratchFile() { unlink(path_.c_str()); }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    if (size < 4) return 0;
    std::int32_t packageSize = 0;
    std::memcpy(&packageSize, data, 4);
    {
        std::ofstream out(scratch.Path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 4), static_cast<std::streamsize>(size - 4));
    }
    zel::ResumeState state;
    switch (zel::ReadResumeState(scratch.Path(), packageSize, &state)) {
        case zel::ResumeReadResult::NoSections:
            if (!state.segments.empty() || state.hasGlobal) std::abort();
            break;
        case zel::ResumeReadResult::Unusable:
            break;
        case zel::ResumeReadResult::Readable:
            if (state.segments.size() > static_cast<size_t>(zel::kMaxSegments)) std::abort();
            for (const zel::SegmentRange& range : state.segments) {
                if (range.start < 0 || range.length <= 0 ||
                    std::int64_t{range.start} + range.length > packageSize)
                    std::abort();
            }
            if (state.hasGlobal &&
                (state.totalDownloaded < 0 || state.totalDownloaded > packageSize))
                std::abort();
            break;
    }
    return 0;
}
