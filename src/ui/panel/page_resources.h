// The installation page and its companion files as stored in the program.
// Windows only.
#pragma once

#include <string>

namespace zel {

// The page itself: resource 103 of type RT_HTML.
bool LoadInstallationPage(std::string& text);

// A file the page names relatively ("ZEL.css", "Home.jpg"), found the way
// the res: protocol finds it from the page's address: by name, without
// regard to case, as an RT_HTML resource and then as one of type 2110.
bool LoadPageFile(const std::string& name, std::string& bytes);

}  // namespace zel
