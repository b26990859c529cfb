#include "data_file.hpp"

#include <sys/stat.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kernels/tuning.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// The white space of the C locale.
constexpr std::array<bool, 256> space_table = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = true;
    return table;
}();

bool is_space(char c) { return space_table[static_cast<unsigned char>(c)]; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::FILE* open_data_file(const char* name) {
    std::FILE* file = std::fopen(name, "r");
    struct stat info {};
    if (file != nullptr && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// One byte past the chunk holds a space, so that a token's scan needs no
// bound check: it always ends at white space. The chunk is not zeroed: a
// small file then touches only the pages it fills, where zeroing a megabyte
// was a good part of a small run.
TokenReader::TokenReader(std::FILE* file)
    : file_(file), chunk_(std::make_unique_for_overwrite<char[]>(reader_chunk_bytes + 1)) {}

std::size_t TokenReader::past_space(std::size_t pos) const {
    while (pos < end_ && is_space(chunk_[pos])) ++pos;
    return pos;
}

bool TokenReader::refill() {
    pos_ = 0;
    end_ = at_end_ ? 0 : std::fread(chunk_.get(), 1, reader_chunk_bytes, file_);
    chunk_[end_] = ' ';
    if (end_ == 0) at_end_ = true;
    return end_ > 0;
}

namespace {

// Whether every byte may be part of a number: digits, signs, points, exponents.
bool may_be_numeric(std::string_view text) {
    for (const char c : text) {
        if (!is_digit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return false;
    }
    return true;
}

}  // namespace

std::string_view TokenReader::next() {
    // Locals, so that the scans keep their position in a register.
    const char* data = chunk_.get();
    std::size_t pos = pos_;
    for (;;) {
        pos = past_space(pos);
        if (pos < end_) break;
        if (!refill()) return {};
        pos = 0;
    }
    const std::size_t start = pos;
    while (!is_space(data[pos])) ++pos;
    pos_ = pos;
    if (pos < end_ || at_end_) return {data + start, pos - start};

    // The token runs past this chunk: gather it piece by piece while it can
    // still become a number, and up to a length no number of the data
    // reaches. A byte no number holds (a file of zero bytes, say) or a
    // longer token makes it invalid there, so that the memory it holds and
    // the time it takes stay bounded.
    long_token_.assign(chunk_.get() + start, pos_ - start);
    if (!may_be_numeric(long_token_)) return invalid_token;
    while (refill()) {
        while (pos_ < end_ && !is_space(chunk_[pos_])) ++pos_;
        const std::string_view piece(chunk_.get(), pos_);
        if (!may_be_numeric(piece) || long_token_.size() + piece.size() > longest_token_bytes) return invalid_token;
        long_token_.append(piece);
        if (pos_ < end_) break;
    }
    return long_token_;
}

namespace {

// A plain decimal: digits with at most one point, read from `at` up to
// `last` or to the first other byte. Up to seven digits, the digits and the
// power of ten are exact floats, and one float division rounds their
// quotient to the nearest float, as the full conversion does.
struct PlainDecimal {
    const char* end;    // where the scan stopped
    bool short_enough;  // at least one digit and at most seven
    float value;        // when short enough
};

PlainDecimal scan_plain_decimal(const char* at, const char* last) {
    static constexpr float powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    std::uint32_t digits_value = 0;  // wraps past seven digits, when unused
    // Reads a run of digits into digits_value; returns how many.
    const auto read_digits = [&] {
        const char* const first = at;
        for (; at < last && is_digit(*at); ++at) digits_value = digits_value * 10 + std::uint32_t(*at - '0');
        return int(at - first);
    };
    int digits = read_digits();
    int decimals = 0;
    if (at < last && *at == '.') {
        ++at;
        decimals = read_digits();
        digits += decimals;
    }
    const bool short_enough = digits > 0 && digits <= 7;
    const float magnitude = float(digits_value);
    const float value = short_enough && decimals > 0 ? magnitude / powers_of_ten[decimals] : magnitude;
    return {at, short_enough, value};
}

}  // namespace

int TokenReader::next_short_decimals(float* out, int count) {
    const char* data = chunk_.get();
    std::size_t pos = pos_;
    int read = 0;
    while (read < count) {
        pos = past_space(pos);
        const PlainDecimal decimal = scan_plain_decimal(data + pos, data + end_);
        // A token reaching the chunk's end may go on in the next chunk.
        const std::size_t stop = std::size_t(decimal.end - data);
        if (!decimal.short_enough || stop >= end_ || !is_space(data[stop])) break;
        out[read++] = decimal.value;
        pos = stop;
    }
    pos_ = pos;
    return read;
}

ParseResult parse_int(std::string_view token, int& value) {
    if (token.size() > 1 && token[0] == '+' && is_digit(token[1])) token.remove_prefix(1);
    const char* last = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), last, value);
    if (token.empty() || ptr != last) return ParseResult::invalid;
    if (ec == std::errc::result_out_of_range) return ParseResult::out_of_range;
    return ec == std::errc() ? ParseResult::ok : ParseResult::invalid;
}

namespace {

// Most distances are short plain decimals.
bool parse_short_decimal(std::string_view token, float& value) {
    const char* at = token.data();
    const char* last = at + token.size();
    bool negative = false;
    if (at < last && (*at == '+' || *at == '-')) negative = *at++ == '-';
    const PlainDecimal decimal = scan_plain_decimal(at, last);
    if (!decimal.short_enough || decimal.end != last) return false;
    value = negative ? -decimal.value : decimal.value;
    return true;
}

}  // namespace

ParseResult parse_real(std::string_view token, float& value) {
    if (parse_short_decimal(token, value)) return ParseResult::ok;
    std::size_t at = 0;
    const std::size_t size = token.size();
    bool negative = false;
    if (at < size && (token[at] == '+' || token[at] == '-')) negative = token[at++] == '-';
    const std::size_t mantissa = at;

    // Digits with at most one point, at least one digit; and, for telling
    // overflow from underflow, the position of the first significant digit.
    std::size_t digits = 0;
    long long point_shift = 0;  // digits before the point, less leading zeros
    bool seen_point = false;
    bool seen_significant = false;
    for (; at < size; ++at) {
        char c = token[at];
        if (c == '.') {
            if (seen_point) return ParseResult::invalid;
            seen_point = true;
        } else if (is_digit(c)) {
            ++digits;
            if (c != '0') seen_significant = true;
            if (!seen_point && seen_significant) ++point_shift;
            if (seen_point && !seen_significant) --point_shift;
        } else {
            break;
        }
    }
    if (digits == 0) return ParseResult::invalid;

    long long exponent = 0;
    if (at < size && (token[at] == 'e' || token[at] == 'E')) {
        ++at;
        bool exponent_negative = false;
        if (at < size && (token[at] == '+' || token[at] == '-')) exponent_negative = token[at++] == '-';
        std::size_t exponent_start = at;
        for (; at < size && is_digit(token[at]); ++at) {
            if (exponent < 1000000) exponent = exponent * 10 + (token[at] - '0');
        }
        if (at == exponent_start) return ParseResult::invalid;
        if (exponent_negative) exponent = -exponent;
    }
    if (at != size) return ParseResult::invalid;

    const char* first = token.data() + mantissa;
    const char* last = token.data() + size;
    float magnitude = 0;
    auto [ptr, ec] = std::from_chars(first, last, magnitude);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a float: which one, from the decimal
        // exponent of the first significant digit.
        if (point_shift + exponent > 0) return ParseResult::out_of_range;
        magnitude = 0;
    } else if (ec != std::errc() || ptr != last) {
        return ParseResult::invalid;
    }
    value = negative ? -magnitude : magnitude;
    return ParseResult::ok;
}

bool parse_number(std::string_view token, double& value) {
    const char* first = token.data();
    const char* last = first + token.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return first != last && ec == std::errc() && ptr == last && std::isfinite(value);
}

void read_header(TokenReader& in, const std::string& file_name, int& n, int& p) {
    if (parse_int(in.next(), n) != ParseResult::ok || parse_int(in.next(), p) != ParseResult::ok) {
        throw Fatal{"\nCabecalho invalido em '" + file_name + "': esperados n e p inteiros\n"};
    }
}

float read_distance(TokenReader& in, int i, int j) {
    float value = 0;
    // Unsigned, so neither negative nor beyond a float's range.
    if (in.next_short_decimals(&value, 1) == 1) return value;
    switch (parse_real(in.next(), value)) {
        case ParseResult::ok:
            if (value < 0 || !(value < INF_DIST)) break;
            return value;
        case ParseResult::out_of_range:
            break;
        case ParseResult::invalid:
            throw Fatal{format_message("\nDistancia invalida ou ausente entre os nos %d e %d\n", i, j)};
    }
    throw Fatal{format_message("\nDistancia fora do intervalo entre os nos %d e %d\n", i, j)};
}

void read_distances(TokenReader& in, int i, int j, int count, float* out) {
    for (int k = 0; k < count;) {
        k += in.next_short_decimals(out + k, count - k);
        if (k < count) {
            out[k] = read_distance(in, i, j + k);
            ++k;
        }
    }
}

}  // namespace pmedian
