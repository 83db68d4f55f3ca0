// The program's registry key below HKEY_LOCAL_MACHINE, read and removed from
// outside (the driver runs in the same Wine prefix as the program).
#pragma once

#include <string>

namespace zel::e2e {

inline constexpr char kProgramKey[] = "Software\\Quorvane\\ZEL3";

// True when the key is gone afterwards (also when there was none).
bool DeleteProgramKey();

// A REG_SZ value of the key; false when there is no such key or value.
bool ReadProgramValue(const std::string& name, std::string& value);

}  // namespace zel::e2e
