#include <windows.h>
// wincrypt.h needs the base types of windows.h, which leaves it out under
// WIN32_LEAN_AND_MEAN.
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/test_authority.h"

namespace zel::test {

namespace {

// An absolute Unix path (as the environment hands it over) names the same
// file on Wine's drive Z:.
std::string WindowsPath(const std::string& path) {
    return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

}  // namespace

bool TrustTestAuthority(const WinInetApi&, InternetHandle, const std::string& caPem) {
    std::string der = caPem;
    const std::size_t dot = der.rfind('.');
    if (dot == std::string::npos) return false;
    der = WindowsPath(der.substr(0, dot) + ".der");
    std::vector<BYTE> bytes;
    if (std::FILE* file = std::fopen(der.c_str(), "rb")) {
        BYTE piece[4096];
        std::size_t got = 0;
        while ((got = std::fread(piece, 1, sizeof piece, file)) > 0)
            bytes.insert(bytes.end(), piece, piece + got);
        std::fclose(file);
    }
    if (bytes.empty()) return false;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (!store) return false;
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, bytes.data(),
                                                        static_cast<DWORD>(bytes.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added != 0;
}

namespace {

// Wine's certificate chain engine reads the Root store once per process, at
// the first chain it builds: an authority added after that (say after a
// signature check of another test) is never seen by the TLS tests. The
// nginx fixture's authority is therefore trusted before any test runs.
const bool kFixtureAuthorityTrusted = [] {
    const char* caPem = std::getenv("ZEL_NGINX_TEST_CA");
    return caPem && TrustTestAuthority(WinInetApi(), nullptr, caPem);
}();

}  // namespace

}  // namespace zel::test
