// Who signed a file, and whether that signature holds: Authenticode on
// Windows, checked by the system's trust library. The program launches what
// it downloaded as administrator; a distributor who signs the package names
// its publisher when building, and then nothing else is launched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sys/held_file.h"

namespace zel {

// The system's answers the program and its tests rely on (HRESULTs).
namespace trust {
constexpr std::uint32_t kVerified = 0;
// No trust provider could be asked: the trust library is missing, or the
// build has none (natively). TRUST_E_PROVIDER_UNKNOWN.
constexpr std::uint32_t kUnavailable = 0x800B0001;
constexpr std::uint32_t kNoSignature = 0x800B0100;  // TRUST_E_NOSIGNATURE
constexpr std::uint32_t kBadDigest = 0x80096010;    // TRUST_E_BAD_DIGEST: changed after signing
}  // namespace trust

struct FileSignature {
    // kVerified when the file's signature and its chain up to a trusted root
    // hold; otherwise the system's reason.
    std::uint32_t status = trust::kUnavailable;
    // The leaf signer's simple display name; only read when verified.
    std::string signer;
};

// Checks the file's signature without any user interface and without asking
// the network about revocation. The held file is read through its own
// opening only; the path's form holds the file itself while it checks.
FileSignature ReadFileSignature(const HeldFile& file);
FileSignature ReadFileSignature(const std::string& path);

// True only when the file's signature verifies and its leaf signer's simple
// display name is exactly publisher.
bool IsSignedBy(const HeldFile& file, const std::string& publisher);
bool IsSignedBy(const std::string& path, const std::string& publisher);

// Decides whether the package at a path may be launched.
using PublisherCheck = std::function<bool(const std::string& packagePath)>;
// The same for the package held open since its digest was checked.
using HeldPublisherCheck = std::function<bool(const HeldFile& package)>;

// The check a build makes: none when publisher is empty (every package
// passes, as in a build without the setting), else IsSignedBy(publisher).
PublisherCheck PublisherCheckFor(const std::string& publisher);
HeldPublisherCheck HeldPublisherCheckFor(const std::string& publisher);

}  // namespace zel
