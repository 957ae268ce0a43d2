#include "core/GIFFrames.h"

#include <strings.h>

#include <algorithm>

namespace {

// "GIF87a" or "GIF89a", then the logical screen: width, height, flags,
// background index, aspect ratio.
constexpr std::size_t kHeader = 13;
constexpr std::size_t kDescriptor = 10;  // ',', left, top, width, height, flags
constexpr BYTE kExtension = '!';
constexpr BYTE kImage = ',';
constexpr BYTE kTrailer = ';';

// The size of the colour table that flags with bit 7 set announce.
std::size_t ColourTable(BYTE inFlags)
{
  return inFlags & 0x80 ? std::size_t{3} << ((inFlags & 0x07) + 1) : 0;
}

// Past the sub-blocks that start at inAt and their empty terminator.
std::size_t SkipSubBlocks(const BYTE* inData, std::size_t inLength, std::size_t inAt)
{
  while (inAt < inLength) {
    const std::size_t theSize = inData[inAt];
    inAt += 1 + theSize;
    if (theSize == 0)
      break;
  }
  return std::min(inAt, inLength);
}

}  // namespace

std::vector<BYTE> CutGIFFrame(const BYTE* inData, std::size_t inLength, LONG inFrame)
{
  // "GIF" in any case, as ImageMagick's reader takes it.
  if (!inData || inLength < kHeader || strncasecmp(reinterpret_cast<const char*>(inData), "GIF", 3) != 0 || inFrame < 1)
    return {};
  const std::size_t theHeader = kHeader + ColourTable(inData[10]);
  if (theHeader > inLength)
    return {};
  std::size_t theAt = theHeader;
  std::size_t theExtensions = theAt;  // where the blocks before the next frame start
  for (LONG theFrame = 1; theAt < inLength && inData[theAt] != kTrailer;) {
    if (inData[theAt] == kExtension) {
      theAt = SkipSubBlocks(inData, inLength, theAt + 2);
      continue;
    }
    if (inData[theAt] != kImage) {
      ++theAt;
      continue;
    }
    const std::size_t theDescriptor = theAt;
    if (theDescriptor + kDescriptor > inLength)
      return {};
    theAt += kDescriptor + ColourTable(inData[theDescriptor + 9]) + 1;  // the LZW code size
    theAt = SkipSubBlocks(inData, inLength, theAt);
    if (theFrame++ == inFrame) {
      std::vector<BYTE> theCut(inData, inData + theHeader);
      theCut.insert(theCut.end(), inData + theExtensions, inData + theAt);
      theCut.push_back(kTrailer);
      return theCut;
    }
    theExtensions = theAt;
  }
  return {};
}
