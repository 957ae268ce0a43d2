#include "platform/gdi/NearestColor.h"

namespace tlgdi {

namespace {
constexpr std::uint32_t kFilled = 0x01000000;
}

NearestColor::NearestColor(std::vector<std::uint32_t> inTable) : mTable(std::move(inTable)) {}

std::uint8_t NearestColor::Find(std::uint32_t inColor)
{
  const std::uint32_t theKey = (inColor & 0x00FFFFFF) | kFilled;
  Cell& theCell = mCache[((theKey * 2654435761u) >> 20) & 0xFFF];
  if (theCell.mKey != theKey) {
    theCell.mKey = theKey;
    theCell.mIndex = Search(inColor);
  }
  return theCell.mIndex;
}

std::uint8_t NearestColor::Search(std::uint32_t inColor) const
{
  const int theRed = (inColor >> 16) & 0xFF;
  const int theGreen = (inColor >> 8) & 0xFF;
  const int theBlue = inColor & 0xFF;
  std::size_t theBest = 0;
  int theBestDistance = 0x7FFFFFFF;
  for (std::size_t i = 0; i < mTable.size(); ++i) {
    const int dr = static_cast<int>((mTable[i] >> 16) & 0xFF) - theRed;
    const int dg = static_cast<int>((mTable[i] >> 8) & 0xFF) - theGreen;
    const int db = static_cast<int>(mTable[i] & 0xFF) - theBlue;
    const int theDistance = dr * dr + dg * dg + db * db;
    if (theDistance < theBestDistance) {
      theBestDistance = theDistance;
      theBest = i;
    }
  }
  return static_cast<std::uint8_t>(theBest);
}

}  // namespace tlgdi
