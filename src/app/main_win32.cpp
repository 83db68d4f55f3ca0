// The program's entry point: no command line, no configuration.
#include <windows.h>

#include "app/downloader_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    zel::CDownloaderApp app;
    return app.InitInstance();
}
