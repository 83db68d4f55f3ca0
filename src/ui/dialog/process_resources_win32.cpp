#include <windows.h>

#include <cstring>

#include "ui/dialog/process_resources.h"

namespace zel {

namespace {

constexpr const char* kBringToFrontText = "It will bring ZEL Downloader in front if minimized";

}  // namespace

ProcessResources::ProcessResources()
    : bringToFrontMessage_(RegisterWindowMessageA(kBringToFrontText)),
      whiteBrush_(CreateSolidBrush(RGB(255, 255, 255))) {}

HFONT ProcessResources::StatusFont() {
    if (!statusFont_) {
        LOGFONTA font{};
        font.lfHeight = -11;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = ANSI_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        std::strcpy(font.lfFaceName, "Tahoma");
        statusFont_.Reset(CreateFontIndirectA(&font));
    }
    return statusFont_.Get();
}

}  // namespace zel
