// libFuzzer target: any bytes, loaded as one NUL-terminated document, must
// load or fail cleanly, and the walk must reach every indexed element once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xml/xml_reader.h"

namespace {

// Visits the elements below the main position; returns how many it saw.
int32_t WalkChildren(zel::CXmlReader& reader) {
    int32_t seen = 0;
    while (reader.FindNextChildElement()) {
        ++seen;
        reader.GetChildText();
        if (!reader.EnterElement()) std::abort();
        reader.GetMainTagName();
        seen += WalkChildren(reader);
        if (!reader.LeaveElement()) std::abort();
    }
    return seen;
}

// A double-byte code page's lead bytes (Shift-JIS ranges), so that the
// two-byte stepping is exercised on a single-byte host too.
bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

void LoadAndWalk(zel::CXmlReader& reader, const std::string& text) {
    const bool loaded = reader.LoadDocument(text.c_str());
    int32_t seen = 0;
    while (reader.FindNextElement()) {
        ++seen;
        reader.GetMainTagName();
        seen += WalkChildren(reader);
    }
    if (loaded != (seen > 0) || seen != reader.ElementCount()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    zel::CXmlReader singleByte;
    LoadAndWalk(singleByte, text);
    zel::CXmlReader doubleByte(&IsShiftJisLeadByte);
    LoadAndWalk(doubleByte, text);
    return 0;
}
