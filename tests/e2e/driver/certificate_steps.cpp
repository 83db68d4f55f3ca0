// Trust for the tests' own certificate authority, inside the Wine prefix the
// driver runs in (never the machine's): the local machine's "Root" store is
// where the internet library and the signature check look for authorities.
#include <windows.h>
// wincrypt.h needs the base types of windows.h, which leaves it out under
// WIN32_LEAN_AND_MEAN.
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "driver.h"

namespace zel::e2e {

namespace {

// An absolute Unix path names the same file on Wine's drive Z:.
std::string WindowsPath(const std::string& path) {
    return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

bool ReadWholeFile(const std::string& path, std::vector<BYTE>& bytes) {
    std::FILE* file = std::fopen(WindowsPath(path).c_str(), "rb");
    if (!file) return false;
    BYTE piece[4096];
    std::size_t got = 0;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0)
        bytes.insert(bytes.end(), piece, piece + got);
    std::fclose(file);
    return !bytes.empty();
}

}  // namespace

StepResult Driver::TrustRootCertificate(const Args& args) {
    std::vector<BYTE> der;
    if (!ReadWholeFile(args[0], der)) return {false, "cannot read " + Quoted(args[0])};
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (!store) return {false, "cannot open the local machine's Root store"};
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                        static_cast<DWORD>(der.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added)
        return {false, "the store refused the certificate (error " + std::to_string(error) + ")"};
    return {true, "trusted " + args[0]};
}

}  // namespace zel::e2e
