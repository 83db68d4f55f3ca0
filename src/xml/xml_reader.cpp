#include "xml/xml_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sys/multibyte.h"

namespace zel {

namespace {

const char kElementTagNotFound[] = "Element tag not found";
const char kAbruptEnd[] = "Abrupt end within tag";
const char kTagStartsWithQuote[] = "Tag starts with quote";
const char kInvalidNode[] = "Invalid node";
const char kEndOfTagNotFound[] = "End of tag not found";
const char kEndTagMismatch[] = "End tag does not correspond to %s";
const char kEndTagNotCompleted[] = "End tag not completed for element %s";
const char kNestedTooDeeply[] = "Elements nested too deeply";
const char kDocumentTooLarge[] = "Document too large";
const char kOutOfMemory[] = "Out of memory";  // short enough to need no allocation itself

struct Entity {
    const char* text;  // what follows the '&', up to and including the ';'
    int32_t length;
    char replacement;
};

const Entity kEntities[] = {
    {"lt;", 3, '<'}, {"amp;", 4, '&'}, {"gt;", 3, '>'}, {"apos;", 5, '\''}, {"quot;", 5, '"'},
};

const CXmlReader::ElementSpan kNoSpan{};

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDelimiter(unsigned char c) {
    return c != 0 && std::strchr(" \t\n\r<>=\\/?!", c) != nullptr;
}

// What may follow a matched end-tag name within the start tag's name.
bool EndsName(unsigned char c) {
    return c == 0 || std::strchr(" =/[", c) != nullptr;
}

}  // namespace

CXmlReader::CXmlReader() : CXmlReader(&IsLeadByte) {}

CXmlReader::CXmlReader(LeadBytePredicate isLeadByte) : isLeadByte(isLeadByte) {
    LoadDocument();
}

// ---- Scanner -------------------------------------------------------------

unsigned char CXmlReader::ByteAt(int32_t pos) const {
    if (pos < 0 || static_cast<size_t>(pos) >= docText.size()) return 0;
    return static_cast<unsigned char>(docText[static_cast<size_t>(pos)]);
}

// A lead byte and its partner are one character, so a trail byte is never
// mistaken for '<', '>' or a quote.
int32_t CXmlReader::StepAt(int32_t pos) const {
    return isLeadByte(ByteAt(pos)) && ByteAt(pos + 1) != 0 ? 2 : 1;
}

bool CXmlReader::FindChar(int32_t& pos, unsigned char ch) const {
    for (unsigned char c = ByteAt(pos); c != 0 && c != ch; c = ByteAt(pos)) pos += StepAt(pos);
    return ByteAt(pos) != 0;
}

bool CXmlReader::BytesEqual(int32_t pos, const char* text, int32_t length) const {
    for (int32_t k = 0; k < length; ++k) {
        if (ByteAt(pos + k) != static_cast<unsigned char>(text[k])) return false;
    }
    return true;
}

int32_t CXmlReader::FindText(int32_t pos, const char* text) const {
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    for (; ByteAt(pos) != 0; pos += StepAt(pos)) {
        if (BytesEqual(pos, text, length)) return pos;
    }
    return -1;
}

bool CXmlReader::SkipSpace(int32_t& pos) const {
    while (IsSpace(ByteAt(pos))) ++pos;
    return ByteAt(pos) != 0;
}

bool CXmlReader::NextToken(ScanToken& token) const {
    int32_t n = token.next;
    token.quoted = false;
    if (!SkipSpace(n)) {
        token.left = token.right = token.next = n;
        return false;
    }
    const unsigned char c = ByteAt(n);
    if (c == '"' || c == '\'') {
        token.quoted = true;
        token.left = n + 1;
        int32_t m = n + 1;
        const bool closed = FindChar(m, c);
        token.right = m - 1;
        token.next = closed ? m + 1 : m;
        return true;
    }
    token.left = n;
    int32_t m = n;
    while (ByteAt(m) != 0 && !IsDelimiter(ByteAt(m))) m += StepAt(m);
    if (m == n) m = n + 1;  // a delimiter is a token of its own
    token.right = m - 1;
    token.next = m;
    return true;
}

std::string CXmlReader::TokenText(const ScanToken& token) const {
    return Slice(token.left, token.right);
}

bool CXmlReader::TokenMatches(const ScanToken& token, int32_t nameLeft, int32_t nameRight) const {
    const int32_t length = token.right - token.left + 1;
    const int32_t nameLength = nameRight - nameLeft + 1;
    if (length > nameLength) return false;
    for (int32_t k = 0; k < length; ++k) {
        if (ByteAt(token.left + k) != ByteAt(nameLeft + k)) return false;
    }
    return EndsName(length == nameLength ? 0 : ByteAt(nameLeft + length));
}

// ---- Index ---------------------------------------------------------------

bool CXmlReader::LoadDocument(const char* text) {
    freePos = 1;
    ResetPosition();
    bool loaded = false;
    try {
        const size_t length = text ? std::strlen(text) : 0;
        if (length > static_cast<size_t>(kMaxDocumentBytes)) {
            docText.clear();
            lastError = kDocumentTooLarge;
        } else {
            docText.assign(text ? text : "", length);
            const size_t wanted = length / 64 + 8;
            if (elemPositions.size() < wanted) elemPositions.resize(wanted);
            if (!docText.empty()) {
                elemPositions[0] = ElementSpan{};
                const int32_t root = ParseElement(0, 1);
                if (root > 0) {
                    elemPositions[0].firstChild = root;
                    loaded = true;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        lastError = kOutOfMemory;
    }
    if (!loaded) {
        // No partial index survives a failed load.
        if (!elemPositions.empty()) elemPositions[0] = ElementSpan{};
        freePos = 1;
    }
    ResetPosition();
    return loaded;
}

int32_t CXmlReader::NextFreePosition() {
    const size_t size = elemPositions.size();
    if (static_cast<size_t>(freePos) >= size) {
        elemPositions.resize(std::max<size_t>(size + size / 2, static_cast<size_t>(freePos) + 1));
    }
    return freePos++;
}

int32_t CXmlReader::RecordError(const char* message, int32_t nameLeft, int32_t nameRight) {
    lastError = message;
    const size_t slot = lastError.find("%s");
    if (slot != std::string::npos) lastError.replace(slot, 2, Slice(nameLeft, nameRight));
    --freePos;
    return -1;
}

// Indexes the element that begins at p's cursor. Returns its index, 0 when
// p's end tag stands there instead, -1 after an error. Kept lean: it recurses
// once per nesting level.
int32_t CXmlReader::ParseElement(int32_t p, int32_t depth) {
    const int32_t i = NextFreePosition();
    elemPositions[i] = ElementSpan{};
    elemPositions[i].startLeft = elemPositions[p].endLeft;
    elemPositions[i].parent = p;
    ScanToken token;
    token.next = elemPositions[p].endLeft;
    int32_t nameLeft = 0;
    int32_t nameRight = -1;
    while (nameRight < nameLeft) {
        int32_t open = token.next;
        if (!FindChar(open, '<')) return RecordError(kElementTagNotFound);
        elemPositions[i].startLeft = open;
        elemPositions[p].endLeft = open;
        token.next = open + 1;
        if (!NextToken(token)) return RecordError(kAbruptEnd);
        if (token.quoted) return RecordError(kTagStartsWithQuote);
        const unsigned char first = ByteAt(token.left);
        if (first == '?' || first == '!') {
            token.next = open;
            if (!SkipNode(token)) return RecordError(kInvalidNode);
        } else if (first == '/') {
            --freePos;  // nothing was opened: the index goes back
            return 0;
        } else {
            nameLeft = token.left;
            nameRight = token.right;
            if (!FindChar(token.next, '>')) return RecordError(kEndOfTagNotFound);
        }
    }
    if (depth > kMaxNestingDepth) return RecordError(kNestedTooDeeply);

    const int32_t startRight = token.next;
    elemPositions[i].startRight = startRight;
    if (ByteAt(startRight - 1) == '/') {
        elemPositions[i].endLeft = startRight - 1;
        elemPositions[i].endRight = startRight;
        return i;
    }

    elemPositions[i].endLeft = startRight + 1;
    int32_t previous = 0;
    int32_t k;
    while ((k = ParseElement(i, depth + 1)) > 0) {
        if (previous == 0) {
            elemPositions[i].firstChild = k;
        } else {
            elemPositions[previous].nextSibling = k;
        }
        previous = k;
        elemPositions[i].endLeft = elemPositions[k].endRight + 1;
    }
    if (k < 0) return -1;  // recorded where it happened
    return CloseElement(i, nameLeft, nameRight);
}

// Checks the end tag whose '<' is at i's cursor: "/", the element's own
// name, then anything up to an unquoted '>'.
int32_t CXmlReader::CloseElement(int32_t i, int32_t nameLeft, int32_t nameRight) {
    ScanToken token;
    token.next = elemPositions[i].endLeft + 1;
    int32_t seen = 0;
    while (NextToken(token)) {
        ++seen;
        // A quoted name is compared by the text between its quotes.
        if (seen == 2 && !TokenMatches(token, nameLeft, nameRight)) {
            return RecordError(kEndTagMismatch, nameLeft, nameRight);
        }
        if (seen > 2 && !token.quoted && ByteAt(token.left) == '>') {
            elemPositions[i].endRight = token.left;
            return i;
        }
    }
    return RecordError(kEndTagNotCompleted, nameLeft, nameRight);
}

// Skips the processing instruction, comment, CDATA section or declaration
// whose '<' is at the token's next.
bool CXmlReader::SkipNode(ScanToken& token) const {
    const int32_t open = token.next;
    const unsigned char first = ByteAt(open + 1);
    const unsigned char second = first != 0 ? ByteAt(open + 2) : 0;
    if (first == 0 || second == 0) return false;

    const char* terminator = nullptr;
    if (first == '?') {
        terminator = "?>";
    } else if (first == '!' && second == '[') {
        terminator = "]]>";
    } else if (first == '!' && second == '-') {
        terminator = "-->";
    }
    if (terminator) {
        // Searched from the '<' itself, so "<?>" and "<!-->" are complete nodes.
        const int32_t end = FindText(open, terminator);
        if (end < 0) return false;
        token.next = end + static_cast<int32_t>(std::strlen(terminator));
        return true;
    }
    // White space between '<' and '?' or '!' names no node this reader knows.
    if (first != '!') return false;

    // A declaration, possibly with an internal subset in square brackets.
    int32_t depth = 0;
    while (NextToken(token)) {
        if (token.quoted) continue;
        const unsigned char c = ByteAt(token.left);
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '>' && depth == 0) {
            return true;
        }
    }
    return false;
}

// ---- Navigation ----------------------------------------------------------

const CXmlReader::ElementSpan& CXmlReader::ElementAt(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= elemPositions.size()) return kNoSpan;
    return elemPositions[static_cast<size_t>(index)];
}

void CXmlReader::ResetPosition() {
    parentPos = 0;
    mainPos = 0;
    childPos = 0;
    nodeType = 0;
}

int32_t CXmlReader::NextElementIndex(int32_t parent, int32_t position) const {
    return position != 0 ? ElementAt(position).nextSibling : ElementAt(parent).firstChild;
}

bool CXmlReader::FindNextElement() {
    if (elemPositions.empty()) return false;
    const int32_t e = NextElementIndex(parentPos, mainPos);
    if (e == 0) return false;
    parentPos = ElementAt(e).parent;
    mainPos = e;
    childPos = 0;
    nodeType = 1;
    return true;
}

bool CXmlReader::FindNextChildElement() {
    if (mainPos == 0) FindNextElement();
    const int32_t k = NextElementIndex(mainPos, childPos);
    if (k == 0) return false;
    const int32_t m = ElementAt(k).parent;
    parentPos = ElementAt(m).parent;
    mainPos = m;
    childPos = k;
    nodeType = m != 0 ? 1 : 0;
    return true;
}

bool CXmlReader::EnterElement() {
    if (mainPos == 0 || nodeType != 1) return false;
    parentPos = mainPos;
    mainPos = childPos;
    childPos = 0;
    nodeType = mainPos != 0 ? 1 : 0;
    return true;
}

bool CXmlReader::LeaveElement() {
    if (parentPos == 0) return false;
    const int32_t p = parentPos;
    const int32_t m = mainPos;
    parentPos = ElementAt(p).parent;
    mainPos = p;
    childPos = m;
    nodeType = 1;
    return true;
}

// ---- Reading -------------------------------------------------------------

std::string CXmlReader::GetMainTagName() const {
    try {
        return mainPos == 0 ? std::string() : TagNameAt(mainPos);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string CXmlReader::GetChildText() const {
    try {
        return TextAt(childPos);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string CXmlReader::TagNameAt(int32_t i) const {
    if (i <= 0) return std::string();
    ScanToken token;
    token.next = ElementAt(i).startLeft + 1;
    return NextToken(token) ? TokenText(token) : std::string();
}

std::string CXmlReader::TextAt(int32_t i) const {
    if (i <= 0) return std::string();
    const ElementSpan& e = ElementAt(i);
    if (e.firstChild != 0) return std::string();              // mixed content is not returned
    if (e.startRight == e.endLeft + 1) return std::string();  // "<name/>"

    int32_t n = e.startRight + 1;
    SkipSpace(n);
    if (ByteAt(n) == '<' && n + 11 < e.endLeft && BytesEqual(n, "<![CDATA[", 9)) {
        const int32_t close = FindText(n + 9, "]]>");
        if (close >= 0 && close < e.endLeft) return Slice(n + 9, close - 1);
    }
    return DecodeText(e.startRight + 1, e.endLeft - 1);
}

std::string CXmlReader::DecodeText(int32_t a, int32_t b) const {
    std::string out;
    if (b >= a) out.reserve(static_cast<size_t>(b - a) + 1);
    while (a <= b) {
        if (ByteAt(a) == '&') {
            const Entity* match = nullptr;
            for (const Entity& entity : kEntities) {
                if (a + entity.length <= b && BytesEqual(a + 1, entity.text, entity.length)) {
                    match = &entity;
                    break;
                }
            }
            if (match) {
                out += match->replacement;
                a += match->length + 1;
            } else {
                out += '&';
                ++a;
            }
            continue;
        }
        // A lead byte on the last position keeps its partner outside the text.
        const int32_t step = std::min(StepAt(a), b - a + 1);
        for (int32_t k = 0; k < step; ++k) out += static_cast<char>(ByteAt(a + k));
        a += step;
    }
    return out;
}

std::string CXmlReader::Slice(int32_t a, int32_t b) const {
    std::string out;
    for (int32_t k = a; k <= b && ByteAt(k) != 0; ++k) out += static_cast<char>(ByteAt(k));
    return out;
}

}  // namespace zel
