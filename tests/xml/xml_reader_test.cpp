#include "xml/xml_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace zel {
namespace {

// Names and texts of the elements below the main position, as
// "name(child=text,child(...))", gathered with the four navigation calls.
std::string DescribeChildren(CXmlReader& reader) {
    std::string out;
    while (reader.FindNextChildElement()) {
        if (!out.empty()) out += ",";
        const std::string text = reader.GetChildText();
        EXPECT_TRUE(reader.EnterElement());
        out += reader.GetMainTagName();
        const std::string children = DescribeChildren(reader);
        out += children.empty() ? "=" + text : "(" + children + ")";
        EXPECT_TRUE(reader.LeaveElement());
    }
    return out;
}

std::string Describe(const char* text) {
    CXmlReader reader;
    if (!reader.LoadDocument(text)) return "error: " + reader.LastError();
    EXPECT_TRUE(reader.FindNextElement());
    std::string out = reader.GetMainTagName() + "(" + DescribeChildren(reader) + ")";
    EXPECT_FALSE(reader.FindNextElement());
    return out;
}

std::string TextOfOnlyChild(const char* text) {
    CXmlReader reader;
    EXPECT_TRUE(reader.LoadDocument(text)) << reader.LastError();
    EXPECT_TRUE(reader.FindNextChildElement());
    return reader.GetChildText();
}

void ExpectRejected(const std::string& text, const std::string& message) {
    SCOPED_TRACE(text);
    CXmlReader reader;
    EXPECT_FALSE(reader.LoadDocument(text.c_str()));
    EXPECT_EQ(reader.LastError(), message);
    EXPECT_EQ(reader.ElementCount(), 0);
    EXPECT_FALSE(reader.FindNextElement());
    EXPECT_FALSE(reader.FindNextChildElement());
    EXPECT_FALSE(reader.EnterElement());
    EXPECT_FALSE(reader.LeaveElement());
    EXPECT_EQ(reader.GetMainTagName(), "");
    EXPECT_EQ(reader.GetChildText(), "");
}

std::string Nested(int depth) {
    std::string text;
    for (int k = 0; k < depth; ++k) text += "<e>";
    text += "x";
    for (int k = 0; k < depth; ++k) text += "</e>";
    return text;
}

TEST(XmlReaderTest, EachMalformedDocumentIsRejectedWithItsMessage) {
    ExpectRejected("no markup at all", "Element tag not found");
    ExpectRejected("<r><a/>", "Element tag not found");
    ExpectRejected("<", "Abrupt end within tag");
    ExpectRejected("<r><  \n", "Abrupt end within tag");
    ExpectRejected("<'r'></r>", "Tag starts with quote");
    ExpectRejected("<!-- never closed <r/>", "Invalid node");
    ExpectRejected("<?xml version='1.0'", "Invalid node");
    ExpectRejected("<!DOCTYPE r [ <!ELEMENT r ANY> <r/>", "Invalid node");
    ExpectRejected("<![CDATA[ x ]> <r/>", "Invalid node");
    ExpectRejected("<!", "Invalid node");
    ExpectRejected("<r attr='1'", "End of tag not found");
    ExpectRejected("<a></b>", "End tag does not correspond to a");
    ExpectRejected("<a></A>", "End tag does not correspond to a");
    ExpectRejected("<r><b>x</r></b>", "End tag does not correspond to b");
    ExpectRejected("<ab></a>", "End tag does not correspond to ab");
    ExpectRejected("<r></r", "End tag not completed for element r");
    ExpectRejected("<r></r 'a>'", "End tag not completed for element r");
}

TEST(XmlReaderTest, WhiteSpaceBetweenOpenAndNodeMarkIsAnInvalidNodeNotALoop) {
    ExpectRejected("< ?xml version='1.0'?><r/>", "Invalid node");
    ExpectRejected("<r>< !-- c --></r>", "Invalid node");
    ExpectRejected("<\t!DOCTYPE r><r/>", "Invalid node");
}

// A quoted token spans the text between its quotes, so the end-tag rule
// compares that text with the name like any other.
TEST(XmlReaderTest, QuotedEndTagNameClosesItsElementLikeAnUnquotedOne) {
    EXPECT_EQ(Describe("<r><a>x</\"a\"><b>y</'b' ></r>"), "r(a=x,b=y)");
    ExpectRejected("<a></'b'>", "End tag does not correspond to a");
    ExpectRejected("<a></\"\">", "End tag does not correspond to a");
    ExpectRejected("<a></\"a>", "End tag does not correspond to a");
}

TEST(XmlReaderTest, NestingIsBoundedByTheDepthLimit) {
    EXPECT_EQ(Describe(Nested(CXmlReader::kMaxNestingDepth).c_str()).substr(0, 4), "e(e(");
    ExpectRejected(Nested(CXmlReader::kMaxNestingDepth + 1), "Elements nested too deeply");
    // A run of '<' opens one element named "<", not a deep nest.
    ExpectRejected(std::string(200000, '<') + "a>", "Element tag not found");
    std::string opened;
    for (int k = 0; k < 100000; ++k) opened += "<a>";
    ExpectRejected(opened, "Elements nested too deeply");
}

TEST(XmlReaderTest, EveryProperPrefixOfADocumentIsRejected) {
    const std::string full =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e 'v'>]><!--c-->"
        "<r k='v'><a>x &amp; y</a><b/><c><![CDATA[<d>]]></c></r>";
    for (size_t length = 0; length < full.size(); ++length) {
        CXmlReader reader;
        EXPECT_FALSE(reader.LoadDocument(full.substr(0, length).c_str())) << length;
    }
    EXPECT_EQ(Describe(full.c_str()), "r(a=x & y,b=,c=<d>)");
}

TEST(XmlReaderTest, EmptyTextAndLoneEndTagLoadNothingAndKeepTheLastError) {
    CXmlReader reader;
    EXPECT_FALSE(reader.LoadDocument());
    EXPECT_FALSE(reader.LoadDocument(""));
    EXPECT_EQ(reader.LastError(), "");
    EXPECT_FALSE(reader.LoadDocument("<a></b>"));
    EXPECT_FALSE(reader.LoadDocument("</r>"));
    EXPECT_EQ(reader.LastError(), "End tag does not correspond to a");
    EXPECT_FALSE(reader.FindNextElement());
}

TEST(XmlReaderTest, PrologAndStrayBytesBeforeTheDocumentElementAreSkipped) {
    EXPECT_EQ(Describe("\xEF\xBB\xBF stray <?xml version=\"1.0\"?>\n<!-- a <b> comment -->\n"
                       "<!DOCTYPE r [ <!ELEMENT r ANY> <!ENTITY e \"]>\"> ]>\n<r><a>1</a></r>"),
              "r(a=1)");
    EXPECT_EQ(Describe("<?><!--><![CDATA[]]><r/>"), "r()");
    EXPECT_EQ(Describe("<r/><s>ignored</s>"), "r()");
}

TEST(XmlReaderTest, IndexNumbersElementsInDocumentOrderAndLinksSiblings) {
    const char* text = "<r><a/><b>x</b></r>";
    CXmlReader reader;
    ASSERT_TRUE(reader.LoadDocument(text));
    EXPECT_EQ(reader.ElementCount(), 3);
    EXPECT_EQ(reader.ElementAt(0).firstChild, 1);
    const CXmlReader::ElementSpan& r = reader.ElementAt(1);
    const CXmlReader::ElementSpan& a = reader.ElementAt(2);
    const CXmlReader::ElementSpan& b = reader.ElementAt(3);
    EXPECT_EQ(r.parent, 0);
    EXPECT_EQ(r.firstChild, 2);
    EXPECT_EQ(a.nextSibling, 3);
    EXPECT_EQ(b.nextSibling, 0);
    EXPECT_EQ(a.parent, 1);
    EXPECT_EQ(b.parent, 1);
    // <r> at 0..2, <a/> at 3..6 with its '/' at 5, </r> at 15..18.
    EXPECT_EQ(r.startLeft, 0);
    EXPECT_EQ(r.startRight, 2);
    EXPECT_EQ(r.endLeft, 15);
    EXPECT_EQ(r.endRight, 18);
    EXPECT_EQ(a.startLeft, 3);
    EXPECT_EQ(a.endLeft, 5);
    EXPECT_EQ(a.endRight, 6);
    EXPECT_EQ(a.startRight, 6);
    EXPECT_EQ(Describe(text), "r(a=,b=x)");
}

TEST(XmlReaderTest, IndexGrowsPastItsFirstEstimate) {
    std::string text = "<r>";
    for (int k = 0; k < 3000; ++k) text += "<a/>";
    text += "</r>";
    CXmlReader reader;
    ASSERT_TRUE(reader.LoadDocument(text.c_str()));
    EXPECT_EQ(reader.ElementCount(), 3001);
    int siblings = 0;
    ASSERT_TRUE(reader.FindNextElement());
    while (reader.FindNextChildElement()) ++siblings;
    EXPECT_EQ(siblings, 3000);
    EXPECT_TRUE(reader.LoadDocument("<s/>"));
    EXPECT_EQ(reader.ElementCount(), 1);
}

TEST(XmlReaderTest, NavigationMovesTheThreeLevelCursor) {
    CXmlReader reader;
    ASSERT_TRUE(reader.LoadDocument("<r><a><c/></a><b/></r>"));
    EXPECT_FALSE(reader.EnterElement());  // no main position yet
    EXPECT_FALSE(reader.LeaveElement());
    ASSERT_TRUE(reader.FindNextChildElement());  // finds r first, then its child a
    EXPECT_EQ(reader.MainPosition(), 1);
    EXPECT_EQ(reader.ChildPosition(), 2);
    ASSERT_TRUE(reader.EnterElement());
    EXPECT_EQ(reader.ParentPosition(), 1);
    EXPECT_EQ(reader.GetMainTagName(), "a");
    ASSERT_TRUE(reader.FindNextChildElement());
    EXPECT_EQ(reader.ChildPosition(), 3);
    EXPECT_FALSE(reader.FindNextChildElement());
    EXPECT_EQ(reader.ChildPosition(), 3);  // a failed move changes nothing
    ASSERT_TRUE(reader.FindNextElement());
    EXPECT_EQ(reader.GetMainTagName(), "b");
    EXPECT_EQ(reader.ChildPosition(), 0);
    ASSERT_TRUE(reader.LeaveElement());
    EXPECT_EQ(reader.GetMainTagName(), "r");
    EXPECT_EQ(reader.ChildPosition(), 4);
    EXPECT_EQ(reader.NodeType(), 1);
    reader.ResetPosition();
    EXPECT_EQ(reader.GetMainTagName(), "");
    EXPECT_TRUE(reader.FindNextElement());
    EXPECT_EQ(reader.GetMainTagName(), "r");
}

TEST(XmlReaderTest, WalkVisitsEveryElementWithItsText) {
    EXPECT_EQ(Describe("<manifest>\n  <count>2</count>\n  <urls><u>http://a/</u><u>http://b/</u>"
                       "</urls>\n  <empty></empty><flag/>\n</manifest>"),
              "manifest(count=2,urls(u=http://a/,u=http://b/),empty=,flag=)");
}

TEST(XmlReaderTest, TextDecodesTheFiveEntitiesAndLeavesOtherReferences) {
    EXPECT_EQ(TextOfOnlyChild("<r><t>&amp;&lt;&#65;&gt;&apos;&quot;</t></r>"), "&<&#65;>'\"");
    EXPECT_EQ(TextOfOnlyChild("<r><t>a & b &bogus; &amp</t></r>"), "a & b &bogus; &amp");
    EXPECT_EQ(TextOfOnlyChild("<r><t>&lt</t></r>"), "&lt");
    EXPECT_EQ(TextOfOnlyChild("<r><t> spaced  </t></r>"), " spaced  ");
}

TEST(XmlReaderTest, CDataIsReturnedUnchangedOnlyWhenItOpensTheText) {
    EXPECT_EQ(TextOfOnlyChild("<r><t> \n<![CDATA[<&>]]>\t</t></r>"), "<&>");
    EXPECT_EQ(TextOfOnlyChild("<r><t><![CDATA[&amp;]]>tail</t></r>"), "&amp;");
    EXPECT_EQ(TextOfOnlyChild("<r><t><![CDATA[]]></t></r>"), "");
    EXPECT_EQ(TextOfOnlyChild("<r><t>x<![CDATA[y]]></t></r>"), "x<![CDATA[y]]>");
}

TEST(XmlReaderTest, TextKeepsCommentsAndIsEmptyForMixedContent) {
    EXPECT_EQ(TextOfOnlyChild("<r><t>a<!-- <c/> -->b</t></r>"), "a<!-- <c/> -->b");
    EXPECT_EQ(TextOfOnlyChild("<r><t>a<c/>b</t></r>"), "");
}

TEST(XmlReaderTest, LooseTagSpellingsAreAccepted) {
    EXPECT_EQ(Describe("< r ><a x='1'>v</a  ><b>w</b extra 'q>' tokens></r\n>"), "r(a=v,b=w)");
    // The start tag ends at the first '>', even inside a quoted value.
    EXPECT_EQ(TextOfOnlyChild("<r><t k='1>2'>v</t></r>"), "2'>v");
    EXPECT_EQ(Describe("<a[x></a>"), "a[x()");
}

bool OpensPair(unsigned char c) {
    return c == 0x81;
}

TEST(XmlReaderTest, TrailByteOfADoubleByteCharacterIsNeverADelimiter) {
    CXmlReader doubleByte(&OpensPair);
    ASSERT_TRUE(doubleByte.LoadDocument("<r\x81>>x</r\x81>>"));
    ASSERT_TRUE(doubleByte.FindNextElement());
    EXPECT_EQ(doubleByte.GetMainTagName(), "r\x81>");
    EXPECT_FALSE(doubleByte.LoadDocument("<r>\x81</r>"));  // the '<' belongs to the pair
    EXPECT_EQ(doubleByte.LastError(), "Element tag not found");
    EXPECT_FALSE(doubleByte.LoadDocument("<r>\x81"));

    CXmlReader singleByte([](unsigned char) { return false; });
    EXPECT_TRUE(singleByte.LoadDocument("<r>\x81</r>"));
}

}  // namespace
}  // namespace zel
