// Reading the head of a request the tests' servers received.
#pragma once

#include <string>

namespace zel::test {

// The value of the first header called name (in any case) among the CRLF
// lines of head, without white space at either end; empty when none.
std::string HeaderValue(const std::string& head, const std::string& name);

}  // namespace zel::test
