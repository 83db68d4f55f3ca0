// Texts from the program's string table (see res/resource.h for the ids).
#pragma once

#include <string>

#include "res/resource.h"

namespace zel {

// The entry with that id, or an empty text when there is none.
std::string LoadResourceString(unsigned id);

}  // namespace zel
