#include "support/test_bytes.h"

#include <cstdint>

#include "engine/digest/file_digest.h"

namespace zel {

// Digests some tests expect were taken with sha1sum over these very bytes:
// the generator and its seed must not change.
std::string PseudoRandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::uint32_t x = 0x2545F491u;
    for (std::size_t i = 0; i < count; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

std::string DigestOf(const std::string& bytes) {
    Sha1Context sha;
    sha.Update(bytes.data(), bytes.size());
    sha.Final();
    char hex[Sha1Context::kHexSize];
    sha.FormatHex(hex);
    return hex;
}

}  // namespace zel
