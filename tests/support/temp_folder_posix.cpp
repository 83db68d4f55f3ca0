#include <unistd.h>

#include "support/temp_folder.h"

namespace zel {

unsigned long TempFolder::ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

}  // namespace zel
