// Where a facloc.dat comes from: an OR-Library graph, a table of points, a
// full matrix, or points drawn at random.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace pmedian::tools {

// Bad data or arguments: the message is printed as one line, exit status 1.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A dense symmetric distance matrix with the p it is to be solved for.
struct DenseInstance {
    int n = 0;
    int p = 0;
    std::vector<double> dist;  // n x n, row-major
    double at(int i, int j) const { return dist[std::size_t(i) * std::size_t(n) + std::size_t(j)]; }
};

using Point = std::vector<double>;

// OR-Library p-median file: "n edges p", then "i j cost" per edge (nodes
// from 1, the last cost of a repeated edge counts); shortest-path distances
// over the undirected graph.
DenseInstance read_orlib(std::istream& in);

// One point a line, two or more coordinates; blank lines and lines that
// start with '#' are skipped. Every point has the same dimension.
std::vector<Point> read_points(std::istream& in);

// A TSPLIB coordinate file of type EUC_2D: its NODE_COORD_SECTION, a line
// "id x y" per node, in the order given.
std::vector<Point> read_tsplib(std::istream& in);

// A full n x n matrix, one row a line: square, symmetric, zero diagonal.
DenseInstance read_matrix(std::istream& in, int p);

// n points uniform in [0, 1000) x [0, 1000), the same for a seed everywhere.
std::vector<Point> random_points(int n, std::uint64_t seed);

// Euclidean distance between two points of the same dimension, as the
// float nearest to it.
float euclidean(const Point& a, const Point& b);

// How a Euclidean distance becomes the distance written: as the float
// nearest to it, rounded to the nearest whole number (floor(d + 0.5), as
// TSPLIB's nint), or rounded down (floor(d), the convention of the published
// p-median optima of TSPLIB instances).
enum class Rounding { real, nint, floor };

// Euclidean distance in double, rounded to a whole number as `rounding`
// says (nint or floor).
double euclidean_rounded(const Point& a, const Point& b, Rounding rounding);

// p as a whole number with 1 <= p <= n.
int parse_median_count(const std::string& text, int n);

}  // namespace pmedian::tools
