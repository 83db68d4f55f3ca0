#include "support/test_authority.h"

namespace zel::test {

bool TrustTestAuthority(const WinInetApi& api, InternetHandle session, const std::string& caPem) {
    if (!api.InternetSetOptionA || !session) return false;
    std::string path = caPem;
    return api.InternetSetOptionA(session, inet::kOptionNativeTrustedCaFile, &path[0],
                                  static_cast<Dword>(path.size())) != 0;
}

}  // namespace zel::test
