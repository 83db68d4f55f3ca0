#include "progress_watch.h"

#include <algorithm>
#include <cstdlib>

namespace zel::e2e {

namespace {

// One 32 KiB write of a package of a megabyte or more moves the bar by less
// than this many percent.
constexpr int kOneWriteSlack = 2;
// A bar that a user sees rise shows at least this many positions between
// empty and full.
constexpr int kRisingPositions = 3;

bool ParsePercent(const std::string& text, int& percent) {
    const std::string prefix = kPercentText;
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string digits = text.substr(prefix.size());
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    percent = std::atoi(digits.c_str());
    return true;
}

}  // namespace

void ProgressWatch::Add(int barBefore, const std::string& statusLine, int barAfter) {
    if (barBefore < 0 || barAfter < 0) return;  // the dialog went away while looking
    AddPosition(barBefore);
    AddPosition(barAfter);
    CheckPercentText(barBefore, statusLine, barAfter);
}

void ProgressWatch::AddPosition(int position) {
    if (!positions_.empty() && position < positions_.back() && problem_.empty()) {
        problem_ = "the bar fell from " + std::to_string(positions_.back()) + " to " +
                   std::to_string(position);
    }
    if (positions_.empty() || position != positions_.back()) positions_.push_back(position);
}

void ProgressWatch::CheckPercentText(int barBefore, const std::string& statusLine, int barAfter) {
    if (statusLine.compare(0, 5, "Total") != 0) return;  // another stage's text
    int percent = -1;
    if (!ParsePercent(statusLine, percent) || percent > 100) {
        if (problem_.empty()) problem_ = "the status line reads \"" + statusLine + "\"";
        return;
    }
    ++percentTexts_;
    if ((percent < barBefore - kOneWriteSlack || percent > barAfter + kOneWriteSlack) &&
        problem_.empty()) {
        problem_ = "the status line reads \"" + statusLine + "\" while the bar stands at " +
                   std::to_string(barBefore) + ".." + std::to_string(barAfter);
    }
}

std::string ProgressWatch::Problem() const {
    if (!problem_.empty()) return problem_;
    int between = static_cast<int>(std::count_if(positions_.begin(), positions_.end(),
                                                 [](int p) { return p > 0 && p < 100; }));
    if (between < kRisingPositions) return "the bar did not rise: " + Positions();
    if (percentTexts_ == 0)
        return std::string("the status line never read \"") + kPercentText + "N\"";
    return std::string();
}

std::string ProgressWatch::Positions() const {
    std::string text;
    for (int position : positions_) {
        if (!text.empty()) text += ' ';
        text += std::to_string(position);
    }
    return text.empty() ? "(none)" : text;
}

}  // namespace zel::e2e
