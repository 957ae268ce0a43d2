#pragma once
// The nearest entry of a colour table for a colour: the smallest squared
// distance over red, green and blue, the first of equally near entries
// winning.
//
// The colour cube is cut into cells of 16 x 16 x 16 colours. The first time a
// cell is asked, it keeps the entries that can be nearest to some colour in
// it: with b the smallest, over all entries, of the largest distance from an
// entry to the cell, every entry whose smallest distance to the cell is at
// most b. The nearest entry of any colour in the cell is among them, and so
// is every entry as near as that one, so a scan of the cell's entries in
// table order gives exactly the answer of a full scan. One object serves one
// thread.

#include <cstdint>
#include <vector>

namespace tlgdi {

class NearestColor {
public:
  // inTable: 0x00RRGGBB words, at most 256 and at least one.
  explicit NearestColor(const std::vector<std::uint32_t>& inTable);

  // The index for a colour 0xAARRGGBB (alpha is not looked at).
  std::uint8_t Find(std::uint32_t inColor);

private:
  static constexpr int kCellShift = 4;
  static constexpr int kCellSide = 1 << kCellShift;
  static constexpr int kCellsPerSide = 256 / kCellSide;

  struct Cell {
    std::uint32_t mFirst = 0;  // into mCandidates
    std::uint16_t mCount = 0;  // 0: not worked out yet
  };

  void Prepare(Cell& outCell, int inRed, int inGreen, int inBlue);

  std::vector<std::uint32_t> mTable;
  std::vector<Cell> mCells;  // made on first use
  std::vector<std::uint8_t> mCandidates;
};

}  // namespace tlgdi
