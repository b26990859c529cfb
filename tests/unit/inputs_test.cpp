// The readers of instance files: each grammar, each error with its file,
// line and column, and input that never ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "inputs/distances.hpp"
#include "inputs/graph_and_matrix.hpp"
#include "inputs/points_table.hpp"
#include "problem.hpp"

namespace pmedian {
namespace {

// A FILE reading the text, closed at destruction.
class TextFile {
public:
    explicit TextFile(const std::string& text) : text_(text), file_(fmemopen(text_.data(), text_.size(), "r")) {}
    ~TextFile() { std::fclose(file_); }
    std::FILE* get() const { return file_; }

private:
    std::string text_;
    std::FILE* file_;
};

PointsTable points(const std::string& text) { return read_points_table(TextFile(text).get(), "t.csv"); }

// The message a reader fails with, or "" when it does not.
std::string failure(const std::function<void()>& read) {
    try {
        read();
    } catch (const Fatal& fatal) {
        return fatal.message;
    }
    return "";
}

TEST(PointsTable, EachDelimiterAndTheHeaderColumns) {
    for (const std::string sep : {",", ";", "\t"}) {
        const PointsTable t =
            points("id" + sep + "x" + sep + "y" + sep + "note" + sep + "weight" + sep + "role" + sep + "fixed\n" + "a" +
                   sep + "0" + sep + "1.5" + sep + "anything" + sep + "2" + sep + "client" + sep + "0\n" +
                   "# a comment\n\n" + "b" + sep + " 3 " + sep + "4" + sep + sep + "0" + sep + "site" + sep + "1\n" +
                   "\"c, quoted\"" + sep + "6" + sep + "8" + sep + sep + sep + sep + "\n");
        ASSERT_EQ(t.n, 3);
        EXPECT_EQ(t.dimension, 2);
        EXPECT_EQ(t.point(1)[0], 3);
        EXPECT_EQ(t.point(2)[1], 8);
        EXPECT_EQ(t.weight, (std::vector<double>{2, 0, 1}));  // a site weighs nothing; the default is 1
        EXPECT_EQ(t.sites, (Fixings{0, 1, -1}));
        EXPECT_EQ(t.ids, (std::vector<std::string>{"a", "b", "c, quoted"}));
    }
    // Without a header: white space, any dimension, nothing else.
    const PointsTable plain = points("0 0 0\n1 2 2\n");
    EXPECT_EQ(plain.dimension, 3);
    EXPECT_TRUE(plain.weight.empty() && plain.sites.empty() && plain.ids.empty());
    EXPECT_TRUE(points("LAT,LON\n45,7\n-33.9,151.2\n").geographic);
}

TEST(PointsTable, BadInputIsNamedByLineAndColumn) {
    const std::pair<const char*, const char*> cases[] = {
        {"x,y\n1,2\n3,abc\n", "t.csv: line 3, column 3: 'abc' is not a number"},
        {"x,y,role\n1,2,client\n3,4,depot\n", "t.csv: line 3, column 5: a role is client, site or both, not 'depot'"},
        {"x,y,role,fixed\n1,2,client,1\n", "t.csv: line 2, column 12: a client that is no site cannot be fixed open"},
        {"x,y,weight\n1,2,-1\n", "t.csv: line 2, column 5: a weight must be at least 0"},
        {"x,y,fixed\n1,2,yes\n", "t.csv: line 2, column 5: fixed is 0 or 1, not 'yes'"},
        {"x,y,weight\n1,2\n", "t.csv: line 2, column 4: this line has 2 fields, the header 3"},
        {"name,value\n1,2\n", "t.csv: line 1, column 1: the header names no coordinate columns"},
        {"lat,x,y\n1,2,3\n", "t.csv: line 1, column 1: the header names one of lat and lon without the other"},
        {"lat,lon\n91,0\n", "t.csv: line 2, column 1: a latitude must lie in [-90, 90]"},
        {"1 2\n3 4 5\n", "t.csv: line 2, column 5: this point has 3 coordinates, the first had 2"},
        {"7\n", "t.csv: line 1, column 2: a point needs at least two coordinates"},
        {"x,y\n\"1,2\n", "t.csv: line 2, column 1: a quoted field does not end on its line"},
        {"", "t.csv: no points in the file"},
        {"x,y\n", "t.csv: no points after the header"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(failure([&] { points(text); }).substr(0, std::string(message).size()), message) << text;
    }
}

TEST(PointsTable, InputWithoutEndFailsAtOnceInBoundedMemory) {
    // Zero bytes: not text.
    std::FILE* zeros = std::fopen("/dev/zero", "r");
    ASSERT_NE(zeros, nullptr);
    EXPECT_NE(failure([&] { read_points_table(zeros, "/dev/zero"); }).find("a zero byte"), std::string::npos);
    std::fclose(zeros);
    // A field that does not end.
    EXPECT_NE(failure([&] { points("x,y\n1," + std::string(1 << 20, '5') + "\n"); }).find("a field longer than"),
              std::string::npos);
}

TEST(Tsplib, ReadsItsCoordinatesWithTheirIds) {
    const PointsTable t = read_tsplib_table(
        TextFile("NAME : tiny\nTYPE: TSP\nDIMENSION : 3\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n"
                 "1 0 0\n2 3 4\n7 6 8\nEOF\n")
            .get(),
        "t.tsp");
    ASSERT_EQ(t.n, 3);
    EXPECT_EQ(t.ids[2], "7");
    EXPECT_EQ(t.point(1)[1], 4);
    EXPECT_EQ(failure([] {
                  read_tsplib_table(TextFile("DIMENSION: 2\nEDGE_WEIGHT_TYPE: GEO\nNODE_COORD_SECTION\n").get(), "t");
              }),
              "t: EDGE_WEIGHT_TYPE must be EUC_2D, not 'GEO'");
    EXPECT_EQ(failure([] {
                  read_tsplib_table(
                      TextFile("DIMENSION: 3\nEDGE_WEIGHT_TYPE: EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 1\n").get(), "t");
              }),
              "t: line 5, column 4: expected 'id x y'");
    for (const char* broken :
         {"DIMENSION : 3\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 1 1\n",
          "DIMENSION : 2\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 x 1\n",
          "DIMENSION : 2\nEDGE_WEIGHT_TYPE : EUC_2D\n", "EDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n"}) {
        EXPECT_FALSE(failure([&] { read_tsplib_table(TextFile(broken).get(), "t"); }).empty()) << broken;
    }
}

TEST(Distances, EachKindAndHowItFitsTheCoordinates) {
    const auto distance = [](const std::string& text, DistanceKind kind) {
        Instance instance = instance_from_points(points(text), 1, kind);
        return double(instance.dist[0][1]);
    };
    EXPECT_FLOAT_EQ(distance("0 0\n1 1\n", DistanceKind::euclidean), float(std::sqrt(2.0)));
    EXPECT_EQ(distance("0 0\n1 1.9\n", DistanceKind::floor), 2);
    EXPECT_EQ(distance("0 0\n1 1.9\n", DistanceKind::nint), 2);
    EXPECT_EQ(distance("0 0\n0 2.4\n", DistanceKind::nint), 2);
    // Halves round up under nint and down under floor, in any dimension.
    EXPECT_EQ(distance("0 0\n2.5 0\n", DistanceKind::nint), 3);
    EXPECT_EQ(distance("0 0\n1.5 0\n", DistanceKind::nint), 2);
    EXPECT_EQ(distance("0 0\n2.5 0\n", DistanceKind::floor), 2);
    EXPECT_EQ(distance("0 0 0\n1 1 1\n", DistanceKind::nint), 2);
    // Paris to London, about 343.5 km.
    EXPECT_NEAR(distance("lat,lon\n48.8566,2.3522\n51.5074,-0.1278\n", DistanceKind::haversine), 343.5, 1.0);
    EXPECT_EQ(failure([&] { distance("lat,lon\n1,2\n3,4\n", DistanceKind::euclidean); }),
              "lat and lon coordinates need --distance haversine");
    EXPECT_EQ(failure([&] { distance("1 2\n3 4\n", DistanceKind::haversine); }),
              "--distance haversine needs lat and lon columns");
}

Instance matrix(const std::string& text) { return read_matrix_instance(TextFile(text).get(), "m.csv", 1); }

TEST(Matrix, SquareSymmetricIsOneSetOfNodesAndAnyOtherIsClientsBySites) {
    const Instance square = matrix("0,2,3\n2,0,4\n3,4,0\n");
    EXPECT_EQ(square.n, 3);
    EXPECT_TRUE(square.sites.empty());
    EXPECT_EQ(square.dist[2][1], 4);
    // Two clients by three sites, with names and weights.
    const Instance wide = matrix("client,s1,s2,s3,weight\nc1,1,2,3,5\nc2,4,5,6,0.5\n");
    ASSERT_EQ(wide.n, 5);
    EXPECT_EQ(wide.sites, (Fixings{0, 0, -1, -1, -1}));
    EXPECT_EQ(wide.weight, (std::vector<double>{5, 0.5, 0, 0, 0}));
    EXPECT_EQ(wide.ids, (std::vector<std::string>{"c1", "c2", "s1", "s2", "s3"}));
    EXPECT_EQ(wide.dist[1][4], 6);
    EXPECT_EQ(wide.dist[4][1], 6);
    // Square but not symmetric: clients and sites apart.
    EXPECT_EQ(matrix("0 1\n2 0\n").n, 4);
    EXPECT_EQ(failure([] { matrix("0,1\n1,x\n"); }), "m.csv: line 2, column 3: 'x' is not a distance");
    EXPECT_EQ(failure([] { matrix("0,1\n1\n"); }), "m.csv: line 2, column 2: this row has 1 fields, the first row 2");
    EXPECT_EQ(failure([] { matrix("0,-1\n"); }), "m.csv: line 1, column 3: a distance must lie in [0, 9.99e10)");
    EXPECT_EQ(failure([] { matrix("0 1\n1 0 2\n"); }),
              "m.csv: line 2, column 5: this row has 3 fields, the first row 2");
    EXPECT_EQ(failure([] { matrix(""); }), "m.csv: the matrix is empty");
    Instance weighted = matrix("0,1\n1,0\n");
    read_weights(TextFile("weight\n2\n3\n").get(), "w.csv", weighted);
    EXPECT_EQ(weighted.weight, (std::vector<double>{2, 3}));
    EXPECT_EQ(failure([&] { read_weights(TextFile("2\n").get(), "w.csv", weighted); }),
              "w.csv: 1 weights for 2 clients");
}

TEST(OrlibGraph, ShortestPathsAndTheLastCostOfARepeatedEdge) {
    const Instance g = read_orlib_instance(TextFile("4 5 2\n1 2 3\n2 3 50\n3 4 4\n1 4 20\n3 2 5\n").get(), "g.txt");
    EXPECT_EQ(g.p, 2);
    EXPECT_EQ(g.dist[0][2], 8);   // 1-2-3, the second cost of 2-3
    EXPECT_EQ(g.dist[0][3], 12);  // 1-2-3-4
    EXPECT_EQ(read_orlib_instance(TextFile("2 1 1\n1 2 3\n").get(), "g", 2).p, 2);
    EXPECT_EQ(failure([] { read_orlib_instance(TextFile("3 1 1\n1 2 3\n").get(), "g"); }),
              "the graph is not connected: node 3 cannot be reached from node 1");
    EXPECT_EQ(failure([] { read_orlib_instance(TextFile("3 2 1\n1 2 3\n").get(), "g"); }),
              "g: the file ends after 1 of 2 edges");
    EXPECT_EQ(failure([] { read_orlib_instance(TextFile("3 1 1\n1 9 3\n").get(), "g"); }),
              "g: line 2, column 3: '9' is not a node from 1 to n");
    // A later, larger cost replaces a shorter one.
    EXPECT_EQ(read_orlib_instance(TextFile("2 2 1\n1 2 3\n1 2 7\n").get(), "g").dist[0][1], 7);
    const std::pair<const char*, const char*> broken[] = {
        {"3 1 1\n0 2 1\n", "g: line 2, column 1: '0' is not a node from 1 to n"},
        {"3 2 1\n1 2 -1\n2 3 1\n", "g: line 2, column 5: an edge cost must be at least 0"},
        {"3 x 1\n", "g: line 1, column 3: 'x' is not a number of edges"},
        {"3 2 4\n1 2 1\n2 3 1\n", "g: line 1, column 5: '4' is not a p from 1 to n"},
        {"", "g: line 1, column 1: expected the header 'n edges p'"},
    };
    for (const auto& [text, message] : broken) {
        EXPECT_EQ(failure([&] { read_orlib_instance(TextFile(text).get(), "g"); }), message) << text;
    }
}

// Graphs of a few hundred nodes, so that the sources are shared among
// threads: small whole costs with zeros (the ring of buckets), large whole
// costs and real ones (the heap), each against Floyd and Warshall.
TEST(OrlibGraph, EveryWayOfFindingPathsAgreesWithFloydWarshall) {
    std::mt19937 rng(61);
    const int n = 450;
    for (const double most : {12.0, 5000.0, 0.0}) {
        SCOPED_TRACE("costs up to " + std::to_string(most));
        const auto draw = [&] {
            return most > 0 ? double(rng() % (unsigned(most) + 1)) : double(rng() % 100000) / 997.0;
        };
        std::vector<double> cost(std::size_t(n) * n, std::numeric_limits<double>::infinity());
        std::string text;
        int edges = 0;
        const auto add = [&](int a, int b) {
            const double c = draw();
            text += std::to_string(a + 1) + " " + std::to_string(b + 1) + " " + std::to_string(c) + "\n";
            cost[std::size_t(a) * n + b] = cost[std::size_t(b) * n + a] = std::stod(std::to_string(c));
            ++edges;
        };
        for (int v = 1; v < n; ++v) add(int(rng() % unsigned(v)), v);  // a spanning tree
        for (int e = 0; e < 3 * n; ++e) {
            const int a = int(rng() % unsigned(n));
            const int b = int(rng() % unsigned(n));
            if (a != b && std::isinf(cost[std::size_t(a) * n + b])) add(a, b);
        }
        const Instance g =
            read_orlib_instance(TextFile(std::to_string(n) + " " + std::to_string(edges) + " 3\n" + text).get(), "g");
        for (int v = 0; v < n; ++v) cost[std::size_t(v) * n + v] = 0;
        for (int k = 0; k < n; ++k) {
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    cost[std::size_t(i) * n + j] = std::min(
                        cost[std::size_t(i) * n + j], cost[std::size_t(i) * n + k] + cost[std::size_t(k) * n + j]);
                }
            }
        }
        int wrong = 0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const double expected = cost[std::size_t(i) * n + j];
                // Whole sums are exact; real ones may round apart in their last bits.
                const double allowed = most > 0 ? 0 : 1e-6 * expected;
                wrong += std::fabs(double(g.dist[i][j]) - expected) > allowed;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace pmedian
