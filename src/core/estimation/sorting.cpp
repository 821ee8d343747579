#include "estimation/sorting.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace tarvik::estimation {
namespace {

constexpr int kBlock = 32;

// Batcher's odd-even merge sort network for the next power of two ≥ N, with
// every comparator that touches a position ≥ N removed: those positions would
// hold +∞ padding, which such a comparator never moves.
template <int N>
struct Network {
  std::array<std::pair<int, int>, 256> comparators{};
  int size = 0;
  constexpr Network() {
    int P = 1;
    while (P < N) P *= 2;
    for (int p = 1; p < P; p += p) {
      for (int k = p; k >= 1; k /= 2) {
        for (int j = k % p; j <= P - 1 - k; j += k + k) {
          for (int i = 0; i <= std::min(k - 1, P - j - k - 1); ++i) {
            if ((i + j) / (p + p) == (i + j + k) / (p + p) && i + j + k < N) {
              comparators[static_cast<std::size_t>(size++)] = {i + j, i + j + k};
            }
          }
        }
      }
    }
  }
};

template <int N>
constexpr Network<N> kNetwork{};

template <int N, int... I>
inline __attribute__((always_inline)) void ApplyNetwork(double* v,
                                                        std::integer_sequence<int, I...>) {
  (
      [v] {
        constexpr std::pair<int, int> c = kNetwork<N>.comparators[I];
        const double x = v[c.first];
        const double y = v[c.second];
        v[c.first] = std::min(x, y);
        v[c.second] = std::max(x, y);
      }(),
      ...);
}

template <int N>
void NetworkSort(double* a) noexcept {
  double v[N];
  for (int i = 0; i < N; ++i) v[i] = a[i];
  ApplyNetwork<N>(v, std::make_integer_sequence<int, kNetwork<N>.size>{});
  for (int i = 0; i < N; ++i) a[i] = v[i];
}

using SortFunction = void (*)(double*) noexcept;

template <int... N>
constexpr std::array<SortFunction, sizeof...(N)> MakeTable(std::integer_sequence<int, N...>) {
  return {&NetworkSort<N + 2>...};
}

// kSorts[n − 2] sorts n = 2 … 32 values.
constexpr auto kSorts = MakeTable(std::make_integer_sequence<int, kBlock - 1>{});

void SortBlock(double* a, std::size_t n) noexcept {
  if (n >= 2) kSorts[n - 2](a);
}

// Merges the sorted runs a[0 … m−1] and a[m … n−1] through `out`.
void Merge(const double* a, std::size_t m, std::size_t n, double* out) noexcept {
  std::size_t i = 0;
  std::size_t j = m;
  std::size_t k = 0;
  while (i < m && j < n) {
    const bool right = a[j] < a[i];
    out[k++] = right ? a[j] : a[i];
    j += right;
    i += !right;
  }
  while (i < m) out[k++] = a[i++];
  while (j < n) out[k++] = a[j++];
}

}  // namespace

void SortFiniteAscending(double* a, std::size_t n) noexcept {
  if (n <= kBlock) {
    SortBlock(a, n);
    return;
  }
  for (std::size_t first = 0; first < n; first += kBlock) {
    SortBlock(a + first, std::min<std::size_t>(kBlock, n - first));
  }
  double buffer[256];
  double* from = a;
  double* to = buffer;
  for (std::size_t width = kBlock; width < n; width *= 2) {
    for (std::size_t first = 0; first < n; first += 2 * width) {
      const std::size_t middle = std::min(first + width, n);
      const std::size_t last = std::min(first + 2 * width, n);
      Merge(from + first, middle - first, last - first, to + first);
    }
    std::swap(from, to);
  }
  if (from != a) std::memcpy(a, from, n * sizeof(double));
}

}  // namespace tarvik::estimation
