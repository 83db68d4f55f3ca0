// Everything a whole-session test stands on: a fixture HTTP server serving
// the manifest and the package, the install folder in a data folder of the
// test's own, the switchable connection, the scripted dialog and the real
// session controller with its real engine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/timings.h"
#include "session/session_controller.h"
#include "support/data_folder.h"
#include "support/fake_connection.h"
#include "support/fixture_server.h"
#include "support/scripted_dialog.h"

namespace zel::test {

class SessionBench {
  public:
    static constexpr const char* kPackagePath = "/files/setup.exe";
    static constexpr const char* kManifestPath = "/zelv3.xml";

    // No pauses, short polls.
    static Timings FastTimings();
    // As fast, but every 32 KiB write holds the write lock this long, so that
    // the test can act while the workers are still writing.
    static Timings SlowWrites(unsigned writePauseMs);

    explicit SessionBench(const Timings& timings = FastTimings());
    ~SessionBench();

    // Serves a package of size deterministic bytes and the manifest naming
    // it with its real digest (or with digestText when given).
    void ServePackage(std::int32_t size, const ServeFaults& faults = ServeFaults(),
                      const std::string& digestText = std::string());
    // The manifest naming packageUrl (the bench's own package when empty).
    void ServeManifest(const std::string& digestText, const std::string& packageUrl = "");

    // Makes the controller (before the first session, for tests that set
    // something up on it) and starts the first session.
    SessionController& MakeController();
    void Start();

    std::string InstallFolder() const;
    std::string PackageFile() const { return InstallFolder() + "setup.exe"; }
    std::string StateFile() const { return InstallFolder() + "zelv3chunks.txt"; }
    std::string ReadPackageFile() const;
    // The package file holds the whole package and was launched, once.
    ::testing::AssertionResult PackageDeliveredAndLaunchedOnce() const;

    // GET requests of the package, from request number `from` on.
    std::vector<FixtureServer::Request> PackageGets(std::size_t from = 0) const;
    // The bytes those GETs asked for, from their Range headers.
    std::int64_t BytesAskedFor(std::size_t from = 0) const;
    std::size_t ManifestRequests() const;

    const std::string& Package() const { return package_; }
    const std::string& Digest() const { return digest_; }

    FixtureServer server;
    FakeConnection connection;
    ScopedDataFolder data;
    ScriptedDialog dialog;
    std::unique_ptr<SessionController> controller;

  private:
    Timings timings_;
    std::string package_;
    std::string digest_;
};

// The percentage text the status line shows.
std::string ProgressText(int percent);
// "bytes=a-b" -> b - a + 1; 0 for anything else.
std::int64_t RangeLength(const std::string& rangeHeader);
std::int64_t RangeStart(const std::string& rangeHeader);

}  // namespace zel::test
