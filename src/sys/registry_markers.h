// The two marker values the program leaves in its registry key for the
// software it installs: "ZELBUILDFOR" (whom this build is for) and "ZEL3CAM"
// (its campaign), both from the string table. Windows only.
#pragma once

#include <string>

namespace zel {

struct RegistryMarkerTexts {
    std::string buildFor;  // string 1203
    std::string campaign;  // string 1205

    static RegistryMarkerTexts FromStringTable();
};

// Writes "ZELBUILDFOR" (buildFor without white space at its ends, or
// "Quorvane" when nothing is left) and "ZEL3CAM" (campaign as it is, only when
// not empty). Every failure is silent: the caller goes on either way. True
// when the key could be opened or created (the writes' results are not
// looked at).
bool WriteRegistryMarkers();
bool WriteRegistryMarkers(const RegistryMarkerTexts& texts);

}  // namespace zel
