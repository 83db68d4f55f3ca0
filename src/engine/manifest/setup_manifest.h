// What the setup manifest tells the program: where the package lies, under
// which name to save it and which digest it must have, plus a few values
// that travel with them (segment count, size, the digest saved for a resume).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/build_config.h"
#include "sys/multibyte.h"

namespace zel {

struct SetupManifest {
    std::string setupUrl;      // the chosen package URL
    std::string setupHash;     // expected SHA-1 as text
    std::string sizeText;      // the manifest's size text, kept as given
    std::string saveFileName;  // plain file name inside the install folder
    std::uint8_t threadCount = 2;
    std::int32_t totalSize = 0;
    std::string savedSetupHash;  // read back from the resume file
    std::int32_t alternateUrlCount = 0;
    std::int32_t chosenUrlIndex = 0;
    std::int32_t urlsTaken = 0;
    // Only https alternates are usable; the build's setting unless a test
    // says otherwise. Kept across readings.
    bool requireHttps = build::kRequireHttps;
    // Every usable "alternate_setupurl", in document order: where to go when
    // the chosen one keeps failing.
    std::vector<std::string> alternateUrls;

    // Millisecond tick readings that seed the URL choice; tests replace it
    // to walk the choice through many clock values.
    std::function<std::uint32_t()> tickSource;

    SetupManifest();

    // Empties the four texts and the alternates; numbers, threadCount and
    // savedSetupHash stay.
    void Clear();

    // Reads a manifest (NUL-terminated bytes) into the members. False only
    // when the reading was cut short by an exception; a malformed document
    // simply yields nothing.
    bool Parse(const char* text);

    // Applies one key (any case) and its trimmed value; empty values and
    // unknown keys are ignored.
    void SetField(const std::string& name, const std::string& value);

    // Picks the alternate URL to take and stores it in chosenUrlIndex: 0 for
    // a count of 1 or less, otherwise between 1 and count - 1.
    std::int32_t PickUrlIndex();

    // True when an alternate address may be taken for the package: any one,
    // or with https required only an https one. The choice passes over the
    // others as if the manifest did not list them.
    static bool IsUsableAlternateUrl(const std::string& url, bool requireHttps);
    // Whether a listed alternate may be fetched from at all.
    static bool IsUsableAlternate(const std::string& url);

    // False for anything that could leave the install folder or name a
    // device: empty, ".", "..", separators, drive colons, control
    // characters, <>"|?*, and CON, PRN, AUX, NUL, COM1-9, LPT1-9. Double-byte
    // characters of the ANSI code page are taken whole.
    static bool IsPlainFileName(const std::string& name,
                                LeadBytePredicate isLeadByte = &IsLeadByte);
};

// How much trouble an address has given lately: 0 none, higher for a more
// recent failure.
using TroubleRank = std::function<std::uint64_t(const std::string& url)>;

// The position among alternates to fetch from, given the position chosen:
// the chosen one while it is usable and gives no trouble; otherwise the
// usable alternate with the least trouble, the first such after the chosen
// one in document order (going round). -1 when none is usable.
std::int32_t ChooseAlternate(const std::vector<std::string>& alternates, std::int32_t chosen,
                             const TroubleRank& trouble);

}  // namespace zel
