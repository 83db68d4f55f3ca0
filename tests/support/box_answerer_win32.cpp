#include <algorithm>
#include <chrono>

#include "support/box_answerer.h"
#include "support/top_level_windows.h"

namespace zel::test {

namespace {

// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;

// Reads the text without a message: the window's thread may be busy or
// waiting, and the watcher must never wait for it.
std::string TextOf(HWND window) {
    wchar_t wide[1024] = {};
    const int length = InternalGetWindowText(window, wide, 1024);
    char text[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, length, text, sizeof text - 1, nullptr, nullptr);
    return text;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::string caption, DWORD processId)
    : caption_(std::move(caption)), processId_(processId), watcher_([this] { Watch(); }) {}

BoxAnswerer::~BoxAnswerer() {
    stopping_ = true;
    watcher_.join();
}

void BoxAnswerer::Answer(const std::string& text, int answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_[text] = answer;
}

std::vector<BoxAnswerer::Box> BoxAnswerer::Answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_;
}

std::vector<BoxAnswerer::Box> BoxAnswerer::Showing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return showing_;
}

bool BoxAnswerer::AwaitShowing(const std::string& text, DWORD timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const Box& box : Showing()) {
            if (box.text == text) return true;
        }
        Sleep(10);
    }
    return false;
}

std::vector<HWND> BoxAnswerer::FindBoxes() const {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[32] = {};
        GetClassNameA(window, className, sizeof className);
        // The main dialog has the same class and caption: a box is told
        // apart by its text control.
        if (process == processId_ && lstrcmpA(className, "#32770") == 0 &&
            IsWindowVisible(window) && TextOf(window) == caption_ &&
            GetDlgItem(window, kMessageTextId)) {
            boxes.push_back(window);
        }
    }
    return boxes;
}

BoxAnswerer::Box BoxAnswerer::Describe(HWND window) const {
    Box box;
    box.caption = TextOf(window);
    box.text = TextOf(GetDlgItem(window, kMessageTextId));
    box.owner = GetWindow(window, GW_OWNER);
    box.thread = GetWindowThreadProcessId(window, nullptr);
    return box;
}

void BoxAnswerer::Watch() {
    std::vector<HWND> clicked;
    while (!stopping_) {
        std::vector<Box> showing;
        for (HWND window : FindBoxes()) {
            Box box = Describe(window);
            showing.push_back(box);
            if (std::find(clicked.begin(), clicked.end(), window) != clicked.end()) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            const auto scripted = script_.find(box.text);
            if (scripted == script_.end()) continue;
            box.answer = scripted->second;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(box.answer, BN_CLICKED),
                         LPARAM(GetDlgItem(window, box.answer)));
            clicked.push_back(window);
            answered_.push_back(box);
        }
        // Handles of boxes that are gone may come back for new boxes.
        std::vector<HWND> stillShown = FindBoxes();
        clicked.erase(std::remove_if(clicked.begin(), clicked.end(),
                                     [&](HWND w) {
                                         return std::find(stillShown.begin(), stillShown.end(),
                                                          w) == stillShown.end();
                                     }),
                      clicked.end());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            showing_ = std::move(showing);
        }
        Sleep(10);
    }
}

}  // namespace zel::test
