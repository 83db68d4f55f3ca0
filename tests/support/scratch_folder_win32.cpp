#include <windows.h>

#include "support/scratch_folder.h"

namespace zel::test {

unsigned long ScratchFolder::Pid() {
    return GetCurrentProcessId();
}

}  // namespace zel::test
