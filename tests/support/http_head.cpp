#include "support/http_head.h"

#include "sys/text.h"

namespace zel::test {

std::string HeaderValue(const std::string& head, const std::string& name) {
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            SameTextNoCase(TrimWhiteSpace(line.substr(0, colon)), name))
            return TrimWhiteSpace(line.substr(colon + 1));
        start = end + 2;
    }
    return std::string();
}

}  // namespace zel::test
