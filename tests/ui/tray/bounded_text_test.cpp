#include "ui/tray/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zel {
namespace {

// The lead bytes of Shift-JIS (code page 932); its trail bytes can look like
// lead bytes, which is what makes a byte-wise cut go wrong.
bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

TEST(BoundedTextTest, CutNeverPartsADoubleByteCharacter) {
    const std::string text = "ab\x82\xa0\x82\xa2";  // two ASCII, two double-byte characters
    EXPECT_EQ(CutToWholeCharacters(text, 3, &IsShiftJisLeadByte), "ab");
    EXPECT_EQ(CutToWholeCharacters(text, 4, &IsShiftJisLeadByte), "ab\x82\xa0");
    EXPECT_EQ(CutToWholeCharacters(text, 5, &IsShiftJisLeadByte), "ab\x82\xa0");
    EXPECT_EQ(CutToWholeCharacters(text, 6, &IsShiftJisLeadByte), text);
    // A trail byte in the lead range is still the second half of its character.
    EXPECT_EQ(WholeCharacterLength("\x82\x82\x82\x82", 3, &IsShiftJisLeadByte), 2u);
    // A lead byte with nothing after it stands alone and may be kept.
    EXPECT_EQ(WholeCharacterLength("a\x82", 2, &IsShiftJisLeadByte), 2u);
    // In a single-byte code page every byte is a character.
    EXPECT_EQ(CutToWholeCharacters(text, 3, [](unsigned char) { return false; }), "ab\x82");
}

TEST(BoundedTextTest, FieldAlwaysEndsInZeroAlsoWhenAShorterTextReplacesALongerOne) {
    char field[8];
    std::memset(field, 'x', sizeof(field));
    CopyToTextField(field, "abcdefghijkl", 100);
    EXPECT_STREQ(field, "abcdefg");  // the field's size bounds the copy too
    CopyToTextField(field, "ab", 100);
    EXPECT_STREQ(field, "ab");
    EXPECT_EQ(std::memcmp(field, "ab\0\0\0\0\0\0", 8), 0);
    CopyToTextField(field, "abcdef", 3);
    EXPECT_STREQ(field, "abc");
    CopyToTextField(field, "abcdef\x82\xa0", 100, &IsShiftJisLeadByte);
    EXPECT_STREQ(field, "abcdef");
}

}  // namespace
}  // namespace zel
