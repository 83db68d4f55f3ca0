// One package from several mirrors on 127.0.0.1, each of its own speed per
// connection and per mirror: the real session controller and engine with
// and without sharing their ranges over the mirrors, or aria2c with the same
// addresses and as many connections.
//   mirrors_bench MIX MODE RUNS [--program-waits]
// MIX: slow-fast (four addresses: three slow at 100 KB/s per connection, the
// fourth fast at 2 MB/s), stall (two addresses at 1 MB/s per connection,
// the one the choice always lands on falls silent once it has sent a
// quarter of the package, half of its share), equal (four addresses at
// 1 MB/s per connection, 1.5 MB/s per mirror).
// MODE: new, today (the engine as it was: every segment on the chosen
// address, each to its own end) or aria2c. The engine runs with the tests'
// waits (none), or with the program's own with --program-waits.
// Prints one line per run: the time, the best possible time for two
// connections on these mirrors (with the program's waits, no less than the
// write pause allows) and the ratio, and the body bytes each mirror sent.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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
using zel::test::MirrorPace;

constexpr std::int32_t kPackageSize = 3 * 1024 * 1024;
constexpr int kConnections = 2;
constexpr const char* kManifestPath = "/zelv3.xml";
constexpr const char* kPackagePath = "/files/setup.exe";
constexpr int kRunLimitSeconds = 120;

struct MirrorSpeed {
    double perConnection = 0;  // bytes per second
    double perMirror = 0;      // 0: no cap of its own
    long long silentAfter = -1;
};

std::vector<MirrorSpeed> Mix(const std::string& name) {
    const double slow = 100e3;
    const double fast = 2e6;
    if (name == "slow-fast") return {{slow}, {slow}, {slow}, {fast, 4e6}};
    if (name == "stall") return {{1e6}, {1e6, 0, kPackageSize / 4}};
    if (name == "equal") return {{1e6, 1.5e6}, {1e6, 1.5e6}, {1e6, 1.5e6}, {1e6, 1.5e6}};
    return {};
}

// The best rate that many connections can have: each one in turn goes where
// it adds most.
double BestSeconds(const std::vector<MirrorSpeed>& mirrors, int connections) {
    std::vector<int> on(mirrors.size(), 0);
    auto rate = [&](std::size_t m, int n) {
        const double all = mirrors[m].perConnection * n;
        return mirrors[m].perMirror > 0 ? std::min(all, mirrors[m].perMirror) : all;
    };
    double total = 0;
    for (int c = 0; c < connections; ++c) {
        std::size_t best = 0;
        double gain = -1;
        for (std::size_t m = 0; m < mirrors.size(); ++m) {
            const double more = rate(m, on[m] + 1) - rate(m, on[m]);
            if (more > gain) {
                gain = more;
                best = m;
            }
        }
        ++on[best];
        total += gain;
    }
    return kPackageSize / total;
}

std::string Manifest(const std::vector<std::string>& urls, const std::string& digest) {
    std::string text =
        "<zel><alternate_url_count>" + std::to_string(urls.size()) + "</alternate_url_count>";
    for (const std::string& url : urls)
        text += "<alternate_setupurl>" + url + "</alternate_setupurl>";
    return text + "<flag>\"" + digest + "\"</flag></zel>";
}

// The engine's run, from the session's start to the package's launch; -1 when
// it did not end in time.
double RunEngine(const std::string& manifestUrl, bool share, bool programWaits,
                 const std::string& folder) {
    zel::Timings timings = programWaits ? zel::Timings() : zel::Timings::Instant();
    timings.shareRanges = share;
    zel::bench::QuietDialog dialog;
    zel::SessionController controller(dialog, timings, manifestUrl);
    controller.Engine().SetInstallFolder(folder);
    dialog.Attach(controller);
    const Clock::time_point start = Clock::now();
    controller.StartSessionThread();
    double seconds = -1;
    while (zel::bench::SecondsBetween(start, Clock::now()) < kRunLimitSeconds) {
        if (dialog.Ended()) {
            seconds = zel::bench::SecondsBetween(start, Clock::now());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dialog.Stop();
    controller.Engine().StopWorkers();
    return seconds;
}

double RunAria2c(const std::vector<std::string>& urls, const std::string& digest,
                 unsigned timeoutSeconds, const std::string& folder) {
    // aria2c splits nothing under 2 x --min-split-size (20 MiB by default):
    // at its least, 1 MiB, it may use both connections here. Its time-outs
    // are the engine's.
    std::string command =
        "aria2c -q -x" + std::to_string(kConnections) + " -s" + std::to_string(kConnections) +
        " -k1M --file-allocation=none --allow-overwrite=true"
        " --auto-file-renaming=false --max-tries=0 --retry-wait=0"
        " --timeout=" +
        std::to_string(timeoutSeconds) + " --connect-timeout=" + std::to_string(timeoutSeconds) +
        " --checksum=sha-1=" + digest + " -d " + folder + " -o setup.exe";
    for (const std::string& url : urls) command += " " + url;
    const Clock::time_point start = Clock::now();
    const int status = std::system(
        ("timeout " + std::to_string(kRunLimitSeconds) + " " + command + " >/dev/null 2>&1")
            .c_str());
    if (status != 0) return -1;
    return zel::bench::SecondsBetween(start, Clock::now());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s slow-fast|stall|equal new|today|aria2c RUNS [--program-waits]\n",
                     argv[0]);
        return 2;
    }
    const std::string mix = argv[1];
    const std::string mode = argv[2];
    const int runs = std::atoi(argv[3]);
    const bool programWaits = argc > 4 && !std::strcmp(argv[4], "--program-waits");
    const std::vector<MirrorSpeed> speeds = Mix(mix);
    if (speeds.empty() || runs <= 0 || (mode != "new" && mode != "today" && mode != "aria2c"))
        return 2;

    const std::string package = zel::PseudoRandomBytes(kPackageSize);
    const std::string digest = zel::DigestOf(package);
    const zel::Timings paced = programWaits ? zel::Timings() : zel::Timings::Instant();
    double best = BestSeconds(speeds, kConnections);
    // The write pause lets one piece through per pause, whatever the lines.
    if (paced.writePauseMs > 0)
        best = std::max(best, kPackageSize / (32768.0 * 1000 / paced.writePauseMs));
    for (int run = 1; run <= runs; ++run) {
        std::vector<std::unique_ptr<FixtureServer>> servers;
        std::vector<std::shared_ptr<MirrorPace>> paces;
        std::vector<std::string> urls;
        for (const MirrorSpeed& speed : speeds) {
            servers.push_back(std::make_unique<FixtureServer>());
            paces.push_back(std::make_shared<MirrorPace>(speed.perMirror, speed.silentAfter));
            FixtureServer::Faults faults;
            faults.bytesPerSecond = speed.perConnection;
            faults.mirror = paces.back();
            servers.back()->Serve(kPackagePath, package, faults);
            urls.push_back(servers.back()->Url(kPackagePath));
        }
        servers.front()->Serve(kManifestPath, Manifest(urls, digest));
        char folderTemplate[] = "/tmp/zel-mirrors-XXXXXX";
        const char* folder = mkdtemp(folderTemplate);
        if (!folder) return 1;
        double seconds = -1;
        if (mode == "aria2c")
            seconds = RunAria2c(urls, digest, paced.requestTimeoutMs / 1000, folder);
        else
            seconds = RunEngine(servers.front()->Url(kManifestPath), mode == "new", programWaits,
                                std::string(folder) + "/");
        std::printf("%s %s%s run=%d seconds=%.2f best=%.2f ratio=%.2f bytes:", mix.c_str(),
                    mode.c_str(), programWaits ? "-program-waits" : "", run, seconds, best,
                    seconds > 0 ? seconds / best : -1.0);
        for (std::size_t m = 0; m < paces.size(); ++m)
            std::printf(" m%zu=%lld", m, paces[m]->BytesSent());
        std::printf("\n");
        std::fflush(stdout);
        servers.clear();
        std::system((std::string("rm -rf ") + folder).c_str());
    }
    return 0;
}
