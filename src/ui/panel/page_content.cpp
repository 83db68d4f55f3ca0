#include "ui/panel/page_content.h"

#include "sys/text.h"
#include "xml/xml_reader.h"

namespace zel {

namespace {

// Runs of white space become one space; none at either end.
std::string CollapseWhiteSpace(const std::string& text) {
    std::string out;
    bool pendingSpace = false;
    for (char c : text) {
        if (IsWhiteSpace(c)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out += ' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

// The value of one attribute in an element's start tag; empty when absent.
// The markup reader indexes elements and texts only, so the start tag is
// read here: name = "value" or 'value' pairs after the tag name.
std::string AttributeOf(const std::string& page, const CXmlReader::ElementSpan& span,
                        const std::string& wanted) {
    const std::string tag = page.substr(static_cast<size_t>(span.startLeft),
                                        static_cast<size_t>(span.startRight - span.startLeft + 1));
    size_t pos = tag.find_first_of(" \t\r\n/>");  // past the tag name
    while (pos < tag.size()) {
        const size_t nameStart = tag.find_first_not_of(" \t\r\n/>", pos);
        if (nameStart == std::string::npos) break;
        const size_t nameEnd = tag.find_first_of(" \t\r\n=/>", nameStart);
        if (nameEnd == std::string::npos) break;
        const std::string name = tag.substr(nameStart, nameEnd - nameStart);
        const size_t equals = tag.find_first_not_of(" \t\r\n", nameEnd);
        if (equals == std::string::npos || tag[equals] != '=') {
            pos = nameEnd;  // an attribute without a value
            continue;
        }
        const size_t quote = tag.find_first_not_of(" \t\r\n", equals + 1);
        if (quote == std::string::npos || (tag[quote] != '"' && tag[quote] != '\'')) break;
        const size_t close = tag.find(tag[quote], quote + 1);
        if (close == std::string::npos) break;
        if (SameTextNoCase(name, wanted)) return tag.substr(quote + 1, close - quote - 1);
        pos = close + 1;
    }
    return std::string();
}

class PageWalker {
  public:
    PageWalker(const std::string& page, PageContent& content) : page_(page), content_(content) {}

    bool Read() {
        if (!reader_.LoadDocument(page_.c_str()) || !reader_.FindNextElement()) return false;
        VisitChildren();
        return !content_.sections.empty();
    }

  private:
    // The cursor's child element: its attribute, tag name and text.
    std::string ChildAttribute(const char* name) const {
        return AttributeOf(page_, reader_.ElementAt(reader_.ChildPosition()), name);
    }
    std::string ChildText() const { return CollapseWhiteSpace(reader_.GetChildText()); }
    std::string ChildTagName() const {
        const CXmlReader::ElementSpan& span = reader_.ElementAt(reader_.ChildPosition());
        const size_t start = static_cast<size_t>(span.startLeft) + 1;
        return page_.substr(start, page_.find_first_of(" \t\r\n/>", start) - start);
    }

    // Every element below the cursor's main element, depth first.
    void VisitChildren() {
        while (reader_.FindNextChildElement()) {
            const std::string cls = ChildAttribute("class");
            if (cls == "HeaderTxt") {
                content_.headerText = ChildText();
            } else if (cls == "HeaderTxtSmall") {
                content_.headerSmallText = ChildText();
            } else if (cls == "MiddleContentDiv" && !ChildAttribute("id").empty()) {
                ReadSection();
                continue;
            }
            reader_.EnterElement();
            VisitChildren();
            reader_.LeaveElement();
        }
    }

    void ReadSection() {
        PageSection section;
        section.id = ChildAttribute("id");
        reader_.EnterElement();
        while (reader_.FindNextChildElement()) {
            const std::string cls = ChildAttribute("class");
            if (cls == "bHeading" || cls == "bmHeading") {
                section.headingClass = cls;
                section.heading = ChildText();
            } else if (cls == "nText") {
                section.text = ChildText();
            } else if (cls == "sHeading") {
                section.subHeading = ChildText();
            } else if (cls == "PointsDiv") {
                ReadBulletRow(section);
            }
        }
        reader_.LeaveElement();
        content_.sections.push_back(std::move(section));
    }

    void ReadBulletRow(PageSection& section) {
        reader_.EnterElement();
        while (reader_.FindNextChildElement()) {
            const std::string cls = ChildAttribute("class");
            if (cls == "Points") {
                section.bullets.push_back(ChildText());
            } else if (cls == "Tick" && content_.tickPicture.empty()) {
                reader_.EnterElement();
                while (reader_.FindNextChildElement()) {
                    if (SameTextNoCase(ChildTagName(), "img")) {
                        content_.tickPicture = ChildAttribute("src");
                    }
                }
                reader_.LeaveElement();
            }
        }
        reader_.LeaveElement();
    }

    const std::string& page_;
    PageContent& content_;
    CXmlReader reader_;
};

}  // namespace

const PageSection* PageContent::FindSection(const std::string& id) const {
    for (const PageSection& section : sections) {
        if (section.id == id) return &section;
    }
    return nullptr;
}

bool ReadPageContent(const std::string& page, PageContent& content) {
    content = PageContent();
    if (PageWalker(page, content).Read()) return true;
    content = PageContent();
    return false;
}

}  // namespace zel
