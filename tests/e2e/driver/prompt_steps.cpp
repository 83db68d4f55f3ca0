// Steps on the program's message boxes.
#include "driver.h"
#include "program_windows.h"

namespace zel::e2e {

namespace {

int ButtonId(const std::string& name) {
    if (name == "yes") return IDYES;
    if (name == "no") return IDNO;
    if (name == "ok") return IDOK;
    return 0;
}

std::string ShownBoxes() {
    std::string text;
    for (const std::string& box : MessageBoxTexts())
        text += (text.empty() ? "" : ", ") + Quoted(box);
    return text.empty() ? "no message box" : "message boxes " + text;
}

}  // namespace

// Awaits the box that shows the text, presses the named button and awaits
// the box's end.
StepResult Driver::Answer(const Args& args) {
    const std::string text = Unescape(args[0]);
    const int buttonId = ButtonId(args[1]);
    if (!buttonId) return {false, "the answer must be yes, no or ok"};
    HWND box = nullptr;
    StepResult shown = Await(
        args[2], [&] { return (box = FindMessageBox(text)) != nullptr; }, ShownBoxes);
    if (!shown.ok) return shown;
    HWND button = GetDlgItem(box, buttonId);
    if (!button || !IsWindowVisible(button))
        return {false, "the box has no " + args[1] + " button"};
    PostMessageA(button, BM_CLICK, 0, 0);
    return Await(
        args[2], [&] { return !IsWindow(box) || !IsWindowVisible(box); },
        [] { return std::string("the box is still there"); });
}

StepResult Driver::ObserveNoMessageBox(const Args& args) {
    bool appeared = AwaitCondition([] { return !MessageBoxTexts().empty(); }, SecondsToMs(args[0]),
                                   timings_.pollMs);
    return {!appeared, appeared ? ShownBoxes() : ""};
}

}  // namespace zel::e2e
