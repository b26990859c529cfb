// The fixed texts pmedian prints before its report.
#pragma once

#include <cstdio>
#include <string>

namespace pmedian::testing {

inline const std::string banner =
    "Problema de P-Medianas\n"
    "Heuristica Lagrangeana/Surrogate (Varnel & Oskarin)\n";

// The banner, the separators and the size line for n and p.
inline std::string sized(int n, int p) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "\n------------------------------------------\nProblema com %5d nos e %5d medianas...\n"
                  "\n------------------------------------------",
                  n, p);
    return banner + line;
}

}  // namespace pmedian::testing
