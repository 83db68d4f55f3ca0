// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends.
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
    // The folder as the engine expects it: ending in the path separator.
    std::string folder() const;
    // path() joined with name by this system's separator.
    std::string File(const std::string& name) const;

    // The file's bytes, replacing what was there; false on any failure.
    bool Write(const std::string& name, const std::string& bytes) const;
    // The file's bytes; empty when it cannot be read.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

  private:
    static unsigned long ProcessId();
    std::string path_;
};

// Writes bytes to a file, replacing it; false on any failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace zel
