// pmedian-convert: turns a road graph, a table of points or a full matrix
// into a facloc.dat for pmedian.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "data_file.hpp"
#include "facloc_writer.hpp"
#include "inputs/distances.hpp"
#include "inputs/instance_file.hpp"
#include "random_points.hpp"

namespace {

using namespace pmedian::tools;
using pmedian::Instance;
using pmedian::InstanceFormat;
using pmedian::InstanceSource;
using pmedian::parse_number;

constexpr const char* help_text = R"(Usage: pmedian-convert COMMAND ARGUMENTS [-o FILE]

Writes a facloc.dat for pmedian (the header "n p", then the upper triangle of
the distance matrix, a row a line) to standard output, or to FILE with -o.

Commands:
  orlib FILE            an OR-Library p-median file: a line "n edges p", then
                        "i j cost" per edge, nodes numbered from 1; where an
                        edge appears more than once the last cost counts.
                        Distances are shortest paths over the undirected graph.
  points FILE P [--round]
                        one point a line, two or more coordinates separated
                        by white space, commas, semicolons or tabs (blank
                        lines and lines starting with '#' are skipped); a
                        header may name the columns x, y, ... as
                        pmedian-certify --points reads them (weights, roles
                        and fixed sites are for pmedian-certify alone).
                        Distances are Euclidean: with --round, rounded to
                        the nearest whole number (floor(d + 0.5)); otherwise
                        written with enough digits to read back as the float
                        nearest to the distance.
  tsplib FILE P [--floor | --nint | --real]
                        a TSPLIB coordinate file of type EUC_2D. Distances
                        are Euclidean, rounded down (--floor, the default:
                        the convention of the published p-median optima of
                        TSPLIB instances), to the nearest whole number
                        (--nint, TSPLIB's own convention for tours) or not
                        at all (--real).
  matrix FILE P         a full n x n matrix, one row a line (white space,
                        commas, semicolons or tabs); it must be square,
                        symmetric and zero on the diagonal.
  random N P SEED [--round] [--save-points FILE]
                        N points drawn uniformly in a 1000 x 1000 square,
                        then as 'points'; the same SEED gives the same file on
                        every machine. --save-points also writes the points.

Options:
  -o FILE               write to FILE instead of standard output
  --help                show this text

Exit status: 0 on success; 1 with one line on standard error when the
arguments or the data are wrong.
)";

struct Arguments {
    std::vector<std::string> words;
    std::string output;
    std::string save_points;
    bool round = false;
    std::string tsplib_rounding;  // --floor, --nint or --real, when given
};

Arguments parse_arguments(int argc, char** argv) {
    Arguments args;
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if (word == "--round") {
            args.round = true;
        } else if (word == "--floor" || word == "--nint" || word == "--real") {
            if (!args.tsplib_rounding.empty()) throw InputError("one of --floor, --nint and --real, please");
            args.tsplib_rounding = word;
        } else if (word == "-o" || word == "--save-points") {
            if (k + 1 >= argc) throw InputError(word + " needs a file name");
            (word == "-o" ? args.output : args.save_points) = argv[++k];
        } else if (word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]))) {
            throw InputError("unknown option '" + word + "' (see --help)");
        } else {
            args.words.push_back(word);
        }
    }
    return args;
}

void expect_words(const Arguments& args, std::size_t count, const char* usage) {
    if (args.words.size() != count) throw InputError(std::string("usage: pmedian-convert ") + usage);
}

int parse_count(const std::string& text) {
    double value = 0;
    if (!parse_number(text, value) || value != double(int(value)) || value < 1 || value > 1e6) {
        throw InputError("N must be a whole number from 1 to 1000000, not '" + text + "'");
    }
    return int(value);
}

std::uint64_t parse_seed(const std::string& text) {
    std::uint64_t seed = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        throw InputError("SEED must be a whole number, not '" + text + "'");
    }
    for (char c : text) seed = seed * 10 + std::uint64_t(c - '0');
    return seed;
}

// Output goes to a temporary file renamed into place once complete, so a
// failure never leaves a truncated facloc.dat behind.
class Output {
public:
    explicit Output(const std::string& name) : name_(name), temp_(name + ".partial") {
        file_ = name.empty() ? stdout : std::fopen(temp_.c_str(), "w");
        if (file_ == nullptr) throw InputError("cannot write '" + name + "'");
    }
    ~Output() {
        if (!name_.empty() && file_ != nullptr) {
            std::fclose(file_);
            std::remove(temp_.c_str());
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    std::FILE* file() const { return file_; }
    void commit() {
        if (name_.empty()) return;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed || std::rename(temp_.c_str(), name_.c_str()) != 0) {
            std::remove(temp_.c_str());
            throw InputError("cannot write '" + name_ + "'");
        }
    }

private:
    std::string name_;
    std::string temp_;
    std::FILE* file_ = nullptr;
};

// Writes a whole file through Output: write(file) fills it.
template <typename Write>
void save(const std::string& name, Write write) {
    Output out(name);
    write(out.file());
    out.commit();
}

// P as a whole number of at least 1 (the instance checks it against n).
int parse_p(const std::string& text) {
    double value = 0;
    if (!parse_number(text, value) || value != double(int(value)) || value < 1) {
        throw InputError("P must be a whole number from 1 to n, not '" + text + "'");
    }
    return int(value);
}

// The instance of a file of the given format, written as a facloc.dat.
void convert_file(const Arguments& args, InstanceFormat format, int p = 0, const std::string& distance = "") {
    InstanceSource source;
    source.format = format;
    source.file = args.words[1];
    source.p = p;
    source.distance = distance;
    const Instance instance = pmedian::read_instance(source);
    save(args.output, [&](std::FILE* file) { write_instance(file, instance); });
}

void run(const Arguments& args) {
    if (args.words.empty()) throw InputError("no command given (see --help)");
    const std::string& command = args.words[0];
    if (command != "points" && command != "random" && args.round) {
        throw InputError("--round goes with 'points' and 'random'");
    }
    if (command != "random" && !args.save_points.empty()) throw InputError("--save-points goes with 'random'");
    if (command != "tsplib" && !args.tsplib_rounding.empty()) {
        throw InputError(args.tsplib_rounding + " goes with 'tsplib'");
    }

    if (command == "orlib") {
        expect_words(args, 2, "orlib FILE [-o FILE]");
        convert_file(args, InstanceFormat::orlib);
    } else if (command == "points") {
        expect_words(args, 3, "points FILE P [--round] [-o FILE]");
        convert_file(args, InstanceFormat::points, parse_p(args.words[2]), args.round ? "nint" : "euclidean");
    } else if (command == "tsplib") {
        expect_words(args, 3, "tsplib FILE P [--floor | --nint | --real] [-o FILE]");
        const std::string distance = args.tsplib_rounding == "--nint"   ? "nint"
                                     : args.tsplib_rounding == "--real" ? "euclidean"
                                                                        : "floor";
        convert_file(args, InstanceFormat::tsplib, parse_p(args.words[2]), distance);
    } else if (command == "matrix") {
        expect_words(args, 3, "matrix FILE P [-o FILE]");
        convert_file(args, InstanceFormat::matrix, parse_p(args.words[2]));
    } else if (command == "random") {
        expect_words(args, 4, "random N P SEED [--round] [--save-points FILE] [-o FILE]");
        const int n = parse_count(args.words[1]);
        const int p = parse_p(args.words[2]);
        if (p > n) throw InputError("P must be a whole number from 1 to n = " + std::to_string(n));
        pmedian::PointsTable points = random_points(n, parse_seed(args.words[3]));
        if (!args.save_points.empty()) {
            save(args.save_points, [&](std::FILE* file) { write_point_table(file, points); });
        }
        const Instance instance = pmedian::instance_from_points(
            std::move(points), p, args.round ? pmedian::DistanceKind::nint : pmedian::DistanceKind::euclidean);
        save(args.output, [&](std::FILE* file) { write_instance(file, instance); });
    } else {
        throw InputError("unknown command '" + command + "' (see --help)");
    }
}

}  // namespace

int main(int argc, char** argv) {
    return pmedian::tools::run_command_line(argc, argv, "pmedian-convert", help_text,
                                            [&] { run(parse_arguments(argc, argv)); });
}
