#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zel {
namespace fs = std::filesystem;

namespace {

// The running test's name, kept to characters every file system takes (a
// parameterised test's name holds a '/').
std::string TestNamePiece() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return std::string();
    std::string name = info->name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name + '-';
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const fs::path base = fs::temp_directory_path();
    const std::string prefix = "zel-test-" + TestNamePiece() + std::to_string(ProcessId()) + '-';
    // The process id and a counter make the name unique; a folder left over by
    // an earlier process with the same id is stepped over, never shared.
    for (;;) {
        fs::path folder = base / (prefix + std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(folder, error)) {
            path_ = folder.string();
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // A test may leave read-only folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

std::string TempFolder::folder() const {
    return path_ + static_cast<char>(fs::path::preferred_separator);
}

std::string TempFolder::File(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

bool TempFolder::Write(const std::string& name, const std::string& bytes) const {
    return WriteWholeFile(File(name), bytes);
}

std::string TempFolder::Read(const std::string& name) const {
    return ReadWholeFile(File(name));
}

bool TempFolder::Exists(const std::string& name) const {
    return fs::exists(fs::path(path_) / name);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace zel
