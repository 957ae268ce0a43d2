#pragma once
// Loads and stores of samples at any address, bits of 1-bit rows (most
// significant bit first), and the conversion of computed doubles to integer
// samples.
//
// Integer results are clamped to the sample's range before the cast, so no
// value can wrap or reach an undefined conversion; results inside the range are
// plain truncation toward zero. The clamp is written as "r < max ? r : max",
// then "r > 0 ? r : 0", the same selections the vector paths make.

#include <cstdint>
#include <cstring>
#include <limits>

namespace kernels {

inline bool BitAt(const std::uint8_t* inRow, std::int64_t inX)
{
  return (inRow[inX >> 3] >> (7 - (inX & 7))) & 1;
}

inline void SetBit(std::uint8_t* inRow, std::int64_t inX)
{
  inRow[inX >> 3] = static_cast<std::uint8_t>(inRow[inX >> 3] | (0x80 >> (inX & 7)));
}

inline void ClearBit(std::uint8_t* inRow, std::int64_t inX)
{
  inRow[inX >> 3] = static_cast<std::uint8_t>(inRow[inX >> 3] & ~(0x80 >> (inX & 7)));
}

template <typename T>
inline T LoadSample(const std::uint8_t* inAddress)
{
  T theValue;
  std::memcpy(&theValue, inAddress, sizeof(T));
  return theValue;
}

template <typename T>
inline void StoreSample(std::uint8_t* inAddress, T inValue)
{
  std::memcpy(inAddress, &inValue, sizeof(T));
}

// trunc(inValue) clamped to 0 .. the largest value of T.
template <typename T>
inline T ClampTrunc(double inValue)
{
  constexpr double kMax = std::numeric_limits<T>::max();
  double theValue = inValue < kMax ? inValue : kMax;
  theValue = theValue > 0.0 ? theValue : 0.0;
  return static_cast<T>(theValue);
}

// trunc(inValue + 0.5), the sum in double precision, clamped to T's range.
template <typename T>
inline T RoundToSample(double inValue)
{
  return ClampTrunc<T>(inValue + 0.5);
}

}  // namespace kernels
