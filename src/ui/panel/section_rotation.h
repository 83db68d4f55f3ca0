// Which section of the installation page the panel shows next. The page
// opens on "Home"; the rotation starts from "Protect", so its first step
// shows "Recover".
#pragma once

#include <string>

namespace zel {

// The page's sections in the order the rotation visits them.
constexpr const char* kPageSections[] = {"Home",    "Optimize", "Clean",
                                         "Protect", "Recover",  "Smart"};
constexpr int kPageSectionCount = 6;

// The section after `current`; any text that names no section but the last
// ("Smart" included) is followed by "Home". Case matters.
std::string NextSection(const std::string& current);

class SectionRotation {
  public:
    const std::string& Current() const { return current_; }
    // Moves on one section and gives the new current one.
    const std::string& Advance();

  private:
    std::string current_ = "Protect";
};

}  // namespace zel
