// Writes a facloc.dat: the header "n p", then the upper triangle, a row a line.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "certify/instance.hpp"
#include "inputs/points_table.hpp"

namespace pmedian::tools {

// Appends a value so that reading it back gives it exactly: a whole number
// as digits, any other value in its shortest exact form.
void append_number(std::string& out, double value);
void append_number(std::string& out, float value);

// Streams the file: distance(i, j) is asked for i < j, row by row, and
// appended to the row text. Throws InputError when the output fails.
void write_facloc(std::FILE* out, int n, int p, const std::function<void(std::string&, int, int)>& distance);

// The instance's distances; InputError when it has weights or candidate
// sites, which the file cannot hold.
void write_instance(std::FILE* out, const Instance& instance);

// The points themselves, one a line, so that reading them back gives them exactly.
void write_point_table(std::FILE* out, const PointsTable& points);

}  // namespace pmedian::tools
