// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace zel::test {

class ScratchFolder {
  public:
    ScratchFolder() {
        static std::atomic<unsigned> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("zel-test-" + std::to_string(Pid()) + "-" + std::to_string(counter++));
            std::error_code error;
            if (std::filesystem::create_directory(path_, error)) break;
        }
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder as the engine expects it: ending in the path separator.
    std::string folder() const {
        return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

  private:
    static unsigned long Pid();
    std::filesystem::path path_;
};

}  // namespace zel::test
