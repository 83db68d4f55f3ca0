// Trust in the tests' own certificate authority (tests/support/test-pki), for
// one internet session: natively through the adapters' test-only setting,
// under Windows by adding it to the local machine's Root store of the test
// program's private Wine prefix. Never the machine's own trust store.
#pragma once

#include <string>

#include "engine/transport/wininet_api.h"

namespace zel::test {

// caPem is the authority's PEM file; its DER twin lies beside it (.der).
// False when the trust could not be given.
bool TrustTestAuthority(const WinInetApi& api, InternetHandle session, const std::string& caPem);

}  // namespace zel::test
