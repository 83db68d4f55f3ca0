#include "support/session_bench.h"

#include <cstdio>

#include "support/manifest_text.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"

namespace zel::test {

Timings SessionBench::FastTimings() {
    Timings timings = Timings::Instant();
    timings.connectivityWaitMs = 1;
    timings.workerPollMs = 1;
    return timings;
}

Timings SessionBench::SlowWrites(unsigned writePauseMs) {
    Timings timings = FastTimings();
    timings.writePauseMs = writePauseMs;
    return timings;
}

SessionBench::SessionBench(const Timings& timings) : timings_(timings) {}

SessionBench::~SessionBench() {
    // The controller stops its threads and workers before the server, the
    // data folder and the dialog go.
    controller.reset();
}

void SessionBench::ServePackage(std::int32_t size, const ServeFaults& faults,
                                const std::string& digestText) {
    package_ = PseudoRandomBytes(static_cast<std::size_t>(size));
    digest_ = DigestOf(package_);
    server.Serve(kPackagePath, package_, faults);
    ServeManifest(digestText.empty() ? digest_ : digestText);
}

void SessionBench::ServeManifest(const std::string& digestText, const std::string& packageUrl) {
    server.Serve(kManifestPath,
                 OneUrlManifest(packageUrl.empty() ? server.Url(kPackagePath) : packageUrl,
                                digestText, package_.size()));
}

SessionController& SessionBench::MakeController() {
    controller = std::make_unique<SessionController>(dialog, timings_, server.Url(kManifestPath),
                                                     connection.Binder());
    dialog.Attach(*controller);
    return *controller;
}

void SessionBench::Start() {
    if (!controller) MakeController();
    controller->StartSessionThread();
}

std::string SessionBench::InstallFolder() const {
    return controller ? controller->Engine().InstallFolder() : std::string();
}

std::string SessionBench::ReadPackageFile() const {
    return ReadWholeFile(PackageFile());
}

::testing::AssertionResult SessionBench::PackageDeliveredAndLaunchedOnce() const {
    if (ReadPackageFile() != Package())
        return ::testing::AssertionFailure() << "the package file does not hold the package";
    const std::size_t launches = dialog.Launches().size();
    if (launches != 1)
        return ::testing::AssertionFailure() << "launched " << launches << " times, not once";
    return ::testing::AssertionSuccess();
}

std::vector<FixtureServer::Request> SessionBench::PackageGets(std::size_t from) const {
    std::vector<FixtureServer::Request> gets;
    const auto requests = server.Requests();
    for (std::size_t i = from; i < requests.size(); ++i) {
        if (requests[i].method == "GET" && requests[i].path == kPackagePath)
            gets.push_back(requests[i]);
    }
    return gets;
}

std::int64_t SessionBench::BytesAskedFor(std::size_t from) const {
    std::int64_t total = 0;
    for (const auto& get : PackageGets(from)) total += RangeLength(get.range);
    return total;
}

std::size_t SessionBench::ManifestRequests() const {
    std::size_t count = 0;
    for (const auto& request : server.Requests()) count += request.path == kManifestPath;
    return count;
}

std::string ProgressText(int percent) {
    return "Total Progress Percentage:: " + std::to_string(percent);
}

std::int64_t RangeStart(const std::string& rangeHeader) {
    long long first = 0, last = 0;
    if (std::sscanf(rangeHeader.c_str(), "bytes=%lld-%lld", &first, &last) != 2) return -1;
    return first;
}

std::int64_t RangeLength(const std::string& rangeHeader) {
    long long first = 0, last = 0;
    if (std::sscanf(rangeHeader.c_str(), "bytes=%lld-%lld", &first, &last) != 2) return 0;
    return last - first + 1;
}

}  // namespace zel::test
