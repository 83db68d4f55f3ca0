#include <atomic>
#include <cstdint>

#include "app/shared_main_window.h"

namespace zel {

namespace {

// The one value shared between processes. Window handles are 32-bit values
// also in 64-bit processes, so the slot keeps the one layout on both builds.
// The section must be initialised for the linker to mark it shared.
__attribute__((section(".shr"), shared)) std::atomic<std::int32_t> sharedMainWindow{0};

}  // namespace

HWND ReadSharedMainWindow() {
    return HWND(LongToHandle(sharedMainWindow.load()));
}

void PublishSharedMainWindow(HWND window) {
    sharedMainWindow.store(HandleToLong(window));
}

}  // namespace zel
