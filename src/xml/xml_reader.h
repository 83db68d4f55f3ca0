// A small read-only reader for one markup document. It indexes every element
// in one pass, keeping offsets only, and lets the caller move a three-level
// cursor (parent, main, child) from element to element in document order.
// Names and texts are cut out of the document only when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sys/multibyte.h"

namespace zel {

class CXmlReader {
  public:
    // Where one element lies in the document and how it links to the others.
    // Entry 0 of the index stands for the document itself.
    struct ElementSpan {
        int32_t startLeft = 0;   // the '<' that opens the start tag
        int32_t startRight = 0;  // the '>' that closes the start tag
        int32_t endLeft = 0;     // the end tag's '<' (the '/' of "/>"); the cursor while parsing
        int32_t endRight = 0;    // the end tag's '>' (startRight for "/>")
        int32_t parent = 0;
        int32_t firstChild = 0;
        int32_t nextSibling = 0;
    };

    // Deeper documents are refused: the index is built by recursion, and the
    // reader also runs on worker threads with small stacks.
    static constexpr int32_t kMaxNestingDepth = 256;
    // Offsets are 32-bit signed and the scanner looks a few bytes ahead.
    static constexpr int32_t kMaxDocumentBytes = 1 << 30;

    // Steps over two-byte characters of the process's code page, or of the
    // one whose rule is given.
    CXmlReader();
    explicit CXmlReader(LeadBytePredicate isLeadByte);
    virtual ~CXmlReader() = default;

    // Replaces the document (nullptr: an empty one) and indexes it. True when
    // a document element was indexed; otherwise the index is empty and
    // LastError() says why. Never throws.
    bool LoadDocument(const char* text = nullptr);

    void ResetPosition();
    bool FindNextElement();
    bool FindNextChildElement();
    bool EnterElement();
    bool LeaveElement();

    std::string GetMainTagName() const;
    std::string GetChildText() const;

    // The message of the last parse error; a successful load leaves it alone.
    const std::string& LastError() const { return lastError; }

    // Read-only views of the index and the cursor.
    int32_t ElementCount() const { return freePos - 1; }
    const ElementSpan& ElementAt(int32_t index) const;
    int32_t ParentPosition() const { return parentPos; }
    int32_t MainPosition() const { return mainPos; }
    int32_t ChildPosition() const { return childPos; }
    int32_t NodeType() const { return nodeType; }

  private:
    struct ScanToken {
        int32_t left = 0;    // first byte; between the quotes for a quoted string
        int32_t right = -1;  // last byte; below left for an empty token
        int32_t next = 0;    // where the following scan starts
        bool quoted = false;
    };

    // Scanner. Every read goes through ByteAt, which yields NUL outside the document.
    unsigned char ByteAt(int32_t pos) const;
    int32_t StepAt(int32_t pos) const;
    bool FindChar(int32_t& pos, unsigned char ch) const;
    int32_t FindText(int32_t pos, const char* text) const;
    bool BytesEqual(int32_t pos, const char* text, int32_t length) const;
    bool SkipSpace(int32_t& pos) const;
    bool NextToken(ScanToken& token) const;
    std::string TokenText(const ScanToken& token) const;
    bool TokenMatches(const ScanToken& token, int32_t nameLeft, int32_t nameRight) const;

    // Index.
    int32_t NextFreePosition();
    int32_t ParseElement(int32_t p, int32_t depth);
    int32_t CloseElement(int32_t i, int32_t nameLeft, int32_t nameRight);
    bool SkipNode(ScanToken& token) const;
    int32_t RecordError(const char* message, int32_t nameLeft = 0, int32_t nameRight = -1);

    // Reading.
    int32_t NextElementIndex(int32_t parent, int32_t position) const;
    std::string TagNameAt(int32_t i) const;
    std::string TextAt(int32_t i) const;
    std::string DecodeText(int32_t a, int32_t b) const;
    std::string Slice(int32_t a, int32_t b) const;

    std::string docText;
    std::string lastError;
    std::vector<ElementSpan> elemPositions;
    int32_t parentPos = 0;
    int32_t mainPos = 0;
    int32_t childPos = 0;
    int32_t freePos = 1;
    int32_t nodeType = 0;
    LeadBytePredicate isLeadByte;
};

}  // namespace zel
