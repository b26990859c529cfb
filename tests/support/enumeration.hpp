// The optimum of a tiny instance by trying every set of p medians.
#pragma once

#include "certify/instance.hpp"
#include "certify/network.hpp"
#include "problem.hpp"

namespace pmedian::testing {

// The lowest weighted cost over every set of p medians the fixings allow
// (the network's own sites when fixed is empty); +inf when they allow none.
double enumerated_optimum(const Network& net, const Fixings& fixed = {});
double enumerated_optimum(const State& s, const Fixings& fixed = {});

// The plain network of a state's distances.
Network network_of(const State& s);

// An instance with a copy of the state's distances.
Instance instance_of(const State& s);

}  // namespace pmedian::testing
