#include "ui/panel/script_error_record.h"

namespace zel {

void ScriptErrorRecord::RecordError(const std::string& message) {
    lastError_ = "Script call error:\n" + message;
}

}  // namespace zel
