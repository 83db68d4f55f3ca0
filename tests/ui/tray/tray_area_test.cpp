#include "ui/tray/tray_area.h"

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

namespace zel {

std::ostream& operator<<(std::ostream& out, const ScreenRect& r) {
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

// A screen made to order: a taskbar window with children, an appbar answer,
// a work area; each may be missing.
struct FakeScreen : TrayAreaProbe {
    bool hasTaskbar = false;
    ScreenRect taskbar;
    std::vector<std::pair<std::string, ScreenRect>> children;
    bool hasAppBar = false;
    unsigned edge = kEdgeBottom;
    ScreenRect bar;
    bool hasWorkArea = true;
    ScreenRect workArea{0, 0, 1024, 738};
    std::vector<std::string> visited;

    bool FindTaskbar(ScreenRect& rect) override {
        if (hasTaskbar) rect = taskbar;
        return hasTaskbar;
    }
    void VisitTaskbarChildren(const ChildVisitor& visit) override {
        for (const auto& [name, rect] : children) {
            visited.push_back(name);
            if (!visit(name, rect)) return;
        }
    }
    bool QueryAppBar(unsigned& e, ScreenRect& b) override {
        e = edge;
        b = bar;
        return hasAppBar;
    }
    bool QueryWorkArea(ScreenRect& area) override {
        area = workArea;
        return hasWorkArea;
    }
};

TEST(TrayAreaTest, VerticalTaskbarWithTheClockAboveTheIconsStartsBelowTheClock) {
    FakeScreen screen;
    screen.hasTaskbar = true;
    screen.taskbar = {1860, 0, 1920, 1080};
    screen.children = {{"ReBarWindow32", {1860, 0, 1920, 800}},
                       {"TrayNotifyWnd", {1862, 900, 1918, 1078}},
                       {"TrayClockWClass", {1862, 900, 1918, 940}},
                       {"TrayShowDesktopButtonWClass", {1862, 1070, 1918, 1078}}};
    ScreenRect rect;
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{1862, 940, 1918, 1078}));
    EXPECT_EQ(screen.visited.size(), 3u);  // the clock ends the search
}

TEST(TrayAreaTest, HorizontalTaskbarEndsWhereTheClockBegins) {
    FakeScreen screen;
    screen.hasTaskbar = true;
    screen.taskbar = {0, 1040, 1920, 1080};
    screen.children = {{"TrayNotifyWnd", {1700, 1042, 1918, 1078}},
                       {"TrayClockWClass", {1850, 1044, 1918, 1076}}};
    ScreenRect rect;
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{1700, 1042, 1850, 1078}));

    screen.children.clear();  // a taskbar without its notification window: all of it
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, screen.taskbar);
}

TEST(TrayAreaTest, WithoutATaskbarWindowTheAppBarsEndIsTaken) {
    FakeScreen screen;
    screen.hasAppBar = true;
    screen.bar = {0, 1040, 1920, 1080};
    ScreenRect rect;
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{1820, 1040, 1904, 1080}));

    screen.edge = kEdgeLeft;
    screen.bar = {0, 0, 60, 1080};
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{0, 980, 60, 1064}));

    // An edge no shell reports tells nothing: the work-area corner instead.
    screen.edge = 7;
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{874, 708, 1024, 738}));
}

TEST(TrayAreaTest, WithoutTaskbarAndAppBarTheWorkAreasCornerIsTakenOrNothing) {
    FakeScreen screen;
    ScreenRect rect;
    ASSERT_TRUE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{874, 708, 1024, 738}));

    screen.hasWorkArea = false;
    rect = {1, 2, 3, 4};
    EXPECT_FALSE(FindTrayArea(screen, rect));
    EXPECT_EQ(rect, (ScreenRect{1, 2, 3, 4}));
}

}  // namespace
}  // namespace zel
