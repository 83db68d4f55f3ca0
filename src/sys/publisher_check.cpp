#include "sys/publisher_check.h"

namespace zel {

bool IsSignedBy(const std::string& path, const std::string& publisher) {
    const FileSignature signature = ReadFileSignature(path);
    return signature.status == trust::kVerified && !publisher.empty() &&
           signature.signer == publisher;
}

PublisherCheck PublisherCheckFor(const std::string& publisher) {
    if (publisher.empty()) return [](const std::string&) { return true; };
    return [publisher](const std::string& path) { return IsSignedBy(path, publisher); };
}

}  // namespace zel
