// Kernels marked with VECTOR_CLONES are compiled twice on x86-64, for the
// baseline and for AVX2, and the loader picks the one the processor runs:
// wider vectors without asking the build for a particular machine. The
// arithmetic is the same in both (no contraction), so are the results.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif
