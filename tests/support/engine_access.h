// The one way tests reach inside a DownloadEngine: the segment records and
// the hooks their workers call (which a test may wrap before the worker
// starts), the worker launcher, and readings of the session and the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/download_engine.h"

namespace zel::test {

class EngineAccess {
  public:
    static std::size_t SegmentCount(DownloadEngine& engine) { return engine.plan_.Count(); }
    static CThread& Segment(DownloadEngine& engine, std::size_t index) {
        return engine.plan_.At(index).record;
    }
    static WorkerHooks& Hooks(DownloadEngine& engine, std::size_t index) {
        return engine.plan_.At(index).hooks;
    }
    // Replaces how worker threads are made (one that fails on purpose, say).
    static void SetWorkerLauncher(DownloadEngine& engine, ThreadLauncher launcher) {
        engine.workerThreads_.SetLauncher(std::move(launcher));
    }
    static bool IsTargetFileOpen(const DownloadEngine& engine) {
        return engine.plan_.IsPackageOpen();
    }
    static const std::vector<std::string>& ErrorList(const DownloadEngine& engine) {
        return engine.session_.ErrorList();
    }
    static InternetHandle InternetSession(const DownloadEngine& engine) {
        return engine.session_.Handle();
    }
    static const WinInetApi& InternetApi(const DownloadEngine& engine) {
        return engine.session_.Api();
    }
    static EngineDialog* NotifyWindow(const DownloadEngine& engine) {
        return engine.notifyWindow_.load();
    }
    static void PostToNotifyWindow(const DownloadEngine& engine, unsigned message,
                                   std::uintptr_t wParam, std::intptr_t lParam) {
        engine.PostToNotifyWindow(message, wParam, lParam);
    }
};

}  // namespace zel::test
