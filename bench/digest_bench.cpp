// Times the file digest against sha1sum on one file, in the same run:
//   digest_bench FILE [RUNS]
// Prints the median speed of each and their ratio; the file should already be
// in the page cache so that both measure hashing, not the disk.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util.h"
#include "engine/digest/file_digest.h"

namespace {

using zel::bench::FileSize;
using zel::bench::MedianSeconds;

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    }
    return text;
}

// sha1sum's answer, upper-cased; the time includes starting the process,
// which on a file this size is noise.
std::string RunSha1sum(const std::string& path) {
    const std::string command = "sha1sum '" + path + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    return read ? Upper(std::string(line).substr(0, 40)) : "";
}

std::string DigestWith(zel::Sha1CompressFn compress, const std::string& path) {
    zel::Sha1Context context(compress);
    context.HashFile(path.c_str());
    context.Final();
    char text[zel::Sha1Context::kHexSize];
    context.FormatHex(text);
    return text;
}

void Report(const char* name, double seconds, long long bytes) {
    std::printf("%-28s %9.1f MB/s  (median %.3f s)\n", name, bytes / seconds / 1e6, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const long long bytes = FileSize(path);
    if (bytes <= 0) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 2;
    }

    std::string ours, portable, reference;
    const double oursSeconds = MedianSeconds(
        runs, [&] { return zel::ComputeFileDigest(path); }, ours);
    const double portableSeconds = MedianSeconds(
        runs, [&] { return DigestWith(&zel::Sha1CompressPortable, path); }, portable);
    const double referenceSeconds = MedianSeconds(
        runs, [&] { return RunSha1sum(path); }, reference);

    std::printf("file: %s, %lld bytes, median of %d runs each\n", path.c_str(), bytes, runs);
    std::printf("block function in use: %s\n", zel::Sha1CompressBest() == &zel::Sha1CompressPortable
                                                   ? "portable"
                                                   : "SHA extensions");
    Report("ComputeFileDigest", oursSeconds, bytes);
    Report("  portable block function", portableSeconds, bytes);
    Report("sha1sum", referenceSeconds, bytes);
    std::printf("ratio ComputeFileDigest / sha1sum: %.2f\n", referenceSeconds / oursSeconds);
    std::printf("ratio portable / sha1sum:          %.2f\n", referenceSeconds / portableSeconds);

    if (ours != reference || portable != reference) {
        std::printf("DIGESTS DIFFER: ours %s, portable %s, sha1sum %s\n", ours.c_str(),
                    portable.c_str(), reference.c_str());
        return 1;
    }
    std::printf("digests agree: %s\n", ours.c_str());
    return 0;
}
