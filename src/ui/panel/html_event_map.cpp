#include "ui/panel/html_event_map.h"

#include "sys/text.h"

namespace zel {

namespace {

HtmlEventMap MakeChildDialogEventMap() {
    HtmlEventMap map = {
        {HtmlEventMatch::kById, kHtmlClick, "ButtonOK", HtmlEventHandler::kOkUnlessEscapeHeld},
        {HtmlEventMatch::kById, kHtmlClick, "ButtonCancel",
         HtmlEventHandler::kCancelUnlessEscapeHeld},
    };
    const struct {
        std::int32_t dispatchId;
        HtmlEventHandler handler;
    } kTraced[] = {
        {kHtmlSelectStart, HtmlEventHandler::kTraceSelectStart},
        {kHtmlDragStart, HtmlEventHandler::kTraceDragStart},
        {kHtmlContextMenu, HtmlEventHandler::kTraceContextMenu},
    };
    for (const auto& event : kTraced) {
        for (const char* tag : TracedTagNames()) {
            map.push_back({HtmlEventMatch::kByTag, event.dispatchId, tag, event.handler});
        }
    }
    return map;
}

bool EntryFits(const HtmlEventEntry& entry, std::int32_t dispatchId, const std::string& elementId,
               const std::string& tagName) {
    if (entry.dispatchId != dispatchId) return false;
    if (entry.match == HtmlEventMatch::kById) return elementId == entry.name;
    return SameTextNoCase(tagName, entry.name);
}

}  // namespace

const std::vector<const char*>& TracedTagNames() {
    static const std::vector<const char*> kTags = {
        "a",        "abbr",     "acronym",  "address",  "applet",     "area",     "b",
        "base",     "basefont", "bdo",      "big",      "blockquote", "body",     "br",
        "button",   "caption",  "center",   "cite",     "code",       "col",      "colgroup",
        "dd",       "del",      "dir",      "div",      "dfn",        "dl",       "dt",
        "em",       "fieldset", "font",     "form",     "frame",      "frameset", "h1",
        "h2",       "h3",       "h4",       "head",     "hr",         "html",     "i",
        "iframe",   "img",      "input",    "ins",      "isindex",    "kbd",      "label",
        "legend",   "li",       "link",     "map",      "menu",       "meta",     "noframes",
        "noscript", "object",   "ol",       "optgroup", "option",     "p",        "param",
        "pre",      "q",        "s",        "samp",     "script",     "select",   "small",
        "span",     "strike",   "strong",   "style",    "sub",        "sup",      "table",
        "tbody",    "td",       "textarea", "tfoot",    "th",         "thead",    "title",
        "tr",       "tt",       "u",        "ul",       "var",        "xmp",
    };
    return kTags;
}

const HtmlEventMap& ChildDialogEventMap() {
    static const HtmlEventMap kMap = MakeChildDialogEventMap();
    return kMap;
}

const HtmlEventMap& PanelEventMap() {
    static const HtmlEventMap kMap = {
        {HtmlEventMatch::kById, kHtmlClick, "ButtonOK", HtmlEventHandler::kOk},
        {HtmlEventMatch::kById, kHtmlClick, "ButtonCancel", HtmlEventHandler::kStopRotation},
        {HtmlEventMatch::kById, kHtmlClick, "step1", HtmlEventHandler::kStopRotation},
    };
    return kMap;
}

const HtmlEventEntry* FindHtmlEventEntry(const HtmlEventMap& map, std::int32_t dispatchId,
                                         const std::string& elementId, const std::string& tagName) {
    for (const HtmlEventEntry& entry : map) {
        if (EntryFits(entry, dispatchId, elementId, tagName)) return &entry;
    }
    return nullptr;
}

std::string HtmlEventTrace(HtmlEventHandler handler, const std::string& tagName) {
    const char* format = nullptr;
    switch (handler) {
        case HtmlEventHandler::kTraceSelectStart:
            format = "OnHtmlSelectStart <%s>\r\n";
            break;
        case HtmlEventHandler::kTraceDragStart:
            format = "OnHtmlDragStart <%s>\r\n";
            break;
        case HtmlEventHandler::kTraceContextMenu:
            format = "OnHtmlContextMenu <%s>\r\n";
            break;
        default:
            return std::string();
    }
    std::string trace = format;
    trace.replace(trace.find("%s"), 2, tagName);
    return trace;
}

}  // namespace zel
