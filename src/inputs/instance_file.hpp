// An instance read from a file of any of the kinds the programs accept.
#pragma once

#include <string>

#include "certify/instance.hpp"

namespace pmedian {

enum class InstanceFormat { facloc, points, tsplib, matrix, orlib };

struct InstanceSource {
    InstanceFormat format = InstanceFormat::facloc;
    std::string file = "facloc.dat";
    int p = 0;             // 0: the file's own (facloc, orlib)
    std::string distance;  // empty: the format's default
    std::string weights;   // a file of the clients' weights (matrix)
};

// Reads and settles the instance. Bad data throws a Fatal with one line
// naming the file and, where it can, the line and column.
Instance read_instance(const InstanceSource& source);

}  // namespace pmedian
