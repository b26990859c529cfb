// Pieces of SVG markup shared by the drawings.
#pragma once

#include <string>

namespace pmedian::tools {

// A coordinate with one decimal.
std::string svg_number(double x);

// Text made safe inside SVG markup.
std::string escape_xml(const std::string& text);

// The XML declaration and the opening svg element on a white background.
std::string svg_open(double width, double height);

}  // namespace pmedian::tools
