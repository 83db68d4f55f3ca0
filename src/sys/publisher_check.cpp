#include "sys/publisher_check.h"

namespace zel {

namespace {

bool IsByPublisher(const FileSignature& signature, const std::string& publisher) {
    return signature.status == trust::kVerified && !publisher.empty() &&
           signature.signer == publisher;
}

}  // namespace

FileSignature ReadFileSignature(const std::string& path) {
    HeldFile file;
    if (!file.Open(path)) return FileSignature{};
    return ReadFileSignature(file);
}

bool IsSignedBy(const HeldFile& file, const std::string& publisher) {
    return IsByPublisher(ReadFileSignature(file), publisher);
}

bool IsSignedBy(const std::string& path, const std::string& publisher) {
    return IsByPublisher(ReadFileSignature(path), publisher);
}

PublisherCheck PublisherCheckFor(const std::string& publisher) {
    if (publisher.empty()) return [](const std::string&) { return true; };
    return [publisher](const std::string& path) { return IsSignedBy(path, publisher); };
}

HeldPublisherCheck HeldPublisherCheckFor(const std::string& publisher) {
    if (publisher.empty()) return [](const HeldFile&) { return true; };
    return [publisher](const HeldFile& package) { return IsSignedBy(package, publisher); };
}

}  // namespace zel
