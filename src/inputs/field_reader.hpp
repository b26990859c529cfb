// A text table read a line at a time, each line split into fields: by a
// delimiter (comma, semicolon or tab, fields trimmed, double quotes around
// a field allowed) or by white space. Memory stays bounded whatever the
// input: a field may hold at most longest_field_bytes and a line at most
// most_fields_per_line fields. Every message names the file, the line and
// the column.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian {

inline constexpr std::size_t longest_field_bytes = 4096;
inline constexpr std::size_t most_fields_per_line = 1 << 20;

class FieldReader {
public:
    // delimiter: ',', ';', '\t', or ' ' for white space; 0 to take it from
    // the first line read (the first of comma, semicolon, tab it holds).
    FieldReader(std::FILE* file, std::string name, char delimiter = 0);

    // Reads the next line that holds a field and is not a comment (its
    // first field starting with '#'); false at the end of the file.
    bool next_line();
    std::size_t size() const { return fields_.size(); }
    const std::string& field(std::size_t k) const { return fields_[k]; }
    long long line() const { return line_; }

    // Field k as a finite number; fails naming it otherwise.
    double number(std::size_t k, const char* what = "a number") const;

    // Throws a Fatal "NAME: line L, column C: what" for field k (or the
    // line's end when k is its size).
    [[noreturn]] void fail(std::size_t k, const std::string& what) const;
    // Throws a Fatal "NAME: what".
    [[noreturn]] void fail_file(const std::string& what) const;

private:
    int get();
    void choose_delimiter();
    bool read_line();

    std::FILE* file_;
    std::string name_;
    char delimiter_;
    long long line_ = 0;
    std::vector<std::string> fields_;
    std::vector<long long> columns_;  // of each field, from 1
    long long end_column_ = 1;
    std::string raw_;  // the first line, kept while the delimiter is unknown
};

}  // namespace pmedian
