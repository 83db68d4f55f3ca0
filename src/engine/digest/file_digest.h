// SHA-1 of a file's contents as 40 upper-case hexadecimal digits: the text
// the finished package is checked against (compared without regard to case).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/digest/sha1_compress.h"
#include "sys/held_file.h"

namespace zel {

class Sha1Context {
  public:
    static constexpr size_t kDigestSize = 20;
    static constexpr size_t kHexSize = 2 * kDigestSize + 1;  // with the terminating NUL
    static constexpr size_t kFilePieceSize = 8000;

    Sha1Context() : Sha1Context(Sha1CompressBest()) {}
    // Tests pass a particular block function to check each one.
    explicit Sha1Context(Sha1CompressFn compress) : compress_(compress) { Reset(); }

    void Reset();
    void Update(const void* bytes, size_t count);
    // True when the whole file was read; whatever was read is hashed either way.
    bool HashFile(const char* path);
    // The same through a file already held open (from its first byte), so
    // that what is hashed is what stays held.
    bool HashFile(const HeldFile& file);
    // Takes the digest and clears the running state.
    void Final();
    // destination: at least kHexSize bytes. False when there is none.
    bool FormatHex(char* destination) const;

    const uint8_t* Digest() const { return digest_; }

  private:
    Sha1CompressFn compress_;
    uint32_t state_[5];
    uint32_t countLow_;  // message length in bits, low and high words
    uint32_t countHigh_;
    uint8_t block_[64];
    uint8_t digest_[kDigestSize];
};

// The digest text of the file; an unreadable file gives the digest of the
// bytes that could be read (the empty-input digest when it cannot be opened).
std::string ComputeFileDigest(const std::string& path);
// The digest text of a held file; a short read gives a text that matches
// nothing, as above.
std::string ComputeFileDigest(const HeldFile& file);

}  // namespace zel
