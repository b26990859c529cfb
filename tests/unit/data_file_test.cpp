#include "data_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian {
namespace {

std::FILE* stream_of(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

std::vector<std::string> tokens_of(const std::string& text) {
    std::FILE* f = stream_of(text);
    TokenReader in(f);
    std::vector<std::string> tokens;
    for (std::string_view token = in.next(); !token.empty(); token = in.next()) tokens.emplace_back(token);
    std::fclose(f);
    return tokens;
}

TEST(TokenReader, SplitsOnEveryKindOfWhiteSpace) {
    EXPECT_EQ(tokens_of(" 4\t1\r\n1\v2\f3  \n"), (std::vector<std::string>{"4", "1", "1", "2", "3"}));
    EXPECT_TRUE(tokens_of("").empty());
    EXPECT_TRUE(tokens_of(" \n\t ").empty());
}

TEST(TokenReader, KeepsTokensWholeAcrossChunks) {
    // The reader's chunks end at every megabyte: tokens straddling a chunk
    // end, and one longer than a chunk, must come out whole.
    const std::string long_token(3 << 20, '7');
    std::string text(1 << 20, ' ');
    text.replace((1 << 20) - 2, 2, "12");
    text += "34 " + long_token + " 5";
    EXPECT_EQ(tokens_of(text), (std::vector<std::string>{"1234", long_token, "5"}));
}

TEST(TokenReader, KeepsNulBytesInsideTokens) {
    EXPECT_EQ(tokens_of(std::string("1\0"
                                    "2 3",
                                    5)),
              (std::vector<std::string>{std::string("1\0"
                                                    "2",
                                                    3),
                                        "3"}));
}

TEST(ParseInt, AcceptsSignedWholeNumbersThatFitAnInt) {
    int v = 0;
    EXPECT_EQ(parse_int("4", v), ParseResult::ok);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(parse_int("+12", v), ParseResult::ok);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(parse_int("-3", v), ParseResult::ok);
    EXPECT_EQ(v, -3);
    EXPECT_EQ(parse_int("2147483647", v), ParseResult::ok);
    EXPECT_EQ(v, 2147483647);
}

TEST(ParseInt, RejectsAnythingElse) {
    int v = 0;
    for (const char* token : {"", "1.5", "abc", "4x", "+", "-", "+-4", "1e3", "0x10"}) {
        EXPECT_EQ(parse_int(token, v), ParseResult::invalid) << token;
    }
    EXPECT_EQ(parse_int("2147483648", v), ParseResult::out_of_range);
    EXPECT_EQ(parse_int("-99999999999", v), ParseResult::out_of_range);
}

TEST(ParseReal, AcceptsTheDecimalGrammar) {
    const std::pair<const char*, float> cases[] = {
        {"5", 5.0f},     {"5.", 5.0f},     {".5", 0.5f},      {"5.25", 5.25f}, {"+5", 5.0f},
        {"-2.5", -2.5f}, {"1e3", 1000.0f}, {"1E+3", 1000.0f}, {"25e-1", 2.5f}, {"007", 7.0f},
        {"0.1", 0.1f},   {"1e-50", 0.0f},  {"1e-40", 1e-40f}, {"-0", -0.0f},   {".5e1", 5.0f},
    };
    for (const auto& [token, expected] : cases) {
        float v = -1;
        ASSERT_EQ(parse_real(token, v), ParseResult::ok) << token;
        EXPECT_EQ(v, expected) << token;
    }
}

TEST(ParseReal, RoundsTheDecimalOnceToTheNearestFloat) {
    // Halfway between 1 and the next float, plus a little: rounding through
    // a double first would land on the halfway point and then on 1.
    float v = 0;
    ASSERT_EQ(parse_real("1.00000005960464477539062500000001", v), ParseResult::ok);
    EXPECT_EQ(v, 1.00000012f);
}

TEST(ParseReal, ShortDecimalsRoundAsTheFullConversionDoes) {
    // Up to seven digits take a shorter road; it must land on the same
    // float as the correctly rounded conversion, halfway cases included.
    std::mt19937 rng(17);
    for (int k = 0; k < 200000; ++k) {
        const int digits = 1 + int(rng() % 8);
        std::string token = (rng() % 4 == 0) ? "-" : "";
        const int point = int(rng() % (digits + 2)) - 1;  // -1: no point
        for (int d = 0; d < digits; ++d) {
            if (d == point) token += '.';
            token += char('0' + rng() % 10);
        }
        if (point == digits) token += '.';
        float value = 0;
        ASSERT_EQ(parse_real(token, value), ParseResult::ok) << token;
        EXPECT_EQ(value, std::strtof(token.c_str(), nullptr)) << token;
    }
    float value = 0;
    ASSERT_EQ(parse_real("16777217", value),
              ParseResult::ok);  // eight digits, halfway between two floats
    EXPECT_EQ(value, 16777216.0f);
    ASSERT_EQ(parse_real("0.3000001", value), ParseResult::ok);
    EXPECT_EQ(value, std::strtof("0.3000001", nullptr));
}

TEST(ParseReal, RejectsWhatIsNotADecimalReal) {
    for (const char* token : {"",      "abc", "2,5", "5abc", "1e",   "1e+",      "e5",    ".",    "+",     "-.",
                              "1.2.3", "--5", "nan", "inf",  "-inf", "infinity", "0x1p3", "0x10", "1e5.0", "5 "}) {
        float v = 0;
        EXPECT_EQ(parse_real(token, v), ParseResult::invalid) << token;
    }
}

TEST(ParseReal, TellsOverflowFromUnderflow) {
    float v = 0;
    EXPECT_EQ(parse_real("1e39", v), ParseResult::out_of_range);
    EXPECT_EQ(parse_real("-1e39", v), ParseResult::out_of_range);
    EXPECT_EQ(parse_real("1e999999999999999", v), ParseResult::out_of_range);
    EXPECT_EQ(parse_real("123456789012345678901234567890123456789012", v), ParseResult::out_of_range);
    v = 7;
    EXPECT_EQ(parse_real("0.000000000000000000000000000000000000000000000000001", v), ParseResult::ok);
    EXPECT_EQ(v, 0.0f);
    v = 7;
    EXPECT_EQ(parse_real("1e-999999999999999", v), ParseResult::ok);
    EXPECT_EQ(v, 0.0f);
}

std::string distance_error(const std::string& text) {
    std::FILE* f = stream_of(text);
    TokenReader in(f);
    std::string message;
    try {
        read_distance(in, 2, 5);
    } catch (const Fatal& fatal) {
        message = fatal.message;
    }
    std::fclose(f);
    return message;
}

TEST(ReadDistance, NamesTheCellOfAMissingOrInvalidValue) {
    const std::string invalid = "\nDistancia invalida ou ausente entre os nos 2 e 5\n";
    EXPECT_EQ(distance_error(""), invalid);
    EXPECT_EQ(distance_error("  \n"), invalid);
    EXPECT_EQ(distance_error("x"), invalid);
    EXPECT_EQ(distance_error("nan"), invalid);
}

TEST(ReadDistance, RejectsNegativeValuesAndValuesFromTheSentinelUp) {
    const std::string range = "\nDistancia fora do intervalo entre os nos 2 e 5\n";
    EXPECT_EQ(distance_error("-1"), range);
    EXPECT_EQ(distance_error("9.99e10"), range);
    EXPECT_EQ(distance_error("99899998208"), range);
    EXPECT_EQ(distance_error("1e39"), range);
    EXPECT_EQ(distance_error("9.98e10"), "");
    EXPECT_EQ(distance_error("-0"), "");
    EXPECT_EQ(distance_error("1e-50"), "");
}

TEST(ReadDistance, ReadsEveryTokenAsParseRealDoes) {
    // Short plain decimals take a quicker way than the others; either way
    // the values are parse_real's, also for a short one straddling the end
    // of the reader's first megabyte, where a chunk ends.
    std::mt19937 rng(3);
    const std::vector<std::string> shapes = {"7",  "1234567", "12345678", "0.1234567", "1.5", ".5",        "5.",
                                             "+5", "2e",      "2.5E-1",   "007",       "0",   "0.0000001", "99999.99"};
    const std::vector<std::string> spaces = {" ", "\n", "\t", "\r\n", "  "};
    std::string text;
    std::vector<std::string> tokens;
    auto add = [&](const std::string& token) {
        text += token + spaces[rng() % spaces.size()];
        tokens.push_back(token);
    };
    auto any_token = [&] { return shapes[rng() % shapes.size()] + std::to_string(rng() % 10); };
    while (text.size() < (1 << 20) - 40) add(any_token());
    text.append((1 << 20) - 2 - text.size(), ' ');
    add("1234.5");
    for (int k = 0; k < 1000; ++k) add(any_token());

    std::vector<float> expected(tokens.size());
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        ASSERT_EQ(parse_real(tokens[k], expected[k]), ParseResult::ok) << tokens[k];
    }
    std::FILE* f = stream_of(text);
    TokenReader in(f);
    for (std::size_t k = 0; k < tokens.size(); ++k) ASSERT_EQ(read_distance(in, 0, 1), expected[k]) << tokens[k];
    std::fclose(f);
    // The same tokens a row at a time, in rows of many lengths.
    f = stream_of(text);
    TokenReader rows(f);
    std::vector<float> row(tokens.size());
    for (std::size_t k = 0; k < tokens.size();) {
        const int count = int(std::min<std::size_t>(tokens.size() - k, 1 + rng() % 60));
        read_distances(rows, 0, 1, count, row.data() + k);
        k += std::size_t(count);
    }
    for (std::size_t k = 0; k < tokens.size(); ++k) ASSERT_EQ(row[k], expected[k]) << tokens[k];
    std::fclose(f);

    const std::string invalid = "\nDistancia invalida ou ausente entre os nos 2 e 5\n";
    for (const char* text : {"12a", "1.2.3", "5..", "1-2", ".", "1.5x 2"})
        EXPECT_EQ(distance_error(text), invalid) << text;
}

TEST(ReadDistance, ARowReadsTokensOfEveryDigitCountAsParseRealDoes) {
    // Tokens of up to nine digits on either side of a point, each followed
    // by white space or by some other byte, at the head of a row with room
    // after it: the values parse_real gives, or the error.
    std::mt19937 rng(11);
    const std::string followers = " \n\t\r\v\f.x/:+-e\x80";
    for (int trial = 0; trial < 4000; ++trial) {
        std::string token;
        const auto add_digits = [&](int count) {
            for (int k = 0; k < count; ++k) token += char('0' + rng() % 10);
        };
        add_digits(int(rng() % 10));
        if (rng() % 2) {
            token += '.';
            add_digits(int(rng() % 10));
        }
        const char follower = followers[rng() % followers.size()];
        std::string whole_token = token;
        if (!std::isspace(static_cast<unsigned char>(follower))) whole_token += follower;
        if (whole_token.empty()) continue;
        float expected = 0;
        const bool valid = parse_real(whole_token, expected) == ParseResult::ok && expected < INF_DIST;
        std::FILE* f = stream_of(token + follower + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20");
        TokenReader in(f);
        float row[8] = {};
        bool threw = false;
        try {
            read_distances(in, 0, 1, 8, row);
        } catch (const Fatal&) {
            threw = true;
        }
        std::fclose(f);
        ASSERT_EQ(threw, !valid) << whole_token;
        if (valid) {
            ASSERT_EQ(row[0], expected) << whole_token;
            ASSERT_EQ(row[1], 1.0f) << whole_token;
        }
    }
}

TEST(ReadDistance, ARowNamesTheCellWhereItsValuesStop) {
    std::FILE* f = stream_of("1 2.5 3 4e0 5 x 7");
    TokenReader in(f);
    float row[7];
    std::string message;
    try {
        read_distances(in, 2, 5, 7, row);
    } catch (const Fatal& fatal) {
        message = fatal.message;
    }
    std::fclose(f);
    EXPECT_EQ(message, "\nDistancia invalida ou ausente entre os nos 2 e 10\n");
    EXPECT_EQ(row[1], 2.5f);
    EXPECT_EQ(row[3], 4.0f);
}

TEST(ReadHeader, NeedsTwoInts) {
    const std::string invalid = "\nCabecalho invalido em 'facloc.dat': esperados n e p inteiros\n";
    for (const char* text : {"", "4", "four 1", "4 1.5", "1.5 1", "4,1", "99999999999 1", "4 -99999999999"}) {
        std::FILE* f = stream_of(text);
        TokenReader in(f);
        int n = 0;
        int p = 0;
        try {
            read_header(in, "facloc.dat", n, p);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const Fatal& fatal) {
            EXPECT_EQ(fatal.message, invalid);
        }
        std::fclose(f);
    }
}

}  // namespace
}  // namespace pmedian
