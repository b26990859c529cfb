#include "inputs/points_table.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "data_file.hpp"
#include "inputs/field_reader.hpp"

namespace pmedian {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Where each known column is, -1 when absent.
struct Columns {
    std::vector<std::size_t> coordinates;
    bool geographic = false;
    long weight = -1, role = -1, fixed = -1, id = -1;
    std::size_t count = 0;  // of fields a line must have
};

bool is_coordinate_name(const std::string& name) {
    if (name == "x" || name == "y" || name == "z") return true;
    return name.size() >= 2 && name[0] == 'x' && std::all_of(name.begin() + 1, name.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c));
           });
}

Columns columns_of_header(const FieldReader& in) {
    Columns columns;
    long lat = -1, lon = -1;
    for (std::size_t k = 0; k < in.size(); ++k) {
        const std::string name = lower(in.field(k));
        long* slot = name == "weight"                                        ? &columns.weight
                     : name == "role"                                        ? &columns.role
                     : name == "fixed"                                       ? &columns.fixed
                     : name == "id"                                          ? &columns.id
                     : name == "lat" || name == "latitude"                   ? &lat
                     : name == "lon" || name == "lng" || name == "longitude" ? &lon
                                                                             : nullptr;
        if (slot != nullptr) {
            if (*slot >= 0) in.fail(k, "a second column named '" + in.field(k) + "'");
            *slot = long(k);
        } else if (is_coordinate_name(name)) {
            columns.coordinates.push_back(k);
        }
    }
    if ((lat >= 0) != (lon >= 0)) in.fail(0, "the header names one of lat and lon without the other");
    if (lat >= 0) {
        if (!columns.coordinates.empty()) in.fail(0, "the header names both x/y and lat/lon coordinates");
        columns.coordinates = {std::size_t(lat), std::size_t(lon)};
        columns.geographic = true;
    }
    if (columns.coordinates.size() < 2) {
        in.fail(0, "the header names no coordinate columns: x and y (more allowed), or lat and lon");
    }
    columns.count = in.size();
    return columns;
}

// Reads one data line's point into the table.
void read_point(const FieldReader& in, const Columns& columns, bool header, PointsTable& table) {
    if (in.size() < columns.count) {
        in.fail(in.size(), "this line has " + std::to_string(in.size()) + " fields, the " +
                               (header ? "header " : "first line ") + std::to_string(columns.count));
    }
    if (!header && in.size() != columns.count) {
        in.fail(columns.count, "this point has " + std::to_string(in.size()) + " coordinates, the first had " +
                                   std::to_string(columns.count));
    }
    for (std::size_t c = 0; c < columns.coordinates.size(); ++c) {
        const std::size_t k = columns.coordinates[c];
        const double value = in.number(k);
        if (columns.geographic && geographic_range_error(int(c), value) != nullptr) {
            in.fail(k, geographic_range_error(int(c), value));
        }
        table.coords.push_back(value);
    }
    double weight = 1;
    if (columns.weight >= 0 && !in.field(std::size_t(columns.weight)).empty()) {
        weight = in.number(std::size_t(columns.weight), "a weight");
        if (weight < 0) in.fail(std::size_t(columns.weight), "a weight must be at least 0");
    }
    signed char site = -1;
    if (columns.role >= 0) {
        const std::string role = lower(in.field(std::size_t(columns.role)));
        if (role == "client") {
            site = 0;
        } else if (role == "site") {
            weight = 0;
        } else if (role != "both" && !role.empty()) {
            in.fail(std::size_t(columns.role), "a role is client, site or both, not '" + in.field(columns.role) + "'");
        }
    }
    if (columns.fixed >= 0) {
        const std::string& fixed = in.field(std::size_t(columns.fixed));
        if (fixed == "1") {
            if (site == 0) in.fail(std::size_t(columns.fixed), "a client that is no site cannot be fixed open");
            site = 1;
        } else if (fixed != "0" && !fixed.empty()) {
            in.fail(std::size_t(columns.fixed), "fixed is 0 or 1, not '" + fixed + "'");
        }
    }
    table.weight.push_back(weight);
    table.sites.push_back(site);
    if (columns.id >= 0) table.ids.push_back(in.field(std::size_t(columns.id)));
    if (table.weight.size() > most_points) {
        in.fail(0, "more than " + std::to_string(most_points) + " points: their distances would not fit in memory");
    }
}

}  // namespace

const char* geographic_range_error(int axis, double degrees) {
    if (axis == 0 && !(std::fabs(degrees) <= 90)) return "a latitude must lie in [-90, 90]";
    if (axis == 1 && !(std::fabs(degrees) <= 180)) return "a longitude must lie in [-180, 180]";
    return nullptr;
}

PointsTable read_points_table(std::FILE* file, const std::string& name) {
    FieldReader in(file, name);
    PointsTable table;
    if (!in.next_line()) in.fail_file("no points in the file");
    bool header = false;
    for (std::size_t k = 0; k < in.size(); ++k) {
        double value = 0;
        header = header || !parse_number(in.field(k), value);
    }
    Columns columns;
    if (header) {
        columns = columns_of_header(in);
        if (!in.next_line()) in.fail_file("no points after the header");
    } else {
        if (in.size() < 2) in.fail(in.size(), "a point needs at least two coordinates");
        for (std::size_t k = 0; k < in.size(); ++k) columns.coordinates.push_back(k);
        columns.count = in.size();
    }
    table.dimension = int(columns.coordinates.size());
    table.geographic = columns.geographic;
    do {
        read_point(in, columns, header, table);
    } while (in.next_line());
    table.n = int(table.weight.size());
    if (columns.weight < 0 && columns.role < 0) table.weight.clear();
    if (columns.role < 0 && columns.fixed < 0) table.sites.clear();
    return table;
}

PointsTable read_tsplib_table(std::FILE* file, const std::string& name) {
    FieldReader in(file, name, ' ');
    long long dimension = -1;
    std::string type;
    // The header: "KEY : VALUE" lines up to the coordinates.
    for (;;) {
        if (!in.next_line()) in.fail_file("no NODE_COORD_SECTION in the file");
        std::string line;
        for (std::size_t k = 0; k < in.size(); ++k) line += (k ? " " : "") + in.field(k);
        const auto colon = line.find(':');
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(' ') + 1);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (key == "NODE_COORD_SECTION") break;
        if (key == "DIMENSION") {
            double d = 0;
            if (!parse_number(value, d) || d < 1 || d > INT_MAX || d != std::floor(d)) {
                in.fail(0, "DIMENSION must be a whole number of nodes");
            }
            dimension = (long long)d;
        }
        if (key == "EDGE_WEIGHT_TYPE") type = value;
    }
    if (type != "EUC_2D") in.fail_file("EDGE_WEIGHT_TYPE must be EUC_2D, not '" + type + "'");
    if (dimension < 0) in.fail_file("no DIMENSION before NODE_COORD_SECTION");
    PointsTable table;
    table.dimension = 2;
    while (in.next_line()) {
        if (in.field(0) == "EOF") break;
        if (table.n == dimension) in.fail(0, "more nodes than DIMENSION");
        if (in.size() != 3) in.fail(std::min<std::size_t>(in.size(), 3), "expected 'id x y'");
        table.ids.push_back(in.field(0));
        table.coords.push_back(in.number(1));
        table.coords.push_back(in.number(2));
        ++table.n;
    }
    if (table.n != dimension) {
        in.fail_file("DIMENSION is " + std::to_string(dimension) + " but " + std::to_string(table.n) + " nodes follow");
    }
    return table;
}

}  // namespace pmedian
