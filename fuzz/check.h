#pragma once
// A broken invariant stops the fuzz target with a crash file and says which one broke.

#include <cstdio>
#include <cstdlib>

#define QZ_FUZZ_CHECK(condition)                                                             \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
