#include <windows.h>

#include "support/temp_folder.h"

namespace zel {

unsigned long TempFolder::ProcessId() {
    return GetCurrentProcessId();
}

}  // namespace zel
