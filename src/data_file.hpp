// The text of facloc.dat: white-space separated tokens, the header grammar
// and the distance grammar, with the messages for data that break them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace pmedian {

// Opens a data file for reading; null when it cannot be opened or is a
// directory (which opens but yields no data).
std::FILE* open_data_file(const char* name);

// Splits a stream into white-space separated tokens, reading it in large
// chunks. A token longer than a chunk that holds a byte no number holds, or
// that is longer than longest_token_bytes, is returned as invalid_token,
// which no grammar accepts.
inline constexpr std::size_t longest_token_bytes = std::size_t(1) << 24;
inline constexpr std::string_view invalid_token = "\x01";
class TokenReader {
public:
    explicit TokenReader(std::FILE* file);
    // The next token, or an empty view at the end of the data. The view
    // stays valid until the next call.
    std::string_view next();
    // Reads up to `count` tokens in a row that are short plain decimals (at
    // most seven digits, at most one point, no sign) into out, as
    // parse_real would, and returns how many; stops before the first token
    // of another shape, which it leaves unread.
    int next_short_decimals(float* out, int count);

private:
    bool refill();
    // The first position from pos that is not white space, or the chunk's end.
    std::size_t past_space(std::size_t pos) const;
    std::FILE* file_;
    std::unique_ptr<char[]> chunk_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    std::string long_token_;
};

enum class ParseResult { ok, invalid, out_of_range };

// A whole token as a decimal int with an optional sign.
ParseResult parse_int(std::string_view token, int& value);

// A whole token as a decimal real (optional sign, digits with at most one
// point, optional exponent) converted to the nearest float. A value too
// large for a float is out of range; one too small is 0.
ParseResult parse_real(std::string_view token, float& value);

// A whole token as a finite decimal double, as a number given on a command
// line or in a table; false otherwise.
bool parse_number(std::string_view token, double& value);

// Reads n and p from the file named file_name; throws Fatal, naming it,
// when they are not two ints.
void read_header(TokenReader& in, const std::string& file_name, int& n, int& p);

// Reads the distance between nodes i and j; throws Fatal when it is missing,
// not a number, negative, or not below INF_DIST.
float read_distance(TokenReader& in, int i, int j);
// Reads the distances between node i and nodes j .. j + count - 1 into out,
// as read_distance would one by one.
void read_distances(TokenReader& in, int i, int j, int count, float* out);

}  // namespace pmedian
