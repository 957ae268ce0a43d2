#pragma once
// Size arithmetic on values that come from headers: every product is formed in
// 64 bits with an overflow flag, and a size that does not fit is refused, never
// wrapped.

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace kernels {

// The product of the factors, or nothing when it overflows 64 bits or a factor
// is negative.
inline std::optional<std::int64_t> CheckedProduct(std::initializer_list<std::int64_t> inFactors)
{
  std::int64_t theProduct = 1;
  for (std::int64_t theFactor : inFactors) {
    if (theFactor < 0 || __builtin_mul_overflow(theProduct, theFactor, &theProduct))
      return std::nullopt;
  }
  return theProduct;
}

constexpr std::int64_t kInt32Max = 2147483647;

}  // namespace kernels
