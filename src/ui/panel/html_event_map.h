// Which page events the panel handles and how: tables of (match, event,
// name, handler) searched from the top for the first entry that fits the
// element an event came from. Portable: the handlers are named here and run
// by the Windows panel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// Dispatch ids of the page events the maps name (the HTML engine's own).
constexpr std::int32_t kHtmlClick = -600;
constexpr std::int32_t kHtmlSelectStart = static_cast<std::int32_t>(0x8001000C);
constexpr std::int32_t kHtmlDragStart = static_cast<std::int32_t>(0x8001000B);
constexpr std::int32_t kHtmlContextMenu = 1023;

enum class HtmlEventMatch {
    kById,   // the element whose id is the entry's name, compared exactly
    kByTag,  // every element with the entry's tag name, in any case
};

enum class HtmlEventHandler {
    kOkUnlessEscapeHeld,
    kCancelUnlessEscapeHeld,
    kTraceSelectStart,  // trace, then cancel unless the element edits text
    kTraceDragStart,
    kTraceContextMenu,
    kOk,
    kStopRotation,
};

struct HtmlEventEntry {
    HtmlEventMatch match;
    std::int32_t dispatchId;
    const char* name;
    HtmlEventHandler handler;
};

using HtmlEventMap = std::vector<HtmlEventEntry>;

// The reusable HTML child dialog's map: OK and Cancel buttons, then
// selection, drag and context menu cancelled on 90 tags each (272 entries).
const HtmlEventMap& ChildDialogEventMap();
// The installation panel's own map, which replaces the one above (3 entries).
const HtmlEventMap& PanelEventMap();

// The 90 tag names of the child dialog's map, in its order.
const std::vector<const char*>& TracedTagNames();

// The first entry for this event from an element with this id and tag name;
// null when none fits.
const HtmlEventEntry* FindHtmlEventEntry(const HtmlEventMap& map, std::int32_t dispatchId,
                                         const std::string& elementId, const std::string& tagName);

// The debugger trace of a trace handler for an element with this tag name;
// empty for the other handlers.
std::string HtmlEventTrace(HtmlEventHandler handler, const std::string& tagName);

}  // namespace zel
