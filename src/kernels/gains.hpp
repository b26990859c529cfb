// Which candidates gain from which clients at the current multipliers
// (t * lambda[j] > dist[i][j]): relax's reduced costs, and the count of
// the opened medians that serve each client.
#pragma once

#include <vector>

namespace pmedian {

struct State;

// Adds every client's gains to beta (zeroed), client by client along the
// candidate lists, so that each beta[i] receives its terms in ascending
// client order and every rounding is that of the row-by-row sum.
void add_client_gains(State& s);

// For each client j, how many of the opened medians node[0 .. p-1] gain
// from it; along the lists relax just walked where they are short.
void count_gaining_medians(State& s, std::vector<int>& count);

}  // namespace pmedian
