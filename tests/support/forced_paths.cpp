#include "forced_paths.hpp"

#include <climits>

namespace pmedian::testing {

namespace {

bool has_avx2() {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace

std::vector<ForcedPath> forced_paths() {
    const auto near_order = [](Tuning& t) { t.least_near_order_side = 0; };
    std::vector<ForcedPath> paths = {
        {"medians picked in one pass", [](Tuning&) {}, &PathsTaken::picked_medians},
        {"partition towards the medians", [](Tuning&) {}, &PathsTaken::partitioned},
        {"deferred sort finished by radix", [](Tuning&) {}, &PathsTaken::radix_orders},
        {"lists built by counting", [](Tuning&) {}, &PathsTaken::counted_lists},
        {"serving medians counted along lists",
         [](Tuning& t) {
             t.walk_per_row_entry = 0;
         },
         &PathsTaken::counts_along_lists},
        {"assignment rescans changed clusters",
         [](Tuning& t) {
             t.rescan_entry_cost = 0;
         },
         &PathsTaken::assignments_rescanned},
        {"16-bit copy", near_order, &PathsTaken::narrow_copy},
        {"renumbered float copy", near_order, &PathsTaken::float_copy},
        {"block sums afresh",
         [&](Tuning& t) {
             near_order(t);
             t.least_block_cluster = 1;
             t.afresh_share = INT_MAX / 1024;
         },
         &PathsTaken::block_sums_afresh},
        {"block moves",
         [&](Tuning& t) {
             near_order(t);
             t.least_block_cluster = 1;
             t.afresh_share = 1;
         },
         &PathsTaken::block_moves},
        {"sums afresh cell by cell",
         [&](Tuning& t) {
             near_order(t);
             t.least_block_cluster = INT_MAX;
             t.afresh_share = INT_MAX / 1024;
             t.dense_share = 1;
         },
         &PathsTaken::node_sums_afresh},
        {"sums moved cell by cell",
         [&](Tuning& t) {
             near_order(t);
             t.least_block_cluster = INT_MAX;
             t.afresh_share = 1;
         },
         &PathsTaken::node_moves},
    };
    if (has_avx2()) {
        paths.push_back({"lists walked eight at a time",
                         [](Tuning& t) {
                                             t.split_walk_length = 0;
                         },
                         &PathsTaken::split_walks});
    }
    return paths;
}

}  // namespace pmedian::testing
