#include "ui/panel/system_error_text.h"

#include "sys/system_message.h"

namespace zel {

std::string SystemErrorText(std::uint32_t code) {
    std::string text;
    if (!FormatSystemMessage(nullptr, code, text)) return "FormatMessage Native Error";
    return text;
}

}  // namespace zel
