#include "enumeration.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "certify/swap_search.hpp"

namespace pmedian::testing {

double enumerated_optimum(const State& s, const Fixings& fixed) {
    double best = std::numeric_limits<double>::infinity();
    std::vector<int> medians;
    const auto allowed = [&](int v, bool open) { return fixed.empty() || fixed[v] == -1 || fixed[v] == int(open); };
    const auto choose = [&](auto&& self, int from) -> void {
        if (int(medians.size()) == s.p) {
            for (int v = from; v < s.n; ++v) {
                if (!allowed(v, false)) return;
            }
            best = std::min(best, assignment_cost(s.dist, s.n, medians));
            return;
        }
        for (int v = from; v < s.n; ++v) {
            if (allowed(v, true)) {
                medians.push_back(v);
                self(self, v + 1);
                medians.pop_back();
            }
            if (!allowed(v, false)) return;  // v must be open, and was
        }
    };
    choose(choose, 0);
    return best;
}

}  // namespace pmedian::testing
