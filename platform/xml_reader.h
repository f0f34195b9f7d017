// A small XML reader: enough for documents such as SVG icons. Builds an element tree; text content,
// comments, processing instructions, CDATA and the document type are skipped.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct XmlElement {
    std::string name;  // as written, prefix included
    std::vector<std::pair<std::string, std::string>> attributes;  // values with entities resolved
    std::vector<std::unique_ptr<XmlElement>> children;

    // The value of an attribute, or null when absent.
    const std::string* Find(std::string_view attribute) const noexcept;
    // The name without a namespace prefix.
    std::string_view LocalName() const noexcept;
};

// The root element of a well-formed UTF-8 document (a BOM is allowed), or null. Nesting deeper than
// maxDepth is refused so a hostile document cannot exhaust the stack.
std::unique_ptr<XmlElement> ParseXmlDocument(std::string_view text, int maxDepth = 256);
