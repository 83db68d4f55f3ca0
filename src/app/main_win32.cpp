// The program's entry point: no command line, no configuration.
#include <windows.h>

#include "app/downloader_app.h"
#include "sys/library_module.h"

namespace {

// The program runs as administrator from the folder it was downloaded to.
// Before any of its code could load a library (a static initialiser, GDI+,
// the internet library, or a system library pulling in one of its own), the
// search is kept to the system folder: the earliest constructor priority runs
// ahead of every static initialiser of the program.
__attribute__((constructor(101))) void KeepLibrariesToSystemFolder() {
    zel::RestrictLibrarySearch();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    zel::CDownloaderApp app;
    return app.InitInstance();
}
