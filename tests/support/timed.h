#pragma once
// A test that measures time against a clock (pacing, time-outs, wire time) runs alone, so that a
// busy machine does not fail it: its name starts with "Timed", which gives it the ctest label
// `timed` and RUN_SERIAL (tests/CMakeLists.txt). QZ_TIMED_TEST() at its start fails it when
// ctest runs it beside other tests, so a rename cannot take it out of the label unnoticed.

#include <gtest/gtest.h>

#include <cstdlib>

#define QZ_TIMED_TEST()                                                              \
  do {                                                                               \
    if (std::getenv("QZ_RUNS_BESIDE_OTHERS") != nullptr) {                           \
      GTEST_FAIL() << "this test measures time: its name must start with \"Timed\""; \
    }                                                                                \
  } while (false)
