#include "inputs/instance_file.hpp"

#include <memory>

#include "data_file.hpp"
#include "inputs/distances.hpp"
#include "inputs/field_reader.hpp"
#include "inputs/graph_and_matrix.hpp"
#include "inputs/points_table.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// pmedian's own format, with its reader and its messages.
Instance read_facloc(const std::string& name) {
    std::FILE* file = open_data_file(name.c_str());
    if (file == nullptr) throw Fatal{"Arquivo de dados '" + name + "' nao pode ser aberto"};
    const InputFile closer(file);
    TokenReader in(file);
    State s;
    read_header(in, name, s.n, s.p);
    load_problem(s, in);
    Instance instance;
    instance.n = s.n;
    instance.p = s.p;
    instance.dist = std::move(s.dist);
    return instance;
}

DistanceKind distance_kind(const InstanceSource& source, const PointsTable& table) {
    DistanceKind kind = source.format == InstanceFormat::tsplib ? DistanceKind::floor
                        : table.geographic                      ? DistanceKind::haversine
                                                                : DistanceKind::euclidean;
    if (!source.distance.empty() && !parse_distance_kind(source.distance, kind)) {
        throw Fatal{"unknown distance '" + source.distance + "'"};
    }
    return kind;
}

Instance read_unsettled(const InstanceSource& source) {
    switch (source.format) {
        case InstanceFormat::facloc:
            return read_facloc(source.file);
        case InstanceFormat::orlib:
            return read_orlib_instance(open_input_file(source.file).get(), source.file, source.p);
        case InstanceFormat::matrix: {
            Instance instance = read_matrix_instance(open_input_file(source.file).get(), source.file, source.p);
            if (!source.weights.empty()) read_weights(open_input_file(source.weights).get(), source.weights, instance);
            return instance;
        }
        case InstanceFormat::points:
        case InstanceFormat::tsplib:
            break;
    }
    const InputFile file = open_input_file(source.file);
    PointsTable table = source.format == InstanceFormat::tsplib ? read_tsplib_table(file.get(), source.file)
                                                                : read_points_table(file.get(), source.file);
    const DistanceKind kind = distance_kind(source, table);
    return instance_from_points(std::move(table), source.p, kind);
}

}  // namespace

InputFile open_input_file(const std::string& name) {
    std::FILE* file = open_data_file(name.c_str());
    if (file == nullptr) throw Fatal{"cannot read '" + name + "'"};
    return InputFile(file);
}

Instance read_instance(const InstanceSource& source) {
    Instance instance = read_unsettled(source);
    settle_instance(instance);
    return instance;
}

}  // namespace pmedian
