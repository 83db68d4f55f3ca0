#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace zel {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::random_device random;
    std::string name = "zel-test-";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name += info->name();
        name += '-';
    }
    name += std::to_string(random()) + std::to_string(random());
    fs::path folder = fs::temp_directory_path() / name;
    fs::create_directories(folder);
    path_ = folder.string();
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

std::string TempFolder::File(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace zel
