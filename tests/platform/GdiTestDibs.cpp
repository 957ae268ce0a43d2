#include "tests/platform/GdiTestDibs.h"

#include <bit>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace gditest {

namespace {

RGBQUAD Quad(int inRed, int inGreen, int inBlue)
{
  return RGBQUAD{static_cast<BYTE>(inBlue), static_cast<BYTE>(inGreen), static_cast<BYTE>(inRed), 0};
}

std::vector<RGBQUAD> SixteenColors()
{
  return {Quad(0, 0, 0),     Quad(255, 255, 255), Quad(255, 0, 0),     Quad(0, 255, 0),
          Quad(0, 0, 255),   Quad(255, 255, 0),   Quad(0, 255, 255),   Quad(255, 0, 255),
          Quad(128, 64, 0),  Quad(0, 128, 64),    Quad(64, 0, 128),    Quad(200, 200, 200),
          Quad(96, 96, 96),  Quad(255, 128, 128), Quad(128, 255, 128), Quad(128, 128, 255)};
}

std::vector<Layout> MakeLayouts()
{
  std::vector<RGBQUAD> theTable256 = SixteenColors();
  for (int i = 16; i < 256; ++i)
    theTable256.push_back(Quad(i, i, 255 - i));
  return {
    {"1", 1, BI_RGB, {0, 0, 0}, 40, {Quad(0, 0, 0), Quad(255, 255, 255)}},
    {"4", 4, BI_RGB, {0, 0, 0}, 40, SixteenColors()},
    {"8", 8, BI_RGB, {0, 0, 0}, 40, theTable256},
    {"16-555", 16, BI_RGB, {0x7C00, 0x03E0, 0x001F}, 40, {}},
    {"16-565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 40, {}},
    {"24", 24, BI_RGB, {0xFF0000, 0xFF00, 0xFF}, 40, {}},
    {"32", 32, BI_RGB, {0xFF0000, 0xFF00, 0xFF}, 40, {}},
    {"32-rgba-v4", 32, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000}, 108, {}},
  };
}

std::uint32_t FieldGet(std::uint32_t inWord, std::uint32_t inMask)
{
  const std::uint32_t theMax = inMask >> std::countr_zero(inMask);
  const double theValue = static_cast<double>((inWord & inMask) >> std::countr_zero(inMask));
  return static_cast<std::uint32_t>(theValue * 255.0 / theMax + 0.5);
}

std::uint32_t FieldPut(std::uint32_t inValue, std::uint32_t inMask)
{
  const std::uint32_t theMax = inMask >> std::countr_zero(inMask);
  return static_cast<std::uint32_t>(inValue * static_cast<double>(theMax) / 255.0 + 0.5) << std::countr_zero(inMask);
}

}  // namespace

const std::vector<Layout>& AllLayouts()
{
  static const std::vector<Layout> gLayouts = MakeLayouts();
  return gLayouts;
}

const Layout& LayoutNamed(const std::string& inName)
{
  for (const Layout& theLayout : AllLayouts())
    if (theLayout.mName == inName)
      return theLayout;
  throw std::runtime_error("no layout " + inName);
}

std::vector<std::uint8_t> MakeInfo(const Layout& inLayout, LONG inWidth, LONG inHeight)
{
  std::vector<std::uint8_t> theInfo(inLayout.mHeaderSize + 12 + 256 * sizeof(RGBQUAD), 0);
  BITMAPV4HEADER theHeader{};
  theHeader.bV4Size = inLayout.mHeaderSize;
  theHeader.bV4Width = inWidth;
  theHeader.bV4Height = inHeight;
  theHeader.bV4Planes = 1;
  theHeader.bV4BitCount = static_cast<WORD>(inLayout.mBits);
  theHeader.bV4V4Compression = inLayout.mCompression;
  theHeader.bV4ClrUsed = static_cast<DWORD>(inLayout.mTable.size());
  std::uint8_t* theAfter = theInfo.data() + inLayout.mHeaderSize;
  if (inLayout.mCompression == BI_BITFIELDS) {
    if (inLayout.mHeaderSize == sizeof(BITMAPV4HEADER)) {
      theHeader.bV4RedMask = inLayout.mMasks[0];
      theHeader.bV4GreenMask = inLayout.mMasks[1];
      theHeader.bV4BlueMask = inLayout.mMasks[2];
    } else {
      std::memcpy(theAfter, inLayout.mMasks, 12);
    }
  }
  std::memcpy(theInfo.data(), &theHeader, inLayout.mHeaderSize);
  if (!inLayout.mTable.empty())
    std::memcpy(theAfter, inLayout.mTable.data(), inLayout.mTable.size() * sizeof(RGBQUAD));
  return theInfo;
}

Dib::Dib(const Layout& inLayout, LONG inWidth, LONG inHeight) : mLayout(inLayout), mWidth(inWidth), mHeight(inHeight)
{
  const std::vector<std::uint8_t> theInfo = MakeInfo(inLayout, inWidth, inHeight);
  void* theBits = nullptr;
  mBitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(theInfo.data()), DIB_RGB_COLORS,
                             &theBits, nullptr, 0);
  mBits = static_cast<std::uint8_t*>(theBits);
  mDC = CreateCompatibleDC(nullptr);
  if (mBitmap && mDC)
    mOld = SelectObject(mDC, mBitmap);
  if (mLayout.mBits <= 8)
    mLayout.mTable.resize(std::size_t{1} << mLayout.mBits, RGBQUAD{0, 0, 0, 0});
}

Dib::~Dib()
{
  if (mOld)
    SelectObject(mDC, mOld);
  if (mDC)
    DeleteDC(mDC);
  if (mBitmap)
    DeleteObject(mBitmap);
}

std::uint8_t* Dib::Row(LONG inY) const
{
  const LONG theRow = mHeight < 0 ? inY : Height() - 1 - inY;
  return mBits + theRow * RowBytes();
}

std::uint32_t Dib::Word(LONG inX, LONG inY) const
{
  const std::uint8_t* p = Row(inY);
  const int theBits = mLayout.mBits;
  switch (theBits) {
  case 1:
  case 4:
  case 8: return (p[inX * theBits / 8] >> (8 - theBits - inX * theBits % 8)) & ((1u << theBits) - 1);
  case 16: return p[2 * inX] | (p[2 * inX + 1] << 8);
  case 24: return p[3 * inX] | (p[3 * inX + 1] << 8) | (p[3 * inX + 2] << 16);
  default: {
    std::uint32_t theWord;
    std::memcpy(&theWord, p + 4 * inX, 4);
    return theWord;
  }
  }
}

std::uint32_t Dib::Get(LONG inX, LONG inY) const
{
  const std::uint32_t theWord = Word(inX, inY);
  if (mLayout.mBits <= 8) {
    const RGBQUAD& q = mLayout.mTable[theWord];
    return (static_cast<std::uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
  }
  std::uint32_t theColor = (FieldGet(theWord, mLayout.mMasks[0]) << 16) | (FieldGet(theWord, mLayout.mMasks[1]) << 8) |
                           FieldGet(theWord, mLayout.mMasks[2]);
  if (mLayout.mBits == 32) {
    const std::uint32_t theAlphaMask = ~(mLayout.mMasks[0] | mLayout.mMasks[1] | mLayout.mMasks[2]);
    theColor |= FieldGet(theWord, theAlphaMask) << 24;
  }
  return theColor;
}

void Dib::Put(LONG inX, LONG inY, std::uint32_t inColor)
{
  std::uint8_t* p = Row(inY);
  const int theBits = mLayout.mBits;
  if (theBits <= 8) {
    const int theShift = 8 - theBits - inX * theBits % 8;
    std::uint8_t& theByte = p[inX * theBits / 8];
    const int theMask = ((1 << theBits) - 1) << theShift;
    theByte = static_cast<std::uint8_t>((theByte & ~theMask) | (NearestIndex(mLayout.mTable, inColor) << theShift));
    return;
  }
  std::uint32_t theWord = FieldPut((inColor >> 16) & 0xFF, mLayout.mMasks[0]) |
                          FieldPut((inColor >> 8) & 0xFF, mLayout.mMasks[1]) | FieldPut(inColor & 0xFF, mLayout.mMasks[2]);
  if (mLayout.mBits == 32)
    theWord |= FieldPut(inColor >> 24, ~(mLayout.mMasks[0] | mLayout.mMasks[1] | mLayout.mMasks[2]));
  std::memcpy(p + (mLayout.mBits / 8) * inX, &theWord, mLayout.mBits / 8);
}

int NearestIndex(const std::vector<RGBQUAD>& inTable, std::uint32_t inColor)
{
  int theBest = 0;
  long theBestDistance = -1;
  for (std::size_t i = 0; i < inTable.size(); ++i) {
    const long dr = long(inTable[i].rgbRed) - long((inColor >> 16) & 0xFF);
    const long dg = long(inTable[i].rgbGreen) - long((inColor >> 8) & 0xFF);
    const long db = long(inTable[i].rgbBlue) - long(inColor & 0xFF);
    const long theDistance = dr * dr + dg * dg + db * db;
    if (theBestDistance < 0 || theDistance < theBestDistance) {
      theBestDistance = theDistance;
      theBest = static_cast<int>(i);
    }
  }
  return theBest;
}

int ChannelTolerance(DWORD inMask)
{
  const int theBits = std::popcount(inMask);
  return theBits >= 8 ? 0 : 255 / (2 * ((1 << theBits) - 1)) + 1;
}

std::string Hex(std::uint32_t inValue)
{
  char theText[16];
  std::snprintf(theText, sizeof(theText), "0x%08x", inValue);
  return theText;
}

::testing::AssertionResult Holds(const Dib& inTarget, LONG inX, LONG inY, std::uint32_t inSource, bool inKeepsAlpha)
{
  const Layout& theLayout = inTarget.GetLayout();
  const std::uint32_t theActual = inTarget.Get(inX, inY);
  if (theLayout.mBits <= 8) {
    const RGBQUAD& q = theLayout.mTable[NearestIndex(theLayout.mTable, inSource)];
    const std::uint32_t theWanted = (static_cast<std::uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
    if (theActual == theWanted)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << inX << "," << inY << " source " << Hex(inSource) << " gave "
                                         << Hex(theActual) << ", nearest entry is " << Hex(theWanted);
  }
  for (int c = 0; c < 3; ++c) {
    const int theShift = 16 - 8 * c;
    const int theError = std::abs(int((theActual >> theShift) & 0xFF) - int((inSource >> theShift) & 0xFF));
    if (theError > ChannelTolerance(theLayout.mMasks[c]))
      return ::testing::AssertionFailure() << "at " << inX << "," << inY << " source " << Hex(inSource) << " gave "
                                           << Hex(theActual);
  }
  if (theLayout.mBits == 32) {
    const std::uint32_t theAlpha = inKeepsAlpha ? inSource >> 24 : 0;
    if ((theActual >> 24) != theAlpha)
      return ::testing::AssertionFailure() << "at " << inX << "," << inY << " alpha of " << Hex(theActual)
                                           << ", wanted " << Hex(theAlpha);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace gditest
