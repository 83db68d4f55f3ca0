#include "support/manifest_text.h"

namespace zel::test {

std::string OneUrlManifest(const std::string& packageUrl, const std::string& digestText,
                           std::size_t packageSize) {
    return "<?xml version=\"1.0\"?>\n<zel>\n"
           "  <alternate_url_count>1</alternate_url_count>\n"
           "  <alternate_setupurl>" +
           packageUrl +
           "</alternate_setupurl>\n"
           "  <flag>\"" +
           digestText + "\"</flag>\n  <size>" + std::to_string(packageSize) + "</size>\n</zel>\n";
}

}  // namespace zel::test
