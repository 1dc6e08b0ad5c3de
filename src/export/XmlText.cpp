#include "export/XmlText.h"

#include <sstream>

#include "base/Text.h"
#include "base/Utf8.h"

namespace xmltext {

std::string clean(const std::string& bytes) {
    std::string s = text::replaceAll(utf8::fromLegacy(bytes), utf8::kBrokenBar, "|");
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

std::string write(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + out.str();
}

pugi::xml_node textChild(pugi::xml_node parent, const char* name, const std::string& text) {
    pugi::xml_node n = parent.append_child(name);
    n.text().set(text.c_str());
    return n;
}

}  // namespace xmltext
