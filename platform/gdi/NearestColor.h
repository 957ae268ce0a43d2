#pragma once
// The nearest entry of a colour table for a colour: the smallest squared
// distance over red, green and blue, the first of equally near entries
// winning. Answers are kept in a small direct-mapped cache, so that a blit
// into an indexed DIB searches the table once per distinct colour in the
// common case. One object serves one thread.

#include <array>
#include <cstdint>
#include <vector>

namespace tlgdi {

class NearestColor {
public:
  // inTable: 0x00RRGGBB words, at most 256 and at least one.
  explicit NearestColor(std::vector<std::uint32_t> inTable);

  // The index for a colour 0xAARRGGBB (alpha is not looked at).
  std::uint8_t Find(std::uint32_t inColor);

private:
  std::uint8_t Search(std::uint32_t inColor) const;

  struct Cell {
    std::uint32_t mKey = 0;  // the colour with bit 24 set once filled
    std::uint8_t mIndex = 0;
  };

  std::vector<std::uint32_t> mTable;
  std::array<Cell, 4096> mCache{};
};

}  // namespace tlgdi
