#include "facloc_writer.hpp"

#include <charconv>
#include <cmath>

#include "command_line.hpp"

namespace pmedian::tools {

namespace {

void put(std::FILE* out, const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) throw InputError("cannot write the output");
}

}  // namespace

void append_number(std::string& out, double value) {
    char text[64];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        out += std::to_string(static_cast<long long>(value));
        return;
    }
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, end);
}

void append_number(std::string& out, float value) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, end);
}

void write_facloc(std::FILE* out, int n, int p, const std::function<void(std::string&, int, int)>& distance) {
    std::string text = std::to_string(n) + " " + std::to_string(p) + "\n";
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (j > i + 1) text += ' ';
            distance(text, i, j);
        }
        text += '\n';
        if (text.size() > (1 << 20)) {
            put(out, text);
            text.clear();
        }
    }
    put(out, text);
    if (std::fflush(out) != 0) throw InputError("cannot write the output");
}

void write_instance(std::FILE* out, const Instance& instance) {
    if (!instance.plain()) {
        throw InputError(
            "a facloc.dat holds neither weights nor candidate sites: give this table to "
            "pmedian-certify instead");
    }
    write_facloc(out, instance.n, instance.p,
                 [&](std::string& text, int i, int j) { append_number(text, instance.dist[i][j]); });
}

void write_point_table(std::FILE* out, const PointsTable& points) {
    std::string text;
    for (int i = 0; i < points.n; ++i) {
        for (int k = 0; k < points.dimension; ++k) {
            if (k > 0) text += ' ';
            char number[64];
            auto [end, ec] = std::to_chars(number, number + sizeof number, points.point(i)[k]);
            text.append(number, end);
        }
        text += '\n';
    }
    put(out, text);
    if (std::fflush(out) != 0) throw InputError("cannot write the output");
}

}  // namespace pmedian::tools
