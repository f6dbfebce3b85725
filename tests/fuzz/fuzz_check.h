#pragma once
#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one is a finding: libFuzzer keeps the input
// that broke it and the run fails.
#define FUZZ_CHECK(condition, what)                                                   \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, what); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
