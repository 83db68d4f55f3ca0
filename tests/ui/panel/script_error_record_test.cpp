#include "ui/panel/script_error_record.h"

#include <gtest/gtest.h>

#include "ui/panel/system_error_text.h"

namespace zel {
namespace {

TEST(ScriptErrorRecordTest, EachErrorReplacesTheLastBehindTheSamePrefix) {
    ScriptErrorRecord record;
    EXPECT_EQ(record.LastError(), "");
    record.RecordError(kScriptNoDocument);
    EXPECT_EQ(record.LastError(), "Script call error:\nNULL pointer");
    record.RecordError(kScriptNoScriptObject);
    EXPECT_EQ(record.LastError(), "Script call error:\nCannot GetScript");
}

TEST(ScriptErrorRecordTest, CodeWithoutSystemMessageGetsTheFixedText) {
    // Customer-defined codes never have a system message.
    EXPECT_EQ(SystemErrorText(0x20001234u), "FormatMessage Native Error");
}

}  // namespace
}  // namespace zel
