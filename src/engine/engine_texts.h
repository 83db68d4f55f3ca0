// The texts the download engine shows, exactly as the user sees them. The
// session shows some of them too, when its own pass meets the same trouble.
#pragma once

namespace zel::texts {

inline constexpr const char* kCollectingInfo = "Collecting ZEL v3 Setup Info";
inline constexpr const char* kInternetError = "Internet Error.";
inline constexpr const char* kInternetErrorRetryQuestion =
    "Internet Error. Click \"Yes\" to retry or click \"No\" to cancel.";
inline constexpr const char* kFailedForInternetError = "Download failed due to Internet Error!";
inline constexpr const char* kNoDownloadInformation = "Not able to collect download information!";
inline constexpr const char* kSetupFileNotFound = "Setup file not found";
inline constexpr const char* kRetryDownload = "Please retry to download setup file";

}  // namespace zel::texts
