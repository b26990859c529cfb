#include "svg_text.hpp"

#include <algorithm>
#include <cmath>
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

std::vector<double> round_ticks(double low, double high, int about) {
    if (!(high > low)) high = low + 1;
    const double rough = (high - low) / std::max(about, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double spacing = power;
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        spacing = step * power;
        if (spacing >= rough) break;
    }
    std::vector<double> ticks;
    for (double k = std::ceil(low / spacing - 1e-9); k * spacing <= high + 1e-9 * spacing; k += 1) {
        ticks.push_back(k * spacing);
    }
    return ticks;
}

std::string tick_label(double value, double spacing) {
    const int decimals = std::max(0, int(-std::floor(std::log10(spacing) + 1e-9)));
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value) < 1e-12 * spacing ? 0.0 : value);
    return text;
}

std::string svg_open(double width, double height) {
    const std::string w = svg_number(width);
    const std::string h = svg_number(height);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
           "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n" +
           "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

}  // namespace pmedian::tools
