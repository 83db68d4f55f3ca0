// Steps on other windows (the launched package's) and on the registry.
#include <cstdio>

#include "driver.h"
#include "program_windows.h"
#include "registry_values.h"

namespace zel::e2e {

StepResult Driver::WaitWindow(const Args& args) {
    return Await(
        args[1], [&] { return FindShownWindowOfClass(args[0]) != nullptr; },
        [] { return std::string("no such window"); });
}

StepResult Driver::CloseWindow(const Args& args) {
    HWND window = FindShownWindowOfClass(args[0]);
    if (!window) return {false, "no such window"};
    PostMessageA(window, WM_CLOSE, 0, 0);
    return Await(
        args[1], [&] { return !IsWindow(window); },
        [] { return std::string("the window is still there"); });
}

StepResult Driver::PrintWindowRect(const Args& args) {
    HWND window = FindShownWindowOfClass(args[0]);
    RECT rect = {};
    if (!window || !GetWindowRect(window, &rect)) return {false, "no such window"};
    std::printf("rect %s\n", DescribeRect(rect).c_str());
    return {true, ""};
}

StepResult Driver::RegistryDelete(const Args&) {
    return {DeleteProgramKey(), kProgramKey};
}

StepResult Driver::WaitRegistry(const Args& args) {
    std::string value;
    return Await(
        args[2], [&] { return ReadProgramValue(args[0], value) && value == args[1]; },
        [&] {
            return ReadProgramValue(args[0], value) ? "the value is " + Quoted(value)
                                                    : std::string("no such value");
        });
}

}  // namespace zel::e2e
