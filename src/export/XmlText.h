#pragma once
#include <string>

#include <pugixml.hpp>

// The XML files of the exports (BDN descriptions, editors' timelines) are
// built as pugixml documents; these two steps put text in and take it out.
namespace xmltext {

// A name or path from the file system as XML text: kept when it is UTF-8,
// otherwise converted from Windows-1252; the control characters XML 1.0
// cannot hold (even as references) become blanks.
std::string clean(const std::string& bytes);

// The document as UTF-8 text with its declaration, two blanks per level.
std::string write(const pugi::xml_document& doc);

// A child element holding text: <name>text</name>.
pugi::xml_node textChild(pugi::xml_node parent, const char* name, const std::string& text);

}  // namespace xmltext
