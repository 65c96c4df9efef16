#pragma once
// What the benchmarks share to measure: the median of their samples.

#include <algorithm>
#include <vector>

namespace qz::bench {

// The middle sample; for an even count, the mean of the two middle ones.
template <class T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace qz::bench
