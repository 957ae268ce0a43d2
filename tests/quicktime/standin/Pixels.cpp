// Reading and writing pixels of every layout, and nearest-pixel drawing
// through a matrix.

#include "tests/quicktime/standin/Pixels.h"

#include "tests/quicktime/standin/Geometry.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace {

// One pixel on its way: B, G, R, A, or C, M, Y, K when mCMYK.
struct Sample {
  bool mCMYK = false;
  unsigned char mV[4] = {0, 0, 0, 255};
};

Sample ToRGB(const Sample& inSample)
{
  if (!inSample.mCMYK)
    return inSample;
  auto theInk = [&](int inChannel) {
    return static_cast<unsigned char>((255 - inSample.mV[inChannel]) * (255 - inSample.mV[3]) / 255);
  };
  Sample theRGB;
  theRGB.mV[0] = theInk(2);
  theRGB.mV[1] = theInk(1);
  theRGB.mV[2] = theInk(0);
  return theRGB;
}

int NearestIndex(const std::vector<RGBColor>& inTable, const Sample& inSample)
{
  Sample theRGB = ToRGB(inSample);
  int theBest = 0;
  long theBestDistance = std::numeric_limits<long>::max();
  for (std::size_t i = 0; i < inTable.size(); ++i) {
    long theDB = long(inTable[i].blue >> 8) - theRGB.mV[0];
    long theDG = long(inTable[i].green >> 8) - theRGB.mV[1];
    long theDR = long(inTable[i].red >> 8) - theRGB.mV[2];
    long theDistance = theDB * theDB + theDG * theDG + theDR * theDR;
    if (theDistance < theBestDistance) {
      theBestDistance = theDistance;
      theBest = static_cast<int>(i);
    }
  }
  return theBest;
}

Sample ReadPixel(const PixelView& inView, int inX, int inY)
{
  const unsigned char* theRow = inView.mBase + inY * inView.mRowBytes;
  Sample theSample;
  unsigned char* theV = theSample.mV;
  switch (inView.mFormat) {
    case 32:
    case kQTBGRAPixelFormat:
      std::copy(theRow + 4 * inX, theRow + 4 * inX + 4, theV);
      break;
    case kQTRGBAPixelFormat:
      theV[0] = theRow[4 * inX + 2];
      theV[1] = theRow[4 * inX + 1];
      theV[2] = theRow[4 * inX];
      theV[3] = theRow[4 * inX + 3];
      break;
    case kQTCMYKPixelFormat:
      theSample.mCMYK = true;
      std::copy(theRow + 4 * inX, theRow + 4 * inX + 4, theV);
      break;
    case 24:
      std::copy(theRow + 3 * inX, theRow + 3 * inX + 3, theV);
      break;
    case 16: {
      unsigned theWord = theRow[2 * inX] | (theRow[2 * inX + 1] << 8);
      auto theExpand = [](unsigned inFive) { return static_cast<unsigned char>((inFive << 3) | (inFive >> 2)); };
      theV[0] = theExpand(theWord & 31);
      theV[1] = theExpand((theWord >> 5) & 31);
      theV[2] = theExpand((theWord >> 10) & 31);
      break;
    }
    default: {
      int theBits = BitsPerPixel(inView.mFormat);
      int theBitOffset = inX * theBits;
      int theShift = 8 - theBits - theBitOffset % 8;
      unsigned theIndex = (theRow[theBitOffset / 8] >> theShift) & ((1u << theBits) - 1);
      if (theIndex < inView.mTable.size()) {
        theV[0] = inView.mTable[theIndex].blue >> 8;
        theV[1] = inView.mTable[theIndex].green >> 8;
        theV[2] = inView.mTable[theIndex].red >> 8;
      }
      break;
    }
  }
  return theSample;
}

void WritePixel(const PixelView& inView, int inX, int inY, const Sample& inSample)
{
  unsigned char* theRow = inView.mBase + inY * inView.mRowBytes;
  Sample theRGB = ToRGB(inSample);
  const unsigned char* theV = theRGB.mV;
  switch (inView.mFormat) {
    case 32:
    case kQTBGRAPixelFormat:
      std::copy(theV, theV + 4, theRow + 4 * inX);
      break;
    case kQTRGBAPixelFormat:
      theRow[4 * inX] = theV[2];
      theRow[4 * inX + 1] = theV[1];
      theRow[4 * inX + 2] = theV[0];
      theRow[4 * inX + 3] = theV[3];
      break;
    case kQTCMYKPixelFormat:
      if (inSample.mCMYK) {
        std::copy(inSample.mV, inSample.mV + 4, theRow + 4 * inX);
      } else {
        theRow[4 * inX] = 255 - theV[2];
        theRow[4 * inX + 1] = 255 - theV[1];
        theRow[4 * inX + 2] = 255 - theV[0];
        theRow[4 * inX + 3] = 0;
      }
      break;
    case 24:
      std::copy(theV, theV + 3, theRow + 3 * inX);
      break;
    case 16: {
      unsigned theWord = ((theV[2] >> 3) << 10) | ((theV[1] >> 3) << 5) | (theV[0] >> 3);
      theRow[2 * inX] = theWord & 0xFF;
      theRow[2 * inX + 1] = theWord >> 8;
      break;
    }
    default: {
      int theBits = BitsPerPixel(inView.mFormat);
      int theBitOffset = inX * theBits;
      int theShift = 8 - theBits - theBitOffset % 8;
      unsigned theMask = ((1u << theBits) - 1) << theShift;
      unsigned theIndex = static_cast<unsigned>(NearestIndex(inView.mTable, inSample)) << theShift;
      unsigned char& theByte = theRow[theBitOffset / 8];
      theByte = static_cast<unsigned char>((theByte & ~theMask) | (theIndex & theMask));
      break;
    }
  }
}

}  // namespace

int BitsPerPixel(OSType inFormat)
{
  switch (inFormat) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return static_cast<int>(inFormat);
    case kQTGray8Depth:
      return 8;
    case kQTBGRAPixelFormat:
    case kQTRGBAPixelFormat:
    case kQTCMYKPixelFormat:
      return 32;
    default:
      return 0;
  }
}

bool IsIndexedFormat(OSType inFormat)
{
  return inFormat == 1 || inFormat == 2 || inFormat == 4 || inFormat == 8 || inFormat == kQTGray8Depth;
}

std::vector<RGBColor> GreyRamp(int inBits)
{
  int theCount = 1 << inBits;
  std::vector<RGBColor> theTable(static_cast<std::size_t>(theCount));
  for (int i = 0; i < theCount; ++i) {
    auto theLevel = static_cast<std::uint16_t>(i * 65535 / (theCount - 1));
    theTable[static_cast<std::size_t>(i)] = {theLevel, theLevel, theLevel};
  }
  return theTable;
}

std::int64_t PaddedRowBytes(std::int64_t inWidth, int inBits)
{
  if (inWidth < 0 || inWidth > 0x7FFFFFFF || inBits <= 0)
    return 0;
  return (inWidth * inBits + 31) / 32 * 4;
}

OSErr DrawPixels(const PixelView& inFrom, const Rect& inSource, const MatrixRecord& inMatrix,
                 const PixelView& inTo)
{
  if (BitsPerPixel(inFrom.mFormat) == 0 || BitsPerPixel(inTo.mFormat) == 0)
    return kQTParamErr;
  Affine theAffine = AffineFromMatrix(inMatrix);
  double theDeterminant = theAffine.mA * theAffine.mD - theAffine.mB * theAffine.mC;
  if (theDeterminant == 0)
    return kQTParamErr;

  // The source pixels that may be read, in source coordinates.
  Rect theFromBounds{inFrom.mOrigin.v, inFrom.mOrigin.h, static_cast<SInt16>(inFrom.mOrigin.v + inFrom.mHeight),
                     static_cast<SInt16>(inFrom.mOrigin.h + inFrom.mWidth)};
  Rect theSource = IntersectRects(inSource, theFromBounds);
  if (IsEmptyRect(theSource))
    return kQTNoErr;

  // The destination pixels that may be reached: the mapped source's bounding
  // box within the destination.
  double theXs[4] = {double(theSource.left), double(theSource.right), double(theSource.left), double(theSource.right)};
  double theYs[4] = {double(theSource.top), double(theSource.top), double(theSource.bottom), double(theSource.bottom)};
  double theMinX = HUGE_VAL, theMinY = HUGE_VAL, theMaxX = -HUGE_VAL, theMaxY = -HUGE_VAL;
  for (int i = 0; i < 4; ++i) {
    double theX = theAffine.mA * theXs[i] + theAffine.mC * theYs[i] + theAffine.mTx;
    double theY = theAffine.mB * theXs[i] + theAffine.mD * theYs[i] + theAffine.mTy;
    theMinX = std::min(theMinX, theX);
    theMaxX = std::max(theMaxX, theX);
    theMinY = std::min(theMinY, theY);
    theMaxY = std::max(theMaxY, theY);
  }
  int theLeft = std::max<double>(inTo.mOrigin.h, std::floor(theMinX));
  int theTop = std::max<double>(inTo.mOrigin.v, std::floor(theMinY));
  int theRight = std::min<double>(inTo.mOrigin.h + inTo.mWidth, std::ceil(theMaxX));
  int theBottom = std::min<double>(inTo.mOrigin.v + inTo.mHeight, std::ceil(theMaxY));

  // The inverse matrix sends destination pixel centres back to the source.
  double theIA = theAffine.mD / theDeterminant;
  double theIB = -theAffine.mB / theDeterminant;
  double theIC = -theAffine.mC / theDeterminant;
  double theID = theAffine.mA / theDeterminant;
  for (int y = theTop; y < theBottom; ++y) {
    for (int x = theLeft; x < theRight; ++x) {
      double theDX = x + 0.5 - theAffine.mTx;
      double theDY = y + 0.5 - theAffine.mTy;
      double theSX = std::floor(theIA * theDX + theIC * theDY);
      double theSY = std::floor(theIB * theDX + theID * theDY);
      if (theSX < theSource.left || theSX >= theSource.right || theSY < theSource.top || theSY >= theSource.bottom)
        continue;
      Sample theSample = ReadPixel(inFrom, static_cast<int>(theSX) - inFrom.mOrigin.h,
                                   static_cast<int>(theSY) - inFrom.mOrigin.v);
      WritePixel(inTo, x - inTo.mOrigin.h, y - inTo.mOrigin.v, theSample);
    }
  }
  return kQTNoErr;
}

namespace {
std::atomic<SInt32> gLastTransferMode{-1};
}  // namespace

void NoteTransferMode(SInt32 inMode)
{
  gLastTransferMode = inMode;
}

SInt32 LastTransferMode()
{
  return gLastTransferMode;
}
