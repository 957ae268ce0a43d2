#include "platform/gdi/NearestColor.h"

#include <algorithm>

namespace tlgdi {

namespace {

int Component(std::uint32_t inColor, int inShift)
{
  return static_cast<int>((inColor >> inShift) & 0xFF);
}

}  // namespace

NearestColor::NearestColor(const std::vector<std::uint32_t>& inTable) : mTable(inTable) {}

void NearestColor::Prepare(Cell& outCell, int inRed, int inGreen, int inBlue)
{
  const int theLow[3] = {inRed & ~(kCellSide - 1), inGreen & ~(kCellSide - 1), inBlue & ~(kCellSide - 1)};
  std::vector<int> theNearest(mTable.size());
  int theBound = 0x7FFFFFFF;
  for (std::size_t i = 0; i < mTable.size(); ++i) {
    int theNear = 0, theFar = 0;
    for (int c = 0; c < 3; ++c) {
      const int theValue = Component(mTable[i], 16 - 8 * c);
      const int theHigh = theLow[c] + kCellSide - 1;
      const int theOutside = theValue < theLow[c] ? theLow[c] - theValue : theValue > theHigh ? theValue - theHigh : 0;
      const int theFarthest = std::max(theValue - theLow[c], theHigh - theValue);
      theNear += theOutside * theOutside;
      theFar += theFarthest * theFarthest;
    }
    theNearest[i] = theNear;
    theBound = std::min(theBound, theFar);
  }
  outCell.mFirst = static_cast<std::uint32_t>(mCandidates.size());
  for (std::size_t i = 0; i < mTable.size(); ++i)
    if (theNearest[i] <= theBound)
      mCandidates.push_back(static_cast<std::uint8_t>(i));
  outCell.mCount = static_cast<std::uint16_t>(mCandidates.size() - outCell.mFirst);
}

std::uint8_t NearestColor::Find(std::uint32_t inColor)
{
  const int theRed = Component(inColor, 16), theGreen = Component(inColor, 8), theBlue = Component(inColor, 0);
  if (mCells.empty())
    mCells.resize(kCellsPerSide * kCellsPerSide * kCellsPerSide);
  Cell& theCell = mCells[((theRed >> kCellShift) * kCellsPerSide + (theGreen >> kCellShift)) * kCellsPerSide +
                         (theBlue >> kCellShift)];
  if (theCell.mCount == 0)
    Prepare(theCell, theRed, theGreen, theBlue);

  std::uint8_t theBest = 0;
  int theBestDistance = 0x7FFFFFFF;
  for (std::uint32_t i = theCell.mFirst; i < theCell.mFirst + theCell.mCount; ++i) {
    const std::uint32_t theEntry = mTable[mCandidates[i]];
    const int dr = Component(theEntry, 16) - theRed, dg = Component(theEntry, 8) - theGreen,
              db = Component(theEntry, 0) - theBlue;
    const int theDistance = dr * dr + dg * dg + db * db;
    if (theDistance < theBestDistance) {
      theBestDistance = theDistance;
      theBest = mCandidates[i];
    }
  }
  return theBest;
}

}  // namespace tlgdi
