#include "ui/panel/section_rotation.h"

namespace zel {

std::string NextSection(const std::string& current) {
    for (int i = 0; i + 1 < kPageSectionCount; ++i) {
        if (current == kPageSections[i]) return kPageSections[i + 1];
    }
    return kPageSections[0];
}

const std::string& SectionRotation::Advance() {
    current_ = NextSection(current_);
    return current_;
}

}  // namespace zel
