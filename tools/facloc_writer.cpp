#include "facloc_writer.hpp"

#include <charconv>
#include <cmath>

namespace pmedian::tools {

namespace {

// Values at or above this are refused by the solver's reader.
constexpr double solver_limit = 9.99e10;

void check_distance(double value, int i, int j) {
    if (!(float(value) < float(solver_limit))) {
        throw InputError("the distance between nodes " + std::to_string(i + 1) + " and " + std::to_string(j + 1) +
                         " is 9.99e10 or more, which pmedian cannot take");
    }
}

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

void write_dense(std::FILE* out, const DenseInstance& instance) {
    write_facloc(out, instance.n, instance.p, [&](std::string& text, int i, int j) {
        check_distance(instance.at(i, j), i, j);
        append_number(text, instance.at(i, j));
    });
}

void write_points(std::FILE* out, const std::vector<Point>& points, int p, Rounding rounding) {
    write_facloc(out, int(points.size()), p, [&](std::string& text, int i, int j) {
        if (rounding != Rounding::real) {
            const double d = euclidean_rounded(points[i], points[j], rounding);
            check_distance(d, i, j);
            append_number(text, d);
        } else {
            const float d = euclidean(points[i], points[j]);
            check_distance(d, i, j);
            append_number(text, d);
        }
    });
}

void write_point_table(std::FILE* out, const std::vector<Point>& points) {
    std::string text;
    for (const Point& point : points) {
        for (std::size_t k = 0; k < point.size(); ++k) {
            if (k > 0) text += ' ';
            char number[64];
            auto [end, ec] = std::to_chars(number, number + sizeof number, point[k]);
            text.append(number, end);
        }
        text += '\n';
    }
    put(out, text);
    if (std::fflush(out) != 0) throw InputError("cannot write the output");
}

}  // namespace pmedian::tools
