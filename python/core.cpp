// The Python module's native part: numpy arrays in, the library's solve
// and heuristic, with the GIL released while they run and Ctrl-C turned
// into the library's stop flag.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "pmedian/pmedian.hpp"

namespace py = pybind11;

namespace {

// C-contiguous float64; other dtypes and layouts are converted, the one
// copy then made.
using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<int, py::array::c_style | py::array::forcecast>;

std::vector<int> indices(const std::optional<Indices>& given) {
    if (!given) return {};
    return std::vector<int>(given->data(), given->data() + given->size());
}

pmedian::Distance distance_named(const std::string& name) {
    if (name == "euclidean") return pmedian::Distance::euclidean;
    if (name == "floor") return pmedian::Distance::floor;
    if (name == "nint") return pmedian::Distance::nint;
    if (name == "haversine") return pmedian::Distance::haversine;
    throw py::value_error("distance is euclidean, floor, nint or haversine, not '" + name + "'");
}

// Runs work on its own thread with the GIL released, checking for signals
// (Ctrl-C) every 50 ms; a signal sets stop, waits for work to end, and is
// raised as the KeyboardInterrupt Python makes of it.
template <typename Work>
auto run_interruptibly(std::atomic<bool>& stop, Work work) {
    using Value = decltype(work());
    std::optional<Value> value;
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
        try {
            value.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    bool interrupted = false;
    for (;;) {
        {
            py::gil_scoped_release release;
            std::unique_lock<std::mutex> lock(mutex);
            if (finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) break;
        }
        if (!interrupted && PyErr_CheckSignals() != 0) {
            interrupted = true;
            stop = true;
        }
    }
    {
        py::gil_scoped_release release;
        worker.join();
    }
    if (interrupted) throw py::error_already_set();
    if (failure) std::rethrow_exception(failure);
    return std::move(*value);
}

py::dict solve(pmedian::Problem& problem, int p, const std::optional<std::vector<double>>& weights,
               const std::optional<Indices>& sites, const std::optional<Indices>& fixed,
               const std::optional<Indices>& start, std::optional<double> time_limit, std::optional<double> rel_gap,
               bool progress) {
    if (weights) problem.set_weights(*weights);
    if (sites) problem.set_sites(indices(sites));
    if (fixed) problem.set_fixed(indices(fixed));
    std::atomic<bool> stop{false};
    pmedian::Options options;
    if (time_limit) options.time_limit = *time_limit;
    if (rel_gap) options.relative_gap = *rel_gap;
    if (start) options.start = indices(start);
    options.stop = &stop;
    if (progress) {
        // The command line's progress line, from the solving thread.
        options.progress = [](const pmedian::Progress& at) {
            const double gap = at.cost > 0 ? 100 * (at.cost - at.lower_bound) / at.cost : 0.0;
            std::fprintf(stderr, "pmedian: %.0f s, %ld nodes, bound %.10g, best %.10g, gap %.4f %%\n", at.seconds,
                         at.nodes, at.lower_bound, at.cost, gap);
        };
    }
    const pmedian::Result result = run_interruptibly(stop, [&] { return pmedian::solve(problem, p, options); });
    py::dict out;
    out["medians"] = py::array_t<int>(py::ssize_t(result.medians.size()), result.medians.data());
    out["assignment"] = py::array_t<int>(py::ssize_t(result.assignment.size()), result.assignment.data());
    out["cost"] = result.cost;
    out["lower_bound"] = result.lower_bound;
    out["gap"] = result.gap;
    out["status"] = pmedian::status_name(result.status);
    out["nodes"] = result.nodes;
    out["iterations"] = result.iterations;
    out["seconds"] = result.seconds;
    return out;
}

}  // namespace

PYBIND11_MODULE(_core, module) {
    module.doc() = "The native part of the pmedian module; use pmedian.solve and pmedian.heuristic.";
    module.def(
        "solve_points",
        [](const Doubles& points, int p, const std::string& distance, const std::optional<std::vector<double>>& weights,
           const std::optional<Indices>& sites, const std::optional<Indices>& fixed,
           const std::optional<Indices>& start, std::optional<double> time_limit, std::optional<double> rel_gap,
           bool progress) {
            if (points.ndim() != 2) throw py::value_error("points must be an (n, d) array");
            pmedian::Problem problem = pmedian::Problem::from_points(points.data(), int(points.shape(0)),
                                                                     int(points.shape(1)), distance_named(distance));
            return solve(problem, p, weights, sites, fixed, start, time_limit, rel_gap, progress);
        },
        py::arg("points"), py::arg("p"), py::arg("distance"), py::arg("weights"), py::arg("sites"), py::arg("fixed"),
        py::arg("start"), py::arg("time_limit"), py::arg("rel_gap"), py::arg("progress"));
    module.def(
        "solve_matrix",
        [](const Doubles& distances, int p, const std::optional<std::vector<double>>& weights,
           const std::optional<Indices>& sites, const std::optional<Indices>& fixed,
           const std::optional<Indices>& start, std::optional<double> time_limit, std::optional<double> rel_gap,
           bool progress) {
            if (distances.ndim() != 2) throw py::value_error("distances must be a (clients, sites) array");
            pmedian::Problem problem =
                pmedian::Problem::from_matrix(distances.data(), int(distances.shape(0)), int(distances.shape(1)));
            return solve(problem, p, weights, sites, fixed, start, time_limit, rel_gap, progress);
        },
        py::arg("distances"), py::arg("p"), py::arg("weights"), py::arg("sites"), py::arg("fixed"), py::arg("start"),
        py::arg("time_limit"), py::arg("rel_gap"), py::arg("progress"));
    module.def(
        "heuristic",
        [](const Doubles& distances, int p) {
            if (distances.ndim() != 2 || distances.shape(0) != distances.shape(1)) {
                throw py::value_error("distances must be a square (n, n) array");
            }
            const int n = int(distances.shape(0));
            pmedian::HeuristicResult result;
            {
                py::gil_scoped_release release;
                result = pmedian::heuristic(distances.data(), n, p);
            }
            py::dict out;
            out["status"] = result.optimal ? "optimal" : "not optimal";
            out["medians"] = py::array_t<int>(py::ssize_t(result.medians.size()), result.medians.data());
            out["assignment"] = py::array_t<int>(py::ssize_t(result.assignment.size()), result.assignment.data());
            out["total"] = result.total;
            out["report"] = result.report;
            return out;
        },
        py::arg("distances"), py::arg("p"));
}
