#include "sys/resource_strings.h"

namespace zel {
namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

// The same texts as res/strings.rc: natively there is no module string table.
const StringEntry kStringTable[] = {
    {IDS_INTERNET_SESSION_ERROR, "Error connecting to Internet.\n\n%1"},
    {IDS_BUILD_FOR, "QUORVANE"},
    {IDS_CAMPAIGN, "QUORVANE"},
    {IDS_APP_TITLE, "Corvanta 3"},
};

}  // namespace

std::string LoadResourceString(unsigned id) {
    for (const StringEntry& entry : kStringTable) {
        if (entry.id == id) return entry.text;
    }
    return std::string();
}

}  // namespace zel
