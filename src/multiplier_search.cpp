#include "multiplier_search.hpp"

#include <vector>

#include "relaxation.hpp"

namespace pmedian {

namespace {

// Sum of lambda[i] times (number of opened medians serving client i, less
// one), each lambda[i] added once per serving median, client by client.
float slope_measure(State& s) {
    std::vector<int> serving;
    count_serving_medians(s, serving);
    float slope = 0;
    for (int i = 0; i < s.n; ++i) {
        for (int k = 0; k < serving[i]; ++k) slope = float(double(slope) + double(s.lambda[i]));
    }
    for (int i = 0; i < s.n; ++i) slope = float(double(slope) - double(s.lambda[i]));
    return slope;
}

// Value-weighted mean of the two sides; their midpoint when the weights cancel.
float interpolate(float t_pos, float v_pos, float t_neg, float v_neg) {
    const double weight = double(v_pos) + double(v_neg);
    if (weight == 0) return float((double(t_pos) + double(t_neg)) / 2);
    return float((double(v_pos) * double(t_pos) + double(v_neg) * double(t_neg)) / weight);
}

}  // namespace

float search_t(State& s, float& t_start, const float& start_step) {
    int evals = 0;
    int toggle = 0;
    float best_value = -INF_DIST;
    float best_t = 0;
    float saved_value = 0;
    float t_pos = 0;
    float v_pos = 0;
    float t_neg = 0;
    float v_neg = 0;
    float t_step = start_step;

    s.t = t_start;
    while (evals < 10) {
        ++evals;
        relax(s);
        bool ending = false;
        // The first evaluation always counts, so that what is left in place
        // is a relaxation that was evaluated.
        if (evals == 1 || s.bound > best_value) {
            saved_value = s.bound;
            s.sv_node = s.node;
            s.sv_beta = s.beta;
            s.caches.sv_deferred_sort = s.caches.deferred_sort;
            best_value = s.bound;
            best_t = s.t;
            t_start = s.t;
            // Only an improving point's slope decides anything.
            if (slope_measure(s) > 0) {
                t_pos = s.t;
                v_pos = s.bound;
                if (t_neg > 0) {
                    s.t = interpolate(t_pos, v_pos, t_neg, v_neg);
                    ending = true;
                } else {
                    s.t = float(double(s.t) - double(t_step) / 2);
                    if (s.t <= 0) evals = 10;
                }
            } else {
                t_neg = s.t;
                v_neg = s.bound;
                if (t_pos > 0) {
                    s.t = interpolate(t_pos, v_pos, t_neg, v_neg);
                    ending = true;
                } else {
                    s.t = float(double(s.t) + double(t_step));
                }
            }
        } else {
            t_step = float(double(t_step) / 2);
            s.t = float(double(s.t) - double(t_step));
            ending = true;
        }
        if (ending) {
            toggle = 1 - toggle;
            evals = 10 - toggle;
        }
    }
    s.bound = saved_value;
    s.node = s.sv_node;
    s.beta = s.sv_beta;
    s.caches.deferred_sort = s.caches.sv_deferred_sort;
    return best_t;
}

}  // namespace pmedian
