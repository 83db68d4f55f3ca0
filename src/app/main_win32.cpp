// The program's entry point: no command line, no configuration.
#include <windows.h>

#include "app/downloader_app.h"
#include "sys/library_module.h"

namespace {

// The program runs as administrator from the folder it was downloaded to,
// where a page may have dropped a file named like a system library. Before
// any of its code could load a library (a static initialiser, GDI+, the
// internet library, or a system library pulling in one of its own), the
// search is kept to the system folder.
//
// Some system libraries load others by name in a way that restriction does
// not reach (measured under Wine: the themes library when the first window
// is made, the property system when the first picture is decoded, the
// certificate library when the first https connection is made, each taken
// from the program's folder first; Windows has had the like for its
// cryptographic base and desktop window manager libraries). Loaded here from
// the system folder first, every later load by name finds them already there.
class LibrarySearchGuard {
  public:
    LibrarySearchGuard() {
        zel::RestrictLibrarySearch();
        for (std::size_t i = 0; i < kCount; ++i) loaded_[i].Load(kLoadedByName[i]);
    }

  private:
    static constexpr std::size_t kCount = 6;
    static constexpr const char* kLoadedByName[kCount] = {"uxtheme.dll",       "propsys.dll",
                                                          "windowscodecs.dll", "crypt32.dll",
                                                          "cryptbase.dll",     "dwmapi.dll"};
    zel::LibraryModule loaded_[kCount];  // a library missing here is left out
};

// The earliest priority: made before every other static object of the
// program, kept until the process ends.
const LibrarySearchGuard kLibrarySearchGuard __attribute__((init_priority(101)));

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    zel::CDownloaderApp app;
    return app.InitInstance();
}
