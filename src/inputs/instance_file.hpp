// An instance read from a file of any of the kinds the programs accept.
#pragma once

#include <cstdio>
#include <memory>
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

// A file read by the readers, closed at the end of its scope.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// The named file opened for reading; a Fatal "cannot read 'NAME'" otherwise.
InputFile open_input_file(const std::string& name);

// Reads and settles the instance. Bad data throws a Fatal with one line
// naming the file and, where it can, the line and column.
Instance read_instance(const InstanceSource& source);

}  // namespace pmedian
