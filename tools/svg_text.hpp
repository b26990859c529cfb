// Pieces of SVG markup shared by the drawings.
#pragma once

#include <string>
#include <vector>

namespace pmedian::tools {

// A coordinate with one decimal.
std::string svg_number(double x);

// Text made safe inside SVG markup.
std::string escape_xml(const std::string& text);

// Round values (1, 2 or 5 times a power of ten apart) covering [low, high],
// about `about` of them.
std::vector<double> round_ticks(double low, double high, int about);

// A tick value as text, with the decimals its ticks' spacing needs.
std::string tick_label(double value, double spacing);

// The XML declaration and the opening svg element on a white background.
std::string svg_open(double width, double height);

}  // namespace pmedian::tools
