#include "engine/manifest/setup_manifest.h"

#include <cstring>

#include "sys/clock.h"
#include "sys/decimal_number.h"
#include "sys/pseudo_random.h"
#include "sys/text.h"
#include "xml/xml_reader.h"

namespace zel {

namespace {

// The text between the first and the last double quote; nothing when there
// are fewer than two.
std::string BetweenQuotes(const std::string& text) {
    std::size_t first = text.find('"');
    std::size_t last = text.rfind('"');
    if (first == std::string::npos || last == first) return std::string();
    return text.substr(first + 1, last - first - 1);
}

std::string AfterLastSlash(const std::string& text) {
    std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

bool IsDeviceName(const std::string& name) {
    // The part before the first dot, with the trailing spaces Windows drops.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0))
        return base[3] >= '1' && base[3] <= '9';
    return false;
}

}  // namespace

SetupManifest::SetupManifest() : tickSource(&TickCount) {}

void SetupManifest::Clear() {
    setupUrl.clear();
    setupHash.clear();
    sizeText.clear();
    saveFileName.clear();
    alternateUrls.clear();
}

bool SetupManifest::Parse(const char* text) {
    chosenUrlIndex = 0;
    urlsTaken = 0;
    try {
        CXmlReader reader;
        Clear();
        reader.LoadDocument(text);
        reader.ResetPosition();
        // Walks every element below the document element; leaving an element
        // hands its text to SetField (empty, and so ignored, for elements
        // that have children).
        bool done = false;
        while (!done) {
            reader.EnterElement();
            std::string tag = reader.GetMainTagName();
            bool found = reader.FindNextChildElement();
            while (!found && !done) {
                if (!reader.LeaveElement()) {
                    done = true;
                } else {
                    SetField(tag, TrimWhiteSpace(reader.GetChildText()));
                    found = reader.FindNextChildElement();
                }
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

void SetupManifest::SetField(const std::string& name, const std::string& value) {
    if (value.empty()) return;
    if (SameTextNoCase(name, "alternate_url_count")) {
        alternateUrlCount = LeadingInt32(value);
        chosenUrlIndex = PickUrlIndex();
    } else if (SameTextNoCase(name, "alternate_setupurl")) {
        if (!IsUsableAlternateUrl(value, requireHttps)) return;
        alternateUrls.push_back(value);
        if (urlsTaken <= chosenUrlIndex) {
            ++urlsTaken;
            setupUrl = value;
            saveFileName = AfterLastSlash(value);
        }
    } else if (SameTextNoCase(name, "flag")) {
        setupHash = BetweenQuotes(value);
    } else if (SameTextNoCase(name, "size")) {
        sizeText = value;
    } else if (SameTextNoCase(name, "save_file_name")) {
        saveFileName = value;
    }
}

std::int32_t SetupManifest::PickUrlIndex() {
    const std::int32_t n = alternateUrlCount;
    std::int32_t x = 0;
    // A count of 1 or less (also 0, negative or no digits) has one choice:
    // the first URL; the modulo below would be meaningless for it.
    if (n > 1) {
        auto low16 = [](std::uint32_t tick) {
            return static_cast<std::uint32_t>(static_cast<std::int32_t>(
                static_cast<std::int16_t>(static_cast<std::uint16_t>(tick & 0xFFFFu))));
        };
        std::uint32_t seed = low16(tickSource()) + tickSource();
        PseudoRandom random(seed);
        std::uint32_t s = low16(tickSource()) + static_cast<std::uint32_t>(random.Next());
        std::uint32_t product = tickSource() * s;
        x = static_cast<std::int32_t>(product % static_cast<std::uint32_t>(n));
        if (x < 1) x = 1;
        if (x >= n) x = n - 1;
    }
    chosenUrlIndex = x;
    return x;
}

bool SetupManifest::IsUsableAlternateUrl(const std::string& url, bool requireHttps) {
    static const std::string kHttps = "https://";
    return !requireHttps ||
           (url.size() > kHttps.size() && SameTextNoCase(url.substr(0, kHttps.size()), kHttps));
}

bool SetupManifest::IsUsableAlternate(const std::string& url) {
    return !url.empty();
}

std::int32_t ChooseAlternate(const std::vector<std::string>& alternates, std::int32_t chosen,
                             const TroubleRank& trouble) {
    const std::int32_t count = static_cast<std::int32_t>(alternates.size());
    if (count == 0) return -1;
    if (chosen < 0 || chosen >= count) chosen = count - 1;
    std::int32_t best = -1;
    std::uint64_t bestRank = 0;
    // The chosen one is looked at first, then the others from just after it.
    for (std::int32_t step = 0; step < count; ++step) {
        const std::int32_t at = (chosen + step) % count;
        const std::string& url = alternates[static_cast<std::size_t>(at)];
        if (!SetupManifest::IsUsableAlternate(url)) continue;
        const std::uint64_t rank = trouble ? trouble(url) : 0;
        if (rank == 0) return at;
        if (best < 0 || rank < bestRank) {
            best = at;
            bestRank = rank;
        }
    }
    return best;
}

bool SetupManifest::IsPlainFileName(const std::string& name, LeadBytePredicate isLeadByte) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_not_of(". ") == std::string::npos)
        return false;  // Windows trims these away
    for (std::size_t at = 0; at < name.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        // The second byte of a double-byte character may be any value from
        // 0x40 up, '\\' and '|' among them; the system reads the pair as one
        // character, so it is passed over whole.
        if (at + 1 < name.size() && isLeadByte(c)) {
            ++at;
            continue;
        }
        if (c < 0x20 || c == 0x7F) return false;
        if (std::strchr("/\\:<>\"|?*", c) && c != '\0') return false;
    }
    return !IsDeviceName(name);
}

}  // namespace zel
