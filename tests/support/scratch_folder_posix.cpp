#include <unistd.h>

#include "support/scratch_folder.h"

namespace zel::test {

unsigned long ScratchFolder::Pid() {
    return static_cast<unsigned long>(::getpid());
}

}  // namespace zel::test
