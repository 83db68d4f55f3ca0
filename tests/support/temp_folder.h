// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace zel {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends without a separator.
    const std::string& path() const { return path_; }
    // path() joined with name by this system's separator.
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Writes bytes to a file, replacing it; false on any failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace zel
