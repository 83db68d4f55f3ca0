#include "ui/panel/html_event_map.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zel {
namespace {

HtmlEventHandler HandlerFor(const HtmlEventMap& map, std::int32_t event, const char* id,
                            const char* tag) {
    const HtmlEventEntry* entry = FindHtmlEventEntry(map, event, id, tag);
    EXPECT_NE(entry, nullptr) << id << " " << tag;
    return entry ? entry->handler : HtmlEventHandler::kOk;
}

TEST(HtmlEventMapTest, ChildDialogMapHasTheButtonsThenThreeEventsOnNinetyTags) {
    const HtmlEventMap& map = ChildDialogEventMap();
    ASSERT_EQ(map.size(), 272u);
    EXPECT_STREQ(map[0].name, "ButtonOK");
    EXPECT_STREQ(map[1].name, "ButtonCancel");
    const std::vector<const char*>& tags = TracedTagNames();
    ASSERT_EQ(tags.size(), 90u);
    const std::int32_t events[] = {kHtmlSelectStart, kHtmlDragStart, kHtmlContextMenu};
    for (size_t block = 0; block < 3; ++block) {
        for (size_t i = 0; i < tags.size(); ++i) {
            const HtmlEventEntry& entry = map[2 + block * 90 + i];
            EXPECT_EQ(entry.match, HtmlEventMatch::kByTag);
            EXPECT_EQ(entry.dispatchId, events[block]);
            EXPECT_STREQ(entry.name, tags[i]);
        }
    }
    EXPECT_STREQ(tags[24], "div");
    EXPECT_STREQ(tags[25], "dfn");
    EXPECT_STREQ(tags[89], "xmp");
    for (const char* absent : {"h5", "h6", "nobr", "embed"}) {
        for (const char* tag : tags) EXPECT_STRNE(tag, absent);
    }
}

TEST(HtmlEventMapTest, IdsMatchExactlyAndTagsInAnyCase) {
    const HtmlEventMap& map = ChildDialogEventMap();
    EXPECT_EQ(HandlerFor(map, kHtmlClick, "ButtonOK", "INPUT"),
              HtmlEventHandler::kOkUnlessEscapeHeld);
    EXPECT_EQ(HandlerFor(map, kHtmlClick, "ButtonCancel", "INPUT"),
              HtmlEventHandler::kCancelUnlessEscapeHeld);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlClick, "buttonok", "INPUT"), nullptr);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlClick, "", "P"), nullptr);
    EXPECT_EQ(HandlerFor(map, kHtmlSelectStart, "", "P"), HtmlEventHandler::kTraceSelectStart);
    EXPECT_EQ(HandlerFor(map, kHtmlDragStart, "x", "Img"), HtmlEventHandler::kTraceDragStart);
    EXPECT_EQ(HandlerFor(map, kHtmlContextMenu, "", "TEXTAREA"),
              HtmlEventHandler::kTraceContextMenu);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlSelectStart, "", "H5"), nullptr);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlSelectStart, "", "divx"), nullptr);
}

TEST(HtmlEventMapTest, PanelMapReplacesTheChildDialogsMap) {
    const HtmlEventMap& map = PanelEventMap();
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(HandlerFor(map, kHtmlClick, "ButtonOK", "BUTTON"), HtmlEventHandler::kOk);
    EXPECT_EQ(HandlerFor(map, kHtmlClick, "ButtonCancel", "BUTTON"),
              HtmlEventHandler::kStopRotation);
    EXPECT_EQ(HandlerFor(map, kHtmlClick, "step1", "DIV"), HtmlEventHandler::kStopRotation);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlSelectStart, "", "P"), nullptr);
    EXPECT_EQ(FindHtmlEventEntry(map, kHtmlContextMenu, "step1", "DIV"), nullptr);
}

TEST(HtmlEventMapTest, TracesNameTheElementsTag) {
    EXPECT_EQ(HtmlEventTrace(HtmlEventHandler::kTraceSelectStart, "P"),
              "OnHtmlSelectStart <P>\r\n");
    EXPECT_EQ(HtmlEventTrace(HtmlEventHandler::kTraceDragStart, "IMG"),
              "OnHtmlDragStart <IMG>\r\n");
    EXPECT_EQ(HtmlEventTrace(HtmlEventHandler::kTraceContextMenu, "%s"),
              "OnHtmlContextMenu <%s>\r\n");
    EXPECT_EQ(HtmlEventTrace(HtmlEventHandler::kStopRotation, "P"), "");
}

}  // namespace
}  // namespace zel
