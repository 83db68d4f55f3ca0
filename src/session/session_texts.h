// The texts the download session shows, exactly as the user sees them; those
// it shares with the engine are the engine's.
#pragma once

#include "engine/engine_texts.h"

namespace zel::texts {

inline constexpr const char* kTransportErrorQuestion = "Internet Error! Do you like to retry.";
inline constexpr const char* kCannotAllocate =
    "Cannot allocate space for a file.\nCheck free disk space.";
inline constexpr const char* kUnableToDownload = "Unable to download ZEL Setup";
inline constexpr const char* kDownloadFailed = "Download failed.\nPlease re-download it.";
inline constexpr const char* kDownloading = "Downloading ZEL v3 Setup.";
inline constexpr const char* kCompleted = "ZEL v3 Setup Download Completed.";
inline constexpr const char* kLaunching = "Please wait while it launches the ZEL v3 setup...";
inline constexpr const char* kPausedStatus = "ZEL v3 Setup Download Paused.";
inline constexpr const char* kRestartedStatus = "ZEL v3 Setup Download Restarted.";
// Followed by the percentage: "Total Progress Percentage:: 40".
inline constexpr const char* kProgressPrefix = "Total Progress Percentage:: ";
inline constexpr const char* kAlreadyPaused = "Already paused";
inline constexpr const char* kCannotStart = "Unable to start the download. Please try again.";
inline constexpr const char* kCancelQuestion = "Do you really want to cancel the installation?";

// Button texts.
inline constexpr const char* kPause = "Pause";
inline constexpr const char* kPausing = "Pausing...";
inline constexpr const char* kResume = "Resume";
inline constexpr const char* kResuming = "Resuming...";
inline constexpr const char* kRestart = "Restart";
inline constexpr const char* kRestarting = "Restarting...";
inline constexpr const char* kCanceling = "Canceling...";

}  // namespace zel::texts
