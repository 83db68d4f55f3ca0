// How hard the program leans on a mirror whose fault lasts: the real session
// controller and engine with the program's own waits, against a fault server
// on 127.0.0.1, counted at the server for a bounded time.
//   retry_load_bench MODE SECONDS [--today] [--clients=N] [--recover-after=S]
// MODE: 404 (the package is missing: manifest HEAD and GET, package HEAD
// each pass) or wrong206 (every range answered with a 206 for another piece,
// each answer carrying up to 1.5 MiB). --today holds every retry loop at its
// first wait, as the program paced itself before its back-off. With
// --recover-after the fault ends after S seconds, and the time until every
// client holds the whole package is reported.
// Prints, per 30 s, the requests the server saw per client per minute, then a
// summary line.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "quiet_dialog.h"
#include "session/session_controller.h"
#include "support/fixture_server.h"
#include "support/test_bytes.h"

namespace {

using zel::bench::Clock;
using zel::test::FixtureServer;

constexpr std::int32_t kPackageSize = 3 * 1024 * 1024;
constexpr const char* kPackagePath = "/files/setup.exe";

std::string PackageBytes() {
    std::string bytes(static_cast<std::size_t>(kPackageSize), '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string Manifest(const std::string& url, const std::string& digest) {
    return "<zel><alternate_url_count>1</alternate_url_count><alternate_setupurl>" + url +
           "</alternate_setupurl><flag>\"" + digest + "\"</flag></zel>";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s 404|wrong206 SECONDS [--today] [--clients=N] "
                     "[--recover-after=S]\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const int seconds = std::atoi(argv[2]);
    bool today = false;
    int clients = 1;
    int recoverAfter = -1;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--today")) today = true;
        if (!std::strncmp(argv[i], "--clients=", 10)) clients = std::atoi(argv[i] + 10);
        if (!std::strncmp(argv[i], "--recover-after=", 16)) recoverAfter = std::atoi(argv[i] + 16);
    }
    if ((mode != "404" && mode != "wrong206") || seconds <= 0 || clients <= 0) return 2;

    const std::string package = PackageBytes();
    FixtureServer server;
    const std::string digest = zel::DigestOf(package);
    server.Serve("/zelv3.xml", Manifest(server.Url(kPackagePath), digest));
    FixtureServer::Faults wrong;
    wrong.contentRange = "bytes 1-1572864/" + std::to_string(kPackageSize + 1);
    if (mode == "wrong206") server.Serve(kPackagePath, package, wrong);

    // The program's own pacing; --today holds each loop at its first wait.
    zel::Timings timings;
    if (today) timings.backOffCapMs = 0;

    std::vector<std::unique_ptr<zel::bench::QuietDialog>> dialogs;
    std::vector<std::unique_ptr<zel::SessionController>> controllers;
    char folderTemplate[] = "/tmp/zel-retry-load-XXXXXX";
    const char* root = mkdtemp(folderTemplate);
    if (!root) return 1;
    for (int i = 0; i < clients; ++i) {
        dialogs.push_back(std::make_unique<zel::bench::QuietDialog>());
        controllers.push_back(std::make_unique<zel::SessionController>(*dialogs.back(), timings,
                                                                       server.Url("/zelv3.xml")));
        const std::string folder = std::string(root) + "/client" + std::to_string(i) + "/";
        std::system(("mkdir -p " + folder).c_str());
        controllers.back()->Engine().SetInstallFolder(folder);
        dialogs.back()->Attach(*controllers.back());
    }
    const Clock::time_point start = Clock::now();
    for (auto& controller : controllers) controller->StartSessionThread();

    std::printf("mode=%s pace=%s clients=%d\n", mode.c_str(), today ? "today" : "back-off",
                clients);
    const int bucket = 30;
    std::size_t counted = 0;
    bool recovered = false;
    Clock::time_point recoveredAt;
    double allDoneSeconds = -1;
    for (int elapsed = 0; elapsed < seconds;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ++elapsed;
        if (!recovered && recoverAfter >= 0 && elapsed >= recoverAfter) {
            server.Serve(kPackagePath, package);
            recovered = true;
            recoveredAt = Clock::now();
        }
        if (recovered && allDoneSeconds < 0) {
            bool all = true;
            for (auto& dialog : dialogs) all = all && dialog->Ended();
            if (all) allDoneSeconds = zel::bench::SecondsBetween(recoveredAt, Clock::now());
        }
        if (elapsed % bucket == 0 || elapsed == seconds) {
            const std::size_t now = server.RequestCount();
            const int span = elapsed % bucket == 0 ? bucket : elapsed % bucket;
            std::printf("t=%4ds requests=%5zu per_client_per_min=%.1f\n", elapsed, now - counted,
                        (now - counted) * 60.0 / span / clients);
            std::fflush(stdout);
            counted = now;
        }
        if (allDoneSeconds >= 0 && !recovered) break;
    }
    const double total = zel::bench::SecondsBetween(start, Clock::now());
    std::printf(
        "summary mode=%s pace=%s clients=%d seconds=%.0f requests=%zu "
        "per_client_per_min=%.1f",
        mode.c_str(), today ? "today" : "back-off", clients, total, server.RequestCount(),
        server.RequestCount() * 60.0 / total / clients);
    if (recovered) std::printf(" recovery_to_all_done_s=%.1f", allDoneSeconds);
    std::printf("\n");
    // The dialogs' threads call into the controllers: they stop first.
    for (auto& dialog : dialogs) dialog->Stop();
    controllers.clear();
    dialogs.clear();
    std::system((std::string("rm -rf ") + root).c_str());
    return 0;
}
