#include "support/internet_cache.h"

namespace zel::test {

bool CachedBySystem(const std::string&) {
    return false;
}

}  // namespace zel::test
