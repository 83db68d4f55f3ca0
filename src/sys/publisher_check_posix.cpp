#include "sys/publisher_check.h"

namespace zel {

FileSignature ReadFileSignature(const HeldFile&) {
    // No Authenticode here: no file passes a publisher check natively.
    return FileSignature{trust::kUnavailable, std::string()};
}

}  // namespace zel
