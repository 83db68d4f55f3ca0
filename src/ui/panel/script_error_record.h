// What went wrong in the last call into the page's script. Kept for a
// developer's eyes only: the user never sees it and the panel goes on.
#pragma once

#include <string>

namespace zel {

// The messages the script caller records itself; other failures record the
// system's text for their code (SystemErrorText).
constexpr char kScriptNoDocument[] = "NULL pointer";
constexpr char kScriptNoScriptObject[] = "Cannot GetScript";

class ScriptErrorRecord {
  public:
    // Replaces the last error with "Script call error:\n" and the message.
    void RecordError(const std::string& message);
    const std::string& LastError() const { return lastError_; }

  private:
    std::string lastError_;
};

}  // namespace zel
