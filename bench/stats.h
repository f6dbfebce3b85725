#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

// Quantile q (0 to 1) of the values, interpolated between neighbours; 0 for no values.
inline double Quantile(std::vector<double> values, double q) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(position);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  const double fraction = position - static_cast<double>(below);
  return values[below] + (values[above] - values[below]) * fraction;
}

inline double Median(const std::vector<double>& values) {
  return Quantile(values, 0.5);
}
