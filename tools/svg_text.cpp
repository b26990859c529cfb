#include "svg_text.hpp"

#include <cstdio>

namespace pmedian::tools {

std::string svg_number(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", x);
    return text;
}

std::string escape_xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string svg_open(double width, double height) {
    const std::string w = svg_number(width);
    const std::string h = svg_number(height);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
           "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n" +
           "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

}  // namespace pmedian::tools
