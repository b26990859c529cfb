#include "instance_sources.hpp"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <sstream>

#include "data_file.hpp"

namespace pmedian::tools {

namespace {

std::vector<std::string> split_words(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string token; words >> token;) tokens.push_back(token);
    return tokens;
}

bool parse_whole(const std::string& token, long long& value) {
    const char* last = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), last, value);
    return !token.empty() && ec == std::errc() && ptr == last;
}

std::string line_label(long long line) { return "line " + std::to_string(line) + ": "; }

// Reads the next whitespace-separated token, counting lines for messages.
class WordReader {
public:
    explicit WordReader(std::istream& in) : in_(in) {}
    bool next(std::string& token) {
        token.clear();
        int c = 0;
        while ((c = in_.get()) != EOF && std::isspace(c)) {
            if (c == '\n') ++line_;
        }
        if (c == EOF) return false;
        do {
            token.push_back(char(c));
        } while ((c = in_.peek()) != EOF && !std::isspace(c) && in_.get());
        return true;
    }
    long long line() const { return line_; }

private:
    std::istream& in_;
    long long line_ = 1;
};

// All-pairs shortest paths by Dijkstra from every node.
std::vector<double> shortest_paths(int n, const std::vector<std::vector<std::pair<int, double>>>& adjacent) {
    const double unreached = std::numeric_limits<double>::infinity();
    std::vector<double> dist(std::size_t(n) * std::size_t(n), unreached);
    using Entry = std::pair<double, int>;
    for (int source = 0; source < n; ++source) {
        double* row = dist.data() + std::size_t(source) * std::size_t(n);
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
        row[source] = 0;
        queue.push({0, source});
        while (!queue.empty()) {
            auto [d, v] = queue.top();
            queue.pop();
            if (d > row[v]) continue;
            for (auto [w, cost] : adjacent[v]) {
                if (d + cost < row[w]) {
                    row[w] = d + cost;
                    queue.push({row[w], w});
                }
            }
        }
        for (int v = 0; v < n; ++v) {
            if (row[v] == unreached) {
                throw InputError("the graph is not connected: node " + std::to_string(v + 1) +
                                 " cannot be reached from node " + std::to_string(source + 1));
            }
        }
    }
    return dist;
}

}  // namespace

int parse_median_count(const std::string& text, int n) {
    long long p = 0;
    if (!parse_whole(text, p) || p < 1 || p > n) {
        throw InputError("P must be a whole number from 1 to n = " + std::to_string(n) + ", not '" + text + "'");
    }
    return int(p);
}

DenseInstance read_orlib(std::istream& in) {
    WordReader words(in);
    std::string token;
    long long header[3] = {0, 0, 0};
    const char* names[3] = {"the number of nodes", "the number of edges", "p"};
    for (int k = 0; k < 3; ++k) {
        if (!words.next(token) || !parse_whole(token, header[k]) || header[k] < 0 || header[k] > INT32_MAX) {
            throw InputError(line_label(words.line()) + "expected " + names[k] + " in the header 'n edges p'");
        }
    }
    const auto [n, edges, p] = header;
    if (n < 1 || p < 1 || p > n) {
        throw InputError("header: need 1 <= p <= n, got n = " + std::to_string(n) + " and p = " + std::to_string(p));
    }

    // The last cost of a repeated edge counts: keep one cost per pair.
    std::vector<std::vector<std::pair<int, double>>> adjacent(static_cast<std::size_t>(n));
    auto set_cost = [&](int a, int b, double cost) {
        for (auto& [w, c] : adjacent[a]) {
            if (w == b) {
                c = cost;
                return;
            }
        }
        adjacent[a].push_back({b, cost});
    };
    for (long long e = 0; e < edges; ++e) {
        long long ends[2] = {0, 0};
        for (long long& end : ends) {
            if (!words.next(token)) {
                throw InputError("the file ends after " + std::to_string(e) + " of " + std::to_string(edges) +
                                 " edges");
            }
            if (!parse_whole(token, end) || end < 1 || end > n) {
                throw InputError(line_label(words.line()) + "node '" + token + "' is not a number from 1 to " +
                                 std::to_string(n));
            }
        }
        double cost = 0;
        if (!words.next(token)) {
            throw InputError("the file ends after " + std::to_string(e) + " of " + std::to_string(edges) + " edges");
        }
        if (!parse_number(token, cost) || cost < 0) {
            throw InputError(line_label(words.line()) + "edge cost '" + token + "' is not a non-negative number");
        }
        const int a = int(ends[0] - 1);
        const int b = int(ends[1] - 1);
        if (a == b) continue;  // a loop never shortens a path
        set_cost(a, b, cost);
        set_cost(b, a, cost);
    }
    DenseInstance instance;
    instance.n = int(n);
    instance.p = int(p);
    instance.dist = shortest_paths(int(n), adjacent);
    return instance;
}

std::vector<Point> read_points(std::istream& in) {
    std::vector<Point> points;
    std::string line;
    for (long long number = 1; std::getline(in, line); ++number) {
        const std::vector<std::string> words = split_words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words.size() < 2) throw InputError(line_label(number) + "a point needs at least two coordinates");
        Point point(words.size());
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (!parse_number(words[k], point[k])) {
                throw InputError(line_label(number) + "'" + words[k] + "' is not a number");
            }
        }
        if (!points.empty() && point.size() != points.front().size()) {
            throw InputError(line_label(number) + "this point has " + std::to_string(point.size()) +
                             " coordinates, the first had " + std::to_string(points.front().size()));
        }
        points.push_back(std::move(point));
        if (points.size() > std::size_t(INT32_MAX)) throw InputError("too many points");
    }
    if (points.empty()) throw InputError("no points in the file");
    return points;
}

std::vector<Point> read_tsplib(std::istream& in) {
    std::string line;
    long long number = 0;
    long long dimension = -1;
    std::string type;
    // The header: "KEY : VALUE" lines up to the coordinates.
    for (;;) {
        if (!std::getline(in, line)) throw InputError("no NODE_COORD_SECTION in the file");
        ++number;
        const auto colon = line.find(':');
        std::vector<std::string> key = split_words(line.substr(0, colon));
        if (key.empty()) continue;
        if (key[0] == "NODE_COORD_SECTION") break;
        const std::vector<std::string> value =
            colon == std::string::npos ? std::vector<std::string>{} : split_words(line.substr(colon + 1));
        if (key[0] == "DIMENSION" && (value.size() != 1 || !parse_whole(value[0], dimension) || dimension < 1 ||
                                      dimension > INT32_MAX)) {
            throw InputError(line_label(number) + "DIMENSION must be a whole number of nodes");
        }
        if (key[0] == "EDGE_WEIGHT_TYPE") type = value.empty() ? "" : value[0];
    }
    if (type != "EUC_2D") throw InputError("EDGE_WEIGHT_TYPE must be EUC_2D, not '" + type + "'");
    if (dimension < 0) throw InputError("no DIMENSION before NODE_COORD_SECTION");
    std::vector<Point> points;
    while (std::getline(in, line)) {
        ++number;
        const std::vector<std::string> words = split_words(line);
        if (words.empty()) continue;
        if (words[0] == "EOF") break;
        if (points.size() == std::size_t(dimension)) throw InputError(line_label(number) + "more nodes than DIMENSION");
        Point point(2);
        if (words.size() != 3 || !parse_number(words[1], point[0]) || !parse_number(words[2], point[1])) {
            throw InputError(line_label(number) + "expected 'id x y'");
        }
        points.push_back(std::move(point));
    }
    if (points.size() != std::size_t(dimension)) {
        throw InputError("DIMENSION is " + std::to_string(dimension) + " but " + std::to_string(points.size()) +
                         " nodes follow");
    }
    return points;
}

DenseInstance read_matrix(std::istream& in, int p) {
    std::vector<std::vector<double>> rows;
    std::string line;
    for (long long number = 1; std::getline(in, line); ++number) {
        const std::vector<std::string> words = split_words(line);
        if (words.empty()) continue;
        std::vector<double> row(words.size());
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (!parse_number(words[k], row[k])) {
                throw InputError(line_label(number) + "'" + words[k] + "' is not a number");
            }
        }
        if (!rows.empty() && row.size() != rows.front().size()) {
            throw InputError("the matrix is not square: row " + std::to_string(rows.size() + 1) + " has " +
                             std::to_string(row.size()) + " values, row 1 has " + std::to_string(rows.front().size()));
        }
        rows.push_back(std::move(row));
    }
    const std::size_t n = rows.size();
    if (n == 0) throw InputError("the matrix is empty");
    if (rows.front().size() != n) {
        throw InputError("the matrix is not square: " + std::to_string(n) + " rows of " +
                         std::to_string(rows.front().size()) + " values");
    }
    DenseInstance instance;
    instance.n = int(n);
    instance.p = p;
    if (p < 1 || std::size_t(p) > n) throw InputError("P must be from 1 to n = " + std::to_string(n));
    instance.dist.resize(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        if (rows[i][i] != 0) throw InputError("the diagonal is not zero at row " + std::to_string(i + 1));
        for (std::size_t j = 0; j < n; ++j) {
            if (rows[i][j] != rows[j][i]) {
                throw InputError("the matrix is not symmetric: row " + std::to_string(i + 1) + ", column " +
                                 std::to_string(j + 1));
            }
            instance.dist[i * n + j] = rows[i][j];
        }
    }
    return instance;
}

std::vector<Point> random_points(int n, std::uint64_t seed) {
    // splitmix64: fixed integer arithmetic, so every machine draws the same.
    std::uint64_t state = seed;
    auto next = [&state] {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    };
    std::vector<Point> points(std::size_t(n), Point(2));
    for (Point& point : points) {
        for (double& x : point) x = double(next() >> 11) * 0x1p-53 * 1000.0;
    }
    return points;
}

float euclidean(const Point& a, const Point& b) {
    long double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        const long double d = (long double)a[k] - (long double)b[k];
        sum += d * d;
    }
    return float(std::sqrt(sum));
}

}  // namespace pmedian::tools

namespace pmedian::tools {

double euclidean_rounded(const Point& a, const Point& b, Rounding rounding) {
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += (a[k] - b[k]) * (a[k] - b[k]);
    return std::floor(std::sqrt(sum) + (rounding == Rounding::nint ? 0.5 : 0.0));
}

}  // namespace pmedian::tools
