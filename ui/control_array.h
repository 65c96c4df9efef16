#pragma once
// Controls that differ only by an index: one handler serves the array and receives the index.

#include <array>
#include <cstddef>
#include <span>

namespace qz {

template <class T, int First, int Last>
class ControlArray {
 public:
  static constexpr int kFirst = First;
  static constexpr int kLast = Last;
  static constexpr int kCount = Last - First + 1;

  T* operator[](int index) const { return items_.at(static_cast<std::size_t>(index - First)); }
  T*& slot(int index) { return items_.at(static_cast<std::size_t>(index - First)); }
  [[nodiscard]] static constexpr bool contains(int index) {
    return index >= First && index <= Last;
  }
  [[nodiscard]] static constexpr int size() { return kCount; }
  // The controls in index order, whatever the first index.
  [[nodiscard]] std::span<T* const> items() const { return items_; }
  [[nodiscard]] std::span<T*> items() { return items_; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::array<T*, static_cast<std::size_t>(kCount)> items_{};
};

}  // namespace qz
