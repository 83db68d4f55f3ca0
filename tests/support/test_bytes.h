// Bytes for test files and answers: no short period, so that a piece landing
// at the wrong offset shows, and the same on every run and system.
#pragma once

#include <cstddef>
#include <string>

namespace zel {

std::string PseudoRandomBytes(std::size_t count);

// The SHA-1 of bytes as a manifest carries it: 40 upper-case hex digits.
std::string DigestOf(const std::string& bytes);

}  // namespace zel
