// Checks that a record holds some entries in a given order, with anything
// between them.
#pragma once

#include <string>
#include <vector>

namespace zel::test {

inline bool ContainsInOrder(const std::vector<std::string>& record,
                            const std::vector<std::string>& wanted) {
    std::size_t next = 0;
    for (const auto& entry : record) {
        if (next < wanted.size() && entry == wanted[next]) ++next;
    }
    return next == wanted.size();
}

}  // namespace zel::test
