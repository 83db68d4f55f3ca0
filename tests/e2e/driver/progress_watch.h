// Follows the progress bar and the status line through a download: the bar
// must rise and never fall, and the status line's percentage must agree with
// the bar.
#pragma once

#include <string>
#include <vector>

namespace zel::e2e {

inline constexpr char kPercentText[] = "Total Progress Percentage:: ";

class ProgressWatch {
  public:
    // One look: the bar, then the status line, then the bar again. The
    // program sets the two one after the other, so the line's percentage
    // lies between the two readings of the bar, give or take one write.
    void Add(int barBefore, const std::string& statusLine, int barAfter);

    // Empty when the watch saw what a user should see; else what was wrong.
    std::string Problem() const;

    // The distinct positions seen, in order.
    std::string Positions() const;

    bool Full() const { return !positions_.empty() && positions_.back() >= 100; }

  private:
    void AddPosition(int position);
    void CheckPercentText(int barBefore, const std::string& statusLine, int barAfter);

    std::vector<int> positions_;
    int percentTexts_ = 0;
    std::string problem_;
};

}  // namespace zel::e2e
