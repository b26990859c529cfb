#include "inputs/field_reader.hpp"

#include <charconv>
#include <cmath>

#include "data_file.hpp"

namespace pmedian {

namespace {

// How much of the first line is looked at for its delimiter.
constexpr std::size_t delimiter_lookahead_bytes = std::size_t(1) << 24;

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

FieldReader::FieldReader(std::FILE* file, std::string name, char delimiter)
    : file_(file), name_(std::move(name)), delimiter_(delimiter) {}

int FieldReader::get() {
    if (!raw_.empty()) {
        const int c = static_cast<unsigned char>(raw_.back());
        raw_.pop_back();
        return c;
    }
    return std::getc(file_);
}

void FieldReader::choose_delimiter() {
    // The first line, read ahead and given back: its first comma,
    // semicolon or tab names the delimiter, else white space separates.
    std::string ahead;
    int c = 0;
    while (ahead.size() < delimiter_lookahead_bytes && (c = std::getc(file_)) != EOF) {
        ahead.push_back(char(c));
        if (c == '\n') break;
    }
    delimiter_ = ' ';
    for (const char d : {',', ';', '\t'}) {
        if (ahead.find(d) != std::string::npos) {
            delimiter_ = d;
            break;
        }
    }
    // Kept reversed, so that get() takes its bytes from the back.
    raw_.assign(ahead.rbegin(), ahead.rend());
}

bool FieldReader::next_line() {
    if (delimiter_ == 0) choose_delimiter();
    while (read_line()) {
        if (!fields_.empty() && !(fields_[0].size() > 0 && fields_[0][0] == '#')) return true;
    }
    return false;
}

bool FieldReader::read_line() {
    fields_.clear();
    columns_.clear();
    ++line_;
    long long column = 0;
    int c = get();
    if (c == EOF) return false;
    const bool spaces = delimiter_ == ' ';
    std::string field;
    for (;;) {
        // Blanks before a field.
        while (c != EOF && c != '\n' && is_blank(c) && (spaces || c != delimiter_)) {
            c = get();
            ++column;
        }
        if (spaces && (c == EOF || c == '\n')) break;
        const long long start = column + 1;
        field.clear();
        bool quoted = false;
        if (!spaces && c == '"') {
            quoted = true;
            for (;;) {
                c = get();
                ++column;
                if (c == EOF || c == '\n') {
                    columns_.push_back(start);
                    fields_.push_back(field);
                    fail(fields_.size() - 1, "a quoted field does not end on its line");
                }
                if (c == '"') {
                    c = get();
                    ++column;
                    if (c != '"') break;
                }
                field.push_back(char(c));
                if (field.size() > longest_field_bytes) {
                    columns_.push_back(start);
                    fields_.push_back("");
                    fail(fields_.size() - 1, "a field longer than " + std::to_string(longest_field_bytes) + " bytes");
                }
            }
        }
        // The field's own bytes, up to its delimiter or the line's end.
        while (c != EOF && c != '\n' && c != delimiter_ && !(spaces && is_blank(c))) {
            if (quoted && !is_blank(c)) {
                columns_.push_back(column + 1);
                fields_.push_back("");
                fail(fields_.size() - 1, "text after a quoted field");
            }
            if (c == '\0') {
                columns_.push_back(column + 1);
                fields_.push_back("");
                fail(fields_.size() - 1, "a zero byte: this is not a text file");
            }
            if (!quoted) field.push_back(char(c));
            if (field.size() > longest_field_bytes) {
                columns_.push_back(start);
                fields_.push_back("");
                fail(fields_.size() - 1, "a field longer than " + std::to_string(longest_field_bytes) + " bytes");
            }
            c = get();
            ++column;
        }
        if (!quoted) {
            while (!field.empty() && is_blank(static_cast<unsigned char>(field.back()))) field.pop_back();
        }
        if (fields_.size() == most_fields_per_line) fail(fields_.size(), "too many fields on one line");
        columns_.push_back(start);
        fields_.push_back(field);
        if (c == EOF || c == '\n') break;
        c = get();  // past the delimiter
        ++column;
        if (!spaces && (c == EOF || c == '\n')) {
            // A delimiter at the end of a line leaves an empty last field.
            columns_.push_back(column);
            fields_.push_back("");
            break;
        }
    }
    end_column_ = column + 1;
    // A line of one empty field is a blank line.
    if (fields_.size() == 1 && fields_[0].empty()) fields_.clear();
    return true;
}

double FieldReader::number(std::size_t k, const char* what) const {
    double value = 0;
    if (!parse_number(fields_[k], value)) fail(k, "'" + fields_[k] + "' is not " + what);
    return value;
}

void FieldReader::fail(std::size_t k, const std::string& what) const {
    const long long column = k < columns_.size() ? columns_[k] : end_column_;
    throw Fatal{name_ + ": line " + std::to_string(line_) + ", column " + std::to_string(column) + ": " + what};
}

void FieldReader::fail_file(const std::string& what) const { throw Fatal{name_ + ": " + what}; }

}  // namespace pmedian
