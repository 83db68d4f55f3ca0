#include <windows.h>
// The lean windows.h leaves out the crypto API that wintrust.h builds on.
#include <wincrypt.h>
// clang-format off
#include <wintrust.h>
#include <softpub.h>
// clang-format on

#include <vector>

#include "sys/library_module.h"
#include "sys/publisher_check.h"

namespace zel {

static_assert(trust::kNoSignature == std::uint32_t(TRUST_E_NOSIGNATURE), "TRUST_E_NOSIGNATURE");
static_assert(trust::kBadDigest == std::uint32_t(TRUST_E_BAD_DIGEST), "TRUST_E_BAD_DIGEST");
static_assert(trust::kUnavailable == std::uint32_t(TRUST_E_PROVIDER_UNKNOWN),
              "TRUST_E_PROVIDER_UNKNOWN");

namespace {

// wintrust.dll and crypt32.dll are no known libraries: imported at load time
// they would be looked for beside the program. They are bound here, from the
// system folder, for the one check.
struct TrustApi {
    LibraryModule wintrust;
    LibraryModule crypt32;
    decltype(&::WinVerifyTrust) WinVerifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain = nullptr;
    decltype(&::CertGetNameStringA) CertGetNameStringA = nullptr;

    bool Bind() {
        if (!wintrust.Load("wintrust.dll") || !crypt32.Load("crypt32.dll")) return false;
        Entry(wintrust, "WinVerifyTrust", WinVerifyTrust);
        Entry(wintrust, "WTHelperProvDataFromStateData", WTHelperProvDataFromStateData);
        Entry(wintrust, "WTHelperGetProvSignerFromChain", WTHelperGetProvSignerFromChain);
        Entry(crypt32, "CertGetNameStringA", CertGetNameStringA);
        return WinVerifyTrust && WTHelperProvDataFromStateData && WTHelperGetProvSignerFromChain &&
               CertGetNameStringA;
    }

    template <typename Fn>
    static void Entry(const LibraryModule& module, const char* name, Fn& entry) {
        entry = reinterpret_cast<Fn>(module.FindExport(name));
    }
};

// The verification's state, which holds the signer's certificates until it
// is closed: the name is read from it, then it is released.
class Verification {
  public:
    // The trust library reads the file through handle, not by its name,
    // which only names it in what the library reports.
    Verification(const TrustApi& api, HANDLE handle, const std::wstring& path) : api_(api) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path.c_str();
        file_.hFile = handle;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        status_ = std::uint32_t(api_.WinVerifyTrust(HWND(INVALID_HANDLE_VALUE), &action_, &data_));
    }
    ~Verification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        api_.WinVerifyTrust(HWND(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    Verification(const Verification&) = delete;
    Verification& operator=(const Verification&) = delete;

    std::uint32_t Status() const { return status_; }

    // The first signer; null when there is none.
    CRYPT_PROVIDER_SGNR* Signer() const {
        CRYPT_PROVIDER_DATA* provider = api_.WTHelperProvDataFromStateData(data_.hWVTStateData);
        return provider ? api_.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    }

    // Wine's trust provider answers 0 for a signer whose chain ends at an
    // authority the machine does not trust, or nowhere (measured: Wine 8), where
    // Windows refuses it. The chain it built says so; the program refuses it
    // too, with Windows's reasons.
    std::uint32_t ChainStatus() const {
        const CRYPT_PROVIDER_SGNR* signer = Signer();
        if (!signer || !signer->pChainContext) return std::uint32_t(CERT_E_CHAINING);
        const DWORD errors = signer->pChainContext->TrustStatus.dwErrorStatus;
        if (errors & CERT_TRUST_IS_PARTIAL_CHAIN) return std::uint32_t(CERT_E_CHAINING);
        if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_CYCLIC))
            return std::uint32_t(CERT_E_UNTRUSTEDROOT);
        if (errors & (CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_NOT_SIGNATURE_VALID |
                      CERT_TRUST_IS_NOT_VALID_FOR_USAGE))
            return std::uint32_t(TRUST_E_FAIL);
        return trust::kVerified;
    }

    std::string LeafSignerName() const {
        const CRYPT_PROVIDER_SGNR* signer = Signer();
        if (!signer || signer->csCertChain == 0 || !signer->pasCertChain ||
            !signer->pasCertChain[0].pCert)
            return std::string();
        const PCCERT_CONTEXT leaf = signer->pasCertChain[0].pCert;
        const DWORD size =
            api_.CertGetNameStringA(leaf, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
        if (size <= 1) return std::string();
        std::vector<char> name(size);
        api_.CertGetNameStringA(leaf, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), size);
        return std::string(name.data());
    }

  private:
    const TrustApi& api_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    std::uint32_t status_ = trust::kUnavailable;
};

// The trust library takes the path in UTF-16; the program's paths are in
// the ANSI code page.
std::wstring WidePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()), &wide[0], length);
    return wide;
}

}  // namespace

FileSignature ReadFileSignature(const HeldFile& file) {
    FileSignature result;
    TrustApi api;
    const std::wstring widePath = WidePath(file.Path());
    const HANDLE handle = static_cast<HANDLE>(file.SystemHandle());
    if (!api.Bind() || widePath.empty() || !handle) return result;
    // From the first byte, whatever read the handle before.
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return result;
    const Verification verification(api, handle, widePath);
    result.status = verification.Status();
    if (result.status == trust::kVerified) result.status = verification.ChainStatus();
    if (result.status == trust::kVerified) result.signer = verification.LeafSignerName();
    return result;
}

}  // namespace zel
