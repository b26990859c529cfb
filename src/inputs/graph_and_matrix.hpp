// Instances given as distances: an OR-Library graph, or a matrix of
// distances in a CSV file.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "certify/instance.hpp"

namespace pmedian {

// OR-Library p-median file: "n edges p", then "i j cost" per edge (nodes
// from 1, the last cost of a repeated edge counts); shortest-path distances
// over the undirected graph. p, when above 0, replaces the file's.
Instance read_orlib_instance(std::FILE* file, const std::string& name, int p = 0);

// A matrix of distances, a row a line: square (n nodes, every one a client
// and a site; it must be symmetric) or clients x sites (clients and sites
// then distinct nodes). An optional header row names the sites and an
// optional first column names the clients (a row whose first field is not
// a number has one); a column named "weight" holds the clients' weights.
Instance read_matrix_instance(std::FILE* file, const std::string& name, int p);

// The instance of a clients x sites matrix whose row i fill_row(i, row)
// writes, as read_matrix_instance builds it: square, symmetric and zero on
// the diagonal is one set of nodes, anything else clients and sites apart.
// weights (per client), client_ids and site_ids may be empty.
Instance instance_from_matrix(int clients, int sites, const std::function<void(int, float*)>& fill_row,
                              std::vector<double> weights, std::vector<std::string> client_ids,
                              std::vector<std::string> site_ids, int p);

// Reads one weight a line (the column named weight when there is a header)
// for the instance's clients, in order.
void read_weights(std::FILE* file, const std::string& name, Instance& instance);

}  // namespace pmedian
