#include "clusters.hpp"

#include <utility>

namespace pmedian {

float assign_clients(State& s) {
    for (int c = 0; c < s.p; ++c) {
        s.vc[c].size = 0;
        s.vc[c].cost = 0;
        s.vc[c].median = s.sv_node[c];
    }
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        const int client = s.sv_node[a];
        const float* row = s.dist[client];
        float d_best = INF_DIST;
        int chosen = 0;
        for (int c = 0; c < s.p; ++c) {
            const float d = row[s.sv_node[c]];
            if (d < d_best) {
                d_best = d;
                chosen = c;
            }
        }
        total = float(double(total) + double(d_best));
        Cluster& cluster = s.vc[chosen];
        cluster.members[cluster.size++] = client;
        cluster.cost = float(double(cluster.cost) + double(d_best));
    }
    return total;
}

float improve_clusters(State& s) {
    for (int c = 0; c < s.p; ++c) {
        Cluster& cluster = s.vc[c];
        for (int j = 0; j < cluster.size; ++j) {
            const float* row = s.dist[cluster.members[j]];
            float sum = 0;
            for (int k = 0; k < cluster.size; ++k) sum = float(double(sum) + double(row[cluster.members[k]]));
            sum = float(double(sum) + double(row[cluster.median]));
            if (sum < cluster.cost) {
                cluster.cost = sum;
                std::swap(cluster.median, cluster.members[j]);
            }
        }
    }
    int a = 0;
    for (int c = 0; c < s.p; ++c) s.sv_node[a++] = s.vc[c].median;
    for (int c = 0; c < s.p; ++c) {
        for (int j = 0; j < s.vc[c].size; ++j) s.sv_node[a++] = s.vc[c].members[j];
    }
    return assign_clients(s);
}

}  // namespace pmedian
