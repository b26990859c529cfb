#include "straightforward_kernels.hpp"

#include <utility>

namespace pmedian::straightforward {

void sort_beta(State& s, int lo, int hi) {
    const float pivot = s.beta[(lo + hi) / 2];
    int i = lo;
    int j = hi;
    do {
        while (s.beta[i] < pivot) ++i;
        while (pivot < s.beta[j]) --j;
        if (i <= j) {
            std::swap(s.beta[i], s.beta[j]);
            std::swap(s.node[i], s.node[j]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j) sort_beta(s, lo, j);
    if (i < hi) sort_beta(s, i, hi);
}

void relax(State& s) {
    for (int i = 0; i < s.n; ++i) {
        s.node[i] = i;
        s.beta[i] = 0;
        for (int j = 0; j < s.n; ++j) {
            if (double(s.t) * double(s.lambda[j]) > double(s.dist[i][j])) {
                s.beta[i] = float((double(s.dist[i][j]) - double(s.t) * double(s.lambda[j])) + double(s.beta[i]));
            }
        }
    }
    sort_beta(s, 0, s.n - 1);
    s.bound = 0;
    for (int k = 0; k < s.p; ++k) s.bound = float(double(s.bound) + double(s.beta[k]));
    for (int j = 0; j < s.n; ++j) s.bound = float(double(s.t) * double(s.lambda[j]) + double(s.bound));
}

void count_serving_medians(const State& s, std::vector<int>& count) {
    count.assign(std::size_t(s.n), 0);
    for (int j = 0; j < s.n; ++j) {
        for (int k = 0; k < s.p; ++k) count[j] += double(s.t) * double(s.lambda[j]) > double(s.dist[s.node[k]][j]);
    }
}

float assign_clients(State& s) {
    for (int c = 0; c < s.p; ++c) {
        s.vc[c].size = 0;
        s.vc[c].cost = 0;
        s.vc[c].median = s.sv_node[c];
    }
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        float d_best = INF_DIST;
        int chosen = 0;
        for (int c = 0; c < s.p; ++c) {
            const float d = s.dist[s.sv_node[a]][s.sv_node[c]];
            if (d < d_best) {
                d_best = d;
                chosen = c;
            }
        }
        total = float(double(total) + double(d_best));
        s.vc[chosen].members[s.vc[chosen].size] = s.sv_node[a];
        s.vc[chosen].size = s.vc[chosen].size + 1;
        s.vc[chosen].cost = float(double(s.vc[chosen].cost) + double(d_best));
    }
    return total;
}

float improve_clusters(State& s) {
    for (int c = 0; c < s.p; ++c) {
        Cluster& cl = s.vc[c];
        for (int j = 0; j < cl.size; ++j) {
            float sum = 0;
            for (int k = 0; k < cl.size; ++k) sum = float(double(sum) + double(s.dist[cl.members[j]][cl.members[k]]));
            sum = float(double(sum) + double(s.dist[cl.members[j]][cl.median]));
            if (sum < cl.cost) {
                cl.cost = sum;
                std::swap(cl.median, cl.members[j]);
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

}  // namespace pmedian::straightforward
