#include "enumeration.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "certify/weighted_swap_search.hpp"

namespace pmedian::testing {

double enumerated_optimum(const Network& net, const Fixings& given) {
    const Fixings& fixed = given.empty() ? net.sites : given;
    double best = std::numeric_limits<double>::infinity();
    std::vector<int> medians;
    const auto allowed = [&](int v, bool open) { return fixed.empty() || fixed[v] == -1 || fixed[v] == int(open); };
    const auto choose = [&](auto&& self, int from) -> void {
        if (int(medians.size()) == net.p) {
            for (int v = from; v < net.n; ++v) {
                if (!allowed(v, false)) return;
            }
            best = std::min(best, network_cost(net, medians));
            return;
        }
        for (int v = from; v < net.n; ++v) {
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

double enumerated_optimum(const State& s, const Fixings& fixed) { return enumerated_optimum(network_of(s), fixed); }

Network network_of(const State& s) { return Network{&s.dist, s.n, s.p, {}, {}}; }

Instance instance_of(const State& s) {
    Instance instance;
    instance.n = s.n;
    instance.p = s.p;
    instance.dist.allocate(s.n);
    for (int i = 0; i < s.n; ++i) std::memcpy(instance.dist[i], s.dist[i], sizeof(float) * std::size_t(s.n));
    return instance;
}

}  // namespace pmedian::testing
