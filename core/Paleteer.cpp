// Colour tables by kind, the octree quantiser and the indexed DIB section.

#include "core/Paleteer.h"

#include "core/EventLog.h"
#include "core/SystemUtilities.h"
#include "platform/base/Numbers.h"
#include "platform/files/Files.h"
#include "platform/kernel/DebugOutput.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kColorBits = 5;  // octree depth
constexpr LONG kMaxLeaves = 262;

RGBQUAD Quad(LONG inRed, LONG inGreen, LONG inBlue)
{
  return RGBQUAD{static_cast<BYTE>(inBlue), static_cast<BYTE>(inGreen), static_cast<BYTE>(inRed), 0};
}

LONG HoldCount(LONG inCount)
{
  return std::clamp<LONG>(inCount, 2, Paleteer::kMaxColors);
}

LONG BuildUniformTable(RGBQUAD* outTable, LONG inCount)
{
  const LONG theLevels = inCount < 27 ? 2 : inCount < 64 ? 3 : inCount < 125 ? 4 : inCount < 216 ? 5 : 6;
  const LONG theTop = theLevels - 1;
  LONG theEntry = 0;
  for (LONG r = 0; r < theLevels; ++r)
    for (LONG g = 0; g < theLevels; ++g)
      for (LONG b = 0; b < theLevels; ++b)
        outTable[theEntry++] =
          Quad((theTop - r) * 255 / theTop, (theTop - g) * 255 / theTop, (theTop - b) * 255 / theTop);
  return theEntry;
}

LONG BuildGreyTable(RGBQUAD* outTable, LONG inCount)
{
  const LONG theCount = HoldCount(inCount);
  for (LONG i = 0; i < theCount; ++i) {
    const LONG theGrey = 255 * i / (theCount - 1);
    outTable[i] = Quad(theGrey, theGrey, theGrey);
  }
  return theCount;
}

LONG BuildMacintoshTable(RGBQUAD* outTable)
{
  constexpr LONG kRamp[10] = {238, 221, 187, 170, 136, 119, 85, 68, 34, 17};
  BuildUniformTable(outTable, 216);
  for (LONG i = 0; i < 10; ++i) {
    outTable[215 + i] = Quad(kRamp[i], 0, 0);
    outTable[225 + i] = Quad(0, kRamp[i], 0);
    outTable[235 + i] = Quad(0, 0, kRamp[i]);
    outTable[245 + i] = Quad(kRamp[i], kRamp[i], kRamp[i]);
  }
  outTable[255] = Quad(0, 0, 0);
  return 256;
}

LONG BuildHalftoneTable(RGBQUAD* outTable)
{
  HDC theDC = CreateCompatibleDC(nullptr);
  HPALETTE thePalette = CreateHalftonePalette(theDC);
  PALETTEENTRY theEntries[Paleteer::kMaxColors];
  const UINT theCount = thePalette ? GetPaletteEntries(thePalette, 0, Paleteer::kMaxColors, theEntries) : 0;
  for (UINT i = 0; i < theCount; ++i)
    outTable[i] = Quad(theEntries[i].peRed, theEntries[i].peGreen, theEntries[i].peBlue);
  if (thePalette)
    DeleteObject(thePalette);
  if (theDC)
    DeleteDC(theDC);
  return static_cast<LONG>(theCount);
}

// --- The octree -------------------------------------------------------------

struct OctreeNode {
  bool mLeaf = false;
  DWORD mCount = 0;
  DWORD mRed = 0;
  DWORD mGreen = 0;
  DWORD mBlue = 0;
  std::array<std::unique_ptr<OctreeNode>, 8> mChildren;
  OctreeNode* mNextReducible = nullptr;
};

struct Octree {
  OctreeNode mRoot;
  std::array<OctreeNode*, kColorBits> mReducible{};  // the head of each level's list
  LONG mLeaves = 0;

  Octree() { mReducible[0] = &mRoot; }

  void Add(BYTE inRed, BYTE inGreen, BYTE inBlue)
  {
    OctreeNode* theNode = &mRoot;
    for (int theLevel = 0; !theNode->mLeaf; ++theLevel) {
      const int theBit = 7 - theLevel;
      const int theIndex =
        (((inRed >> theBit) & 1) << 2) | (((inGreen >> theBit) & 1) << 1) | ((inBlue >> theBit) & 1);
      std::unique_ptr<OctreeNode>& theChild = theNode->mChildren[theIndex];
      if (!theChild) {
        theChild = std::make_unique<OctreeNode>();
        if (theLevel + 1 == kColorBits) {
          theChild->mLeaf = true;
          ++mLeaves;
        } else {
          theChild->mNextReducible = mReducible[theLevel + 1];
          mReducible[theLevel + 1] = theChild.get();
        }
      }
      theNode = theChild.get();
    }
    ++theNode->mCount;
    theNode->mRed += inRed;
    theNode->mGreen += inGreen;
    theNode->mBlue += inBlue;
  }

  // Folds the children of the newest node of the deepest reducible level;
  // false when nothing is left to fold.
  bool Reduce()
  {
    int theLevel = kColorBits - 1;
    while (theLevel > 0 && !mReducible[theLevel])
      --theLevel;
    OctreeNode* theNode = mReducible[theLevel];
    if (!theNode)
      return false;
    mReducible[theLevel] = theNode->mNextReducible;
    LONG theChildren = 0;
    for (std::unique_ptr<OctreeNode>& theChild : theNode->mChildren) {
      if (!theChild)
        continue;
      theNode->mCount += theChild->mCount;
      theNode->mRed += theChild->mRed;
      theNode->mGreen += theChild->mGreen;
      theNode->mBlue += theChild->mBlue;
      theChild.reset();
      ++theChildren;
    }
    theNode->mLeaf = true;
    mLeaves -= theChildren - 1;
    return true;
  }

  struct Color {
    RGBQUAD mQuad;
    DWORD mCount;
  };

  static void Collect(const OctreeNode& inNode, std::vector<Color>& ioColors)
  {
    if (inNode.mLeaf) {
      if (inNode.mCount > 0)
        ioColors.push_back({Quad(static_cast<LONG>(inNode.mRed / inNode.mCount),
                                 static_cast<LONG>(inNode.mGreen / inNode.mCount),
                                 static_cast<LONG>(inNode.mBlue / inNode.mCount)),
                            inNode.mCount});
      return;
    }
    for (const std::unique_ptr<OctreeNode>& theChild : inNode.mChildren)
      if (theChild)
        Collect(*theChild, ioColors);
  }
};

// One channel of a pixel word: the field of inMask scaled to 8 bits (a zero
// mask reads 0).
BYTE Channel(DWORD inWord, DWORD inMask)
{
  if (inMask == 0)
    return 0;
  const int theShift = std::countr_zero(inMask);
  const int theBits = std::popcount(inMask >> theShift);
  const DWORD theValue = (inWord & inMask) >> theShift;
  return static_cast<BYTE>(theBits >= 8 ? theValue >> (theBits - 8) : theValue << (8 - theBits));
}

}  // namespace

Paleteer::~Paleteer()
{
  if (mHDC && mOldHBM)
    SelectObject(mHDC, mOldHBM);
  if (mHBM)
    DeleteObject(mHBM);
  if (mHDC)
    DeleteDC(mHDC);
}

void Paleteer::SetSource(HBITMAP inSource)
{
  mSrc = inSource;
}

void Paleteer::SetColorCount(LONG inCount)
{
  mColorCount = inCount;
}

void Paleteer::SetKind(LONG inKind)
{
  mKind = inKind;
}

void Paleteer::SetPalettePath(const std::string& inPath)
{
  mPalettePath = inPath;
}

LONG Paleteer::BuildColorTable(RGBQUAD* inOutColorTable)
{
  TL_ASSERT(inOutColorTable);
  if (!inOutColorTable)
    return 0;
  std::memset(inOutColorTable, 0, kMaxColors * sizeof(RGBQUAD));
  switch (mKind) {
    case kWebSafe:
      return BuildUniformTable(inOutColorTable, 216);
    case kWindows:
      return BuildHalftoneTable(inOutColorTable);
    case kMacintosh:
      return BuildMacintoshTable(inOutColorTable);
    case kUniform:
      return BuildUniformTable(inOutColorTable, mColorCount);
    case kAdaptive:
      return BuildAdaptive(inOutColorTable);
    case kGrayscale:
      return BuildGreyTable(inOutColorTable, mColorCount);
    case kBlackAndWhite:
      return BuildGreyTable(inOutColorTable, 2);
    case kPaletteFile:
      return BuildFromFile(inOutColorTable);
    default:
      TL_ASSERT(FALSE);
      return 0;
  }
}

// Only the first 256 triples count, so no more than that is read.
LONG Paleteer::BuildFromFile(RGBQUAD* outTable) const
{
  HANDLE theFile = CreateFileA(mPalettePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (theFile == INVALID_HANDLE_VALUE)
    return 0;
  BYTE theData[kMaxColors * 3];
  DWORD theLength = 0;
  while (theLength < sizeof theData) {
    DWORD theRead = 0;
    if (!ReadFile(theFile, theData + theLength, static_cast<DWORD>(sizeof theData - theLength), &theRead, nullptr) ||
        theRead == 0)
      break;
    theLength += theRead;
  }
  CloseHandle(theFile);
  const LONG theCount = static_cast<LONG>(theLength / 3);
  for (LONG i = 0; i < theCount; ++i)
    outTable[i] = Quad(theData[3 * i], theData[3 * i + 1], theData[3 * i + 2]);
  return theCount;
}

LONG Paleteer::BuildAdaptive(RGBQUAD* outTable) const
{
  TL_ASSERT_TEXT(mSrc && mColorCount > 1 && mColorCount <= kMaxColors,
                 "(inBM) && (inNumCols > 1) && (inNumCols <= 256)");
  const LONG theWanted = HoldCount(mColorCount);
  DIBSECTION theSection{};
  if (!mSrc || GetObjectA(mSrc, sizeof theSection, &theSection) != static_cast<int>(sizeof theSection) ||
      !theSection.dsBm.bmBits)
    return 0;
  const WORD theBits = theSection.dsBm.bmBitsPixel;
  DWORD theMasks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  if (theBits == 16)
    theMasks[0] = 0x7C00, theMasks[1] = 0x03E0, theMasks[2] = 0x001F;
  if (theSection.dsBmih.biCompression == BI_BITFIELDS)
    std::copy(theSection.dsBitfields, theSection.dsBitfields + 3, theMasks);
  if (theBits != 16 && theBits != 24 && theBits != 32) {
    TL_ASSERT(FALSE);
    return 0;
  }

  const LONG theMaxLeaves = std::min(theWanted + 6, kMaxLeaves);
  Octree theTree;
  const BYTE* theRow = static_cast<const BYTE*>(theSection.dsBm.bmBits);
  for (LONG y = 0; y < theSection.dsBm.bmHeight; ++y, theRow += theSection.dsBm.bmWidthBytes) {
    for (LONG x = 0; x < theSection.dsBm.bmWidth; ++x) {
      BYTE theRed, theGreen, theBlue;
      if (theBits == 24) {
        theBlue = theRow[3 * x];
        theGreen = theRow[3 * x + 1];
        theRed = theRow[3 * x + 2];
      } else {
        DWORD theWord = 0;
        std::memcpy(&theWord, theRow + x * (theBits / 8), theBits / 8);
        theRed = Channel(theWord, theMasks[0]);
        theGreen = Channel(theWord, theMasks[1]);
        theBlue = Channel(theWord, theMasks[2]);
      }
      theTree.Add(theRed, theGreen, theBlue);
      while (theTree.mLeaves > theMaxLeaves && theTree.Reduce()) {
      }
    }
  }

  std::vector<Octree::Color> theColors;
  Octree::Collect(theTree.mRoot, theColors);
  while (static_cast<LONG>(theColors.size()) > theWanted) {
    auto theSmallest = std::min_element(theColors.begin(), theColors.end(),
                                        [](const Octree::Color& inA, const Octree::Color& inB) {
                                          return inA.mCount < inB.mCount;
                                        });
    theColors.erase(theSmallest);
  }
  for (std::size_t i = 0; i < theColors.size(); ++i)
    outTable[i] = theColors[i].mQuad;
  return static_cast<LONG>(theColors.size());
}

void IndexedBitmapInfo::DescribeTopDown(LONG inWidth, LONG inHeight, WORD inBitCount)
{
  std::memset(this, 0, sizeof *this);
  bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmiHeader.biWidth = inWidth;
  bmiHeader.biHeight = -inHeight;
  bmiHeader.biPlanes = 1;
  bmiHeader.biBitCount = inBitCount;
  bmiHeader.biCompression = BI_RGB;
}

void Paleteer::MakeIndexedDIB(IndexedBitmapInfo* outBitmapInfo, LONG inWidth, LONG inHeight)
{
  TL_ASSERT_TEXT(!mHBM && !mHDC, "(!mHBM) && (!mHDC)");
  if (mHBM || mHDC || !outBitmapInfo)
    return;
  mHDC = CreateCompatibleDC(nullptr);
  if (!mHDC)
    return;
  outBitmapInfo->DescribeTopDown(inWidth, inHeight, 8);
  outBitmapInfo->bmiHeader.biClrUsed = static_cast<DWORD>(BuildColorTable(outBitmapInfo->bmiColors));
  mHBM = CreateDIBSection(mHDC, reinterpret_cast<const BITMAPINFO*>(outBitmapInfo), DIB_RGB_COLORS, &mBits,
                          nullptr, 0);
  if (!mHBM)
    return;
  mOldHBM = SelectObject(mHDC, mHBM);
  TL_ASSERT_TEXT(mOldHBM, "theBM");
}

LONG Paleteer::CreateIndexedDIB(RGBQUAD* outTable)
{
  TL_ASSERT(mSrc);
  DIBSECTION theSection{};
  if (!mSrc || GetObjectA(mSrc, sizeof theSection, &theSection) != static_cast<int>(sizeof theSection))
    return 0;
  auto theInfo = std::make_unique<IndexedBitmapInfo>();
  MakeIndexedDIB(theInfo.get(), theSection.dsBm.bmWidth, theSection.dsBm.bmHeight);
  if (!mHDC)
    return 0;
  TL_ASSERT(mHBM);
  if (!mHBM)
    return 0;
  return static_cast<LONG>(GetDIBColorTable(mHDC, 0, theInfo->bmiHeader.biClrUsed, outTable));
}

HPALETTE CreatePaletteFromTable(const RGBQUAD* inTable, LONG inNumCols)
{
  TL_ASSERT(inNumCols <= 256);
  if (!inTable || inNumCols < 0 || inNumCols > 256)
    return nullptr;
  struct {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
  } thePalette{};
  thePalette.palVersion = 0x300;
  thePalette.palNumEntries = static_cast<WORD>(inNumCols);
  for (LONG i = 0; i < inNumCols; ++i)
    thePalette.palPalEntry[i] = PALETTEENTRY{inTable[i].rgbRed, inTable[i].rgbGreen, inTable[i].rgbBlue, 0};
  return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&thePalette));
}

void DumpPalette(const RGBQUAD* inTable, LONG inNum)
{
  std::string theText = FormatC("Palette Dump [%d RGB Hex]\n", static_cast<int>(inNum));
  for (LONG i = 0; inTable && i < inNum; ++i)
    theText += FormatC("%02x %02x %02x\n", inTable[i].rgbRed, inTable[i].rgbGreen, inTable[i].rgbBlue);
  OutputDebugStringA(theText.c_str());
}
