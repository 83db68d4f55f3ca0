// The manifest a test server hands out for one package at one address.
#pragma once

#include <cstddef>
#include <string>

namespace zel::test {

// digestText goes between the flag's double quotes as it stands, so a test
// can hand out a wrong or malformed digest.
std::string OneUrlManifest(const std::string& packageUrl, const std::string& digestText,
                           std::size_t packageSize);

}  // namespace zel::test
