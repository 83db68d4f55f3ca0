// libFuzzer target: the manifest's fields. The input is read once as a whole
// manifest and once as lines "<k><value>", the digit k choosing the key
// (count, URL, flag, size, file name) that the value is handed to. Whatever
// the values, the count reads as atoi reads it, the URL choice stays within
// the alternates, the digest comes from between quotes, and a file name
// taken from a URL holds no slash.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/manifest/setup_manifest.h"
#include "sys/text.h"

namespace {

const char* const kKeys[] = {"alternate_url_count", "alternate_setupurl", "flag", "size",
                             "save_file_name",      "ALTERNATE_URL_COUNT"};

// The count as the C library reads it, held to 32 bits: the reference.
std::int32_t ReferenceCount(const std::string& value) {
    const std::string text = value.c_str();  // strtoll stops at a NUL too
    const long long read = std::strtoll(text.c_str(), nullptr, 10);
    if (read > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (read < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(read);
}

void CheckChoice(const zel::SetupManifest& m) {
    const std::int32_t n = m.alternateUrlCount;
    if (n <= 1 && m.chosenUrlIndex != 0) std::abort();
    if (n > 1 && (m.chosenUrlIndex < 1 || m.chosenUrlIndex >= n)) std::abort();
}

void Apply(zel::SetupManifest& m, const std::string& key, const std::string& value) {
    const std::string url = m.setupUrl;
    const std::int32_t taken = m.urlsTaken;
    const bool wanted = taken <= m.chosenUrlIndex;
    m.SetField(key, value);
    if (value.empty()) return;
    if (zel::SameTextNoCase(key, "alternate_url_count")) {
        if (m.alternateUrlCount != ReferenceCount(value)) std::abort();
    } else if (key == "alternate_setupurl") {
        // Taken up to the chosen position, then ignored.
        if (m.urlsTaken != taken + (wanted ? 1 : 0)) std::abort();
        if (wanted && (m.setupUrl != value || m.saveFileName.find('/') != std::string::npos))
            std::abort();
        if (!wanted && m.setupUrl != url) std::abort();
    } else if (key == "flag") {
        if (!m.setupHash.empty() &&
            (m.setupHash.size() + 2 > value.size() || value.find(m.setupHash) == std::string::npos))
            std::abort();
    } else if (key == "size") {
        if (m.sizeText != value) std::abort();
    }
    if (zel::SetupManifest::IsPlainFileName(m.saveFileName) &&
        m.saveFileName.find_first_of("/\\:") != std::string::npos)
        std::abort();
    CheckChoice(m);
}

std::uint32_t Ticks() {
    static std::uint32_t now = 0;
    return now += 7919;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    zel::SetupManifest whole;
    whole.tickSource = &Ticks;
    whole.Parse(text.c_str());
    CheckChoice(whole);

    zel::SetupManifest fields;
    fields.tickSource = &Ticks;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            const unsigned k = static_cast<unsigned char>(text[start]) % 6;
            Apply(fields, kKeys[k], text.substr(start + 1, end - start - 1));
        }
        start = end + 1;
    }
    return 0;
}
