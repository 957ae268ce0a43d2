#include "tests/core/PixelTestSupport.h"

#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace pixeltest {

namespace {

std::string EventLogText()
{
  std::ifstream theFile(tltest::TestHome() + "/events.log");
  std::stringstream theText;
  theText << theFile.rdbuf();
  return theText.str();
}

}  // namespace

bool AssertionLogged(const std::string& inUnit, const std::string& inExpression)
{
  const std::string theText = EventLogText();
  const std::string theHead = "Assertion Failed in " + inUnit + " line ";
  const std::string theTail = " (" + inExpression + ")";
  for (std::size_t theAt = theText.find(theHead); theAt != std::string::npos;
       theAt = theText.find(theHead, theAt + 1)) {
    const std::size_t theEnd = theText.find('\n', theAt);
    const std::string theLine = theText.substr(theAt, theEnd == std::string::npos ? std::string::npos : theEnd - theAt);
    if (theLine.size() >= theTail.size() && theLine.compare(theLine.size() - theTail.size(), theTail.size(), theTail) == 0)
      return true;
  }
  return false;
}

int AssertionCount()
{
  const std::string theText = EventLogText();
  int theCount = 0;
  for (std::size_t theAt = theText.find("Assertion Failed in "); theAt != std::string::npos;
       theAt = theText.find("Assertion Failed in ", theAt + 1))
    ++theCount;
  return theCount;
}

std::string ToString(const Rgb& inColor)
{
  return "(" + std::to_string(inColor.mRed) + ", " + std::to_string(inColor.mGreen) + ", " +
         std::to_string(inColor.mBlue) + ")";
}

COLORREF ToColorRef(const Rgb& inColor)
{
  return RGB(inColor.mRed, inColor.mGreen, inColor.mBlue);
}

TestDib::TestDib(LONG inWidth, LONG inHeight, bool inBottomUp) : mWidth(inWidth), mHeight(inHeight), mBottomUp(inBottomUp)
{
  BITMAPINFO theInfo{};
  theInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  theInfo.bmiHeader.biWidth = inWidth;
  theInfo.bmiHeader.biHeight = inBottomUp ? inHeight : -inHeight;
  theInfo.bmiHeader.biPlanes = 1;
  theInfo.bmiHeader.biBitCount = 32;
  mDC = CreateCompatibleDC(nullptr);
  void* theBits = nullptr;
  mBitmap = CreateDIBSection(mDC, &theInfo, DIB_RGB_COLORS, &theBits, nullptr, 0);
  mOld = SelectObject(mDC, mBitmap);
  mBits = static_cast<std::uint8_t*>(theBits);
}

TestDib::~TestDib()
{
  SelectObject(mDC, mOld);
  DeleteObject(mBitmap);
  DeleteDC(mDC);
}

std::uint32_t TestDib::Get(LONG inX, LONG inY) const
{
  const LONG theRow = mBottomUp ? mHeight - 1 - inY : inY;
  std::uint32_t theWord;
  std::memcpy(&theWord, mBits + (static_cast<std::size_t>(theRow) * mWidth + inX) * 4, 4);
  return theWord;
}

void TestDib::Put(LONG inX, LONG inY, std::uint32_t inWord)
{
  const LONG theRow = mBottomUp ? mHeight - 1 - inY : inY;
  std::memcpy(mBits + (static_cast<std::size_t>(theRow) * mWidth + inX) * 4, &inWord, 4);
}

void TestDib::Fill(const RECT& inRect, const Rgb& inColor) const
{
  HBRUSH theBrush = CreateSolidBrush(ToColorRef(inColor));
  FillRect(mDC, &inRect, theBrush);
  DeleteObject(theBrush);
}

DIBSECTION TestDib::Section() const
{
  DIBSECTION theSection{};
  GetObjectA(mBitmap, sizeof theSection, &theSection);
  return theSection;
}

Rgb QuadrantColor(LONG inX, LONG inY, LONG inWidth, LONG inHeight)
{
  const bool theRight = inX >= inWidth / 2;
  const bool theBottom = inY >= inHeight / 2;
  return theBottom ? (theRight ? kYellow : kBlue) : (theRight ? kGreen : kRed);
}

void PaintQuadrants(TestDib& ioDib)
{
  for (LONG y = 0; y < ioDib.Height(); ++y)
    for (LONG x = 0; x < ioDib.Width(); ++x) {
      const Rgb theColor = QuadrantColor(x, y, ioDib.Width(), ioDib.Height());
      ioDib.Put(x, y, 0xFF000000u | theColor.mRed << 16 | theColor.mGreen << 8 | theColor.mBlue);
    }
}

void PaintPhoto(TestDib& ioDib)
{
  std::uint32_t theSeed = 12345;
  const double theWidth = ioDib.Width(), theHeight = ioDib.Height();
  for (LONG y = 0; y < ioDib.Height(); ++y)
    for (LONG x = 0; x < ioDib.Width(); ++x) {
      const double u = x / theWidth, v = y / theHeight;
      double r = 128 + 110 * std::sin(6.0 * u + 1.0) * std::cos(4.0 * v);
      double g = 40 + 180 * v * (1 - 0.5 * u);
      double b = 200 - 150 * u * v + 30 * std::sin(20.0 * u);
      const double dx = u - 0.3, dy = v - 0.6;
      if (dx * dx + dy * dy < 0.02)
        r = 250, g = 220, b = 180;  // a bright disc
      if (u > 0.7 && v < 0.25)
        r = 20, g = 90, b = 30;  // a dark green block
      theSeed = theSeed * 1664525u + 1013904223u;
      const int theNoise = static_cast<int>(theSeed >> 28) - 8;
      auto Clamp = [&](double c) {
        return static_cast<std::uint32_t>(std::lround(std::fmin(255.0, std::fmax(0.0, c + theNoise))));
      };
      ioDib.Put(x, y, Clamp(r) << 16 | Clamp(g) << 8 | Clamp(b));
    }
}

int NearestEntry(const RGBQUAD* inTable, int inCount, const Rgb& inColor)
{
  int theBest = 0;
  long theBestDistance = -1;
  for (int i = 0; i < inCount; ++i) {
    const long dr = inTable[i].rgbRed - inColor.mRed, dg = inTable[i].rgbGreen - inColor.mGreen,
               db = inTable[i].rgbBlue - inColor.mBlue;
    const long theDistance = dr * dr + dg * dg + db * db;
    if (theBestDistance < 0 || theDistance < theBestDistance) {
      theBest = i;
      theBestDistance = theDistance;
    }
  }
  return theBest;
}

}  // namespace pixeltest
