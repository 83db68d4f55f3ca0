// The SHA-1 block function in two builds: a portable one that runs
// everywhere, and one on the x86 SHA extensions that the digest picks when
// the processor has them. Both take whole 64-byte blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

using Sha1CompressFn = void (*)(uint32_t state[5], const uint8_t* blocks, size_t blockCount);

void Sha1CompressPortable(uint32_t state[5], const uint8_t* blocks, size_t blockCount);

// Null when this processor (or this build's target) has no SHA extensions.
Sha1CompressFn Sha1CompressAccelerated();

// The fastest block function this processor runs; chosen once.
Sha1CompressFn Sha1CompressBest();

}  // namespace zel
