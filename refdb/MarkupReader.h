#pragma once
// Read-only reader for the tag-structured text of the Reference file and the
// ActiveX block list: a small subset of XML (elements, quoted attributes, the
// five named entities, CDATA; comments, processing instructions and
// declarations are skipped). The whole document is indexed once on load; the
// caller then walks the element tree with a cursor.
//
// Text is UTF-8. Every delimiter the reader looks for is ASCII and no byte of
// a multi-byte UTF-8 character is below 0x80, so scanning byte by byte never
// mistakes part of a character for a delimiter.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace refdb {

// One parsed element as character positions into the document and links to
// other entries of the index (index 0 means none).
struct ElementSpan {
    std::int32_t startLeft = 0;    // '<' of the start tag
    std::int32_t startRight = 0;   // '>' of the start tag
    std::int32_t endLeft = 0;      // '<' of the end tag; the '/' of "/>" for an empty element
    std::int32_t endRight = 0;     // '>' of the end tag; equals startRight for an empty element
    std::int32_t parent = 0;       // index of the parent element
    std::int32_t firstChild = 0;   // index of the first child element
    std::int32_t nextSibling = 0;  // index of the next sibling element
};

class MarkupReader {
  public:
    // Replaces the document and indexes it. Null loads the empty document
    // (used to clear the reader). True only when the first element of the
    // document parsed; otherwise LastError() tells why and the index is empty.
    bool LoadText(const char* text);
    bool LoadText(std::string text);

    // Next element among the children of the parent level, after the current
    // one (or from the first when there is none). Without a name any element
    // matches. On failure the cursor is unchanged.
    bool FindElement();
    bool FindElement(std::string_view name);
    // Next child of the current element, after the current child. Without a
    // current element the first element of the level is found first.
    bool FindChildElement();
    bool FindChildElement(std::string_view name);
    // One level down: the current child becomes the current element (possibly
    // none), and its siblings are searched from there.
    bool IntoElement();
    // One level up: the current element becomes the current child.
    bool OutOfElement();

    // Attribute of the current element / current child, entities decoded;
    // empty when missing, unquoted or when there is no such element.
    std::string GetAttribute(std::string_view name) const;
    std::string GetChildAttribute(std::string_view name) const;
    // Text of the current element, entities decoded (raw for a CDATA section);
    // empty when it has child elements or is empty.
    std::string GetData() const;
    // Name of the current element; empty when there is none.
    std::string_view GetTagName() const;

    const std::string& LastError() const { return lastError_; }

  private:
    enum class NodeType : std::int32_t { kNone = 0, kElement = 1 };

    bool Parse();
    bool Fail(std::string message);
    std::int32_t TakeEntry();
    std::string_view TagName(std::int32_t index) const;
    std::int32_t FindSibling(std::int32_t from, const std::string_view* name) const;
    bool FindElementImpl(const std::string_view* name);
    bool FindChildElementImpl(const std::string_view* name);
    std::string AttributeOf(std::int32_t index, std::string_view name) const;

    std::string document_;
    std::string lastError_;
    std::vector<ElementSpan>
        elements_;  // entry 0: virtual root, its first child the document element
    std::int32_t parentIndex_ = 0;
    std::int32_t currentIndex_ = 0;
    std::int32_t childIndex_ = 0;
    NodeType nodeType_ = NodeType::kNone;
};

}  // namespace refdb
