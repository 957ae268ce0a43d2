// DIB sections and bitmaps: what GetObjectA reports, which headers are
// refused, colour tables, sizes beyond memory, and sections over caller memory.

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>
#include <fstream>
#include <string>

using namespace gditest;

namespace {

HBITMAP Make(const std::vector<std::uint8_t>& inInfo, void** outBits = nullptr)
{
  return CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(inInfo.data()), DIB_RGB_COLORS, outBits,
                          nullptr, 0);
}

BITMAPINFOHEADER& HeaderOf(std::vector<std::uint8_t>& ioInfo)
{
  return *reinterpret_cast<BITMAPINFOHEADER*>(ioInfo.data());
}

}  // namespace

TEST(GdiDib, GetObjectDescribesEverySection)
{
  for (const Layout& theLayout : AllLayouts())
    for (LONG theHeight : {-3, 3}) {
      SCOPED_TRACE(theLayout.mName + (theHeight < 0 ? " top-down" : " bottom-up"));
      void* theBits = nullptr;
      HBITMAP theBitmap = Make(MakeInfo(theLayout, 7, theHeight), &theBits);
      ASSERT_NE(theBitmap, nullptr);
      ASSERT_NE(theBits, nullptr);
      DIBSECTION theSection;
      std::memset(&theSection, 0xCC, sizeof(theSection));
      ASSERT_EQ(GetObjectA(theBitmap, sizeof(theSection), &theSection), int(sizeof(DIBSECTION)));
      const LONG theRowBytes = (7 * theLayout.mBits + 31) / 32 * 4;
      EXPECT_EQ(theSection.dsBm.bmHeight, 3);
      EXPECT_EQ(theSection.dsBm.bmWidthBytes, theRowBytes);
      EXPECT_EQ(theSection.dsBm.bmBits, theBits);
      EXPECT_EQ(theSection.dsBmih.biSize, 40u) << "whatever header it was made from";
      EXPECT_EQ(theSection.dsBmih.biHeight, theHeight);
      EXPECT_EQ(theSection.dsBmih.biCompression, theLayout.mCompression);
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(theSection.dsBitfields[i], theLayout.mCompression == BI_BITFIELDS ? theLayout.mMasks[i] : 0u);
      // Fresh pixels are zero.
      for (LONG i = 0; i < theRowBytes * 3; ++i)
        ASSERT_EQ(static_cast<std::uint8_t*>(theBits)[i], 0);

      BITMAP theRecord;
      EXPECT_EQ(GetObjectA(theBitmap, 0, nullptr), int(sizeof(DIBSECTION)));
      SetLastError(0);
      EXPECT_EQ(GetObjectA(theBitmap, sizeof(BITMAP) - 1, &theRecord), 0);
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
      EXPECT_TRUE(DeleteObject(theBitmap));
    }
}

TEST(GdiDib, HeadersThatDescribeNoSectionAreRefused)
{
  struct Case {
    const char* mName;
    std::function<void(std::vector<std::uint8_t>&)> mSpoil;
    DWORD mError;
  };
  const Case theCases[] = {
    {"two bits", [](auto& i) { HeaderOf(i).biBitCount = 2; }, ERROR_INVALID_PARAMETER},
    {"core header", [](auto& i) { HeaderOf(i).biSize = 12; }, ERROR_INVALID_PARAMETER},
    {"no width", [](auto& i) { HeaderOf(i).biWidth = 0; }, ERROR_INVALID_PARAMETER},
    {"two planes", [](auto& i) { HeaderOf(i).biPlanes = 2; }, ERROR_INVALID_PARAMETER},
    {"run-length", [](auto& i) { HeaderOf(i).biCompression = 1; }, ERROR_INVALID_PARAMETER},
    {"bit fields at 24", [](auto& i) { HeaderOf(i).biBitCount = 24, HeaderOf(i).biCompression = BI_BITFIELDS; },
     ERROR_INVALID_PARAMETER},
    {"overflowing size", [](auto& i) { HeaderOf(i).biWidth = 0x7FFFFFFF, HeaderOf(i).biHeight = 0x7FFFFFFF; },
     ERROR_NOT_ENOUGH_MEMORY},
    {"16 GiB", [](auto& i) { HeaderOf(i).biWidth = 65536, HeaderOf(i).biHeight = 65536; }, ERROR_NOT_ENOUGH_MEMORY},
    {"row too long", [](auto& i) { HeaderOf(i).biWidth = 0x20000000, HeaderOf(i).biHeight = 1; },
     ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const Case& theCase : theCases) {
    SCOPED_TRACE(theCase.mName);
    std::vector<std::uint8_t> theInfo = MakeInfo(LayoutNamed("32"), 4, 4);
    theCase.mSpoil(theInfo);
    void* theBits = reinterpret_cast<void*>(1);
    SetLastError(0);
    EXPECT_EQ(Make(theInfo, &theBits), nullptr);
    EXPECT_EQ(theBits, nullptr);
    EXPECT_EQ(GetLastError(), theCase.mError);
  }

  const struct {
    const char* mName;
    DWORD mMasks[3];
  } theMaskCases[] = {
    {"overlapping", {0xF800, 0x0FE0, 0x001F}},
    {"zero", {0xF800, 0x07E0, 0}},
    {"past 16 bits", {0x1F0000, 0x07E0, 0x001F}},
  };
  for (const auto& theCase : theMaskCases) {
    SCOPED_TRACE(theCase.mName);
    Layout theLayout = LayoutNamed("16-565");
    std::memcpy(theLayout.mMasks, theCase.mMasks, sizeof(theLayout.mMasks));
    SetLastError(0);
    EXPECT_EQ(Make(MakeInfo(theLayout, 4, 4)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }

  const std::vector<std::uint8_t> theInfo = MakeInfo(LayoutNamed("8"), 4, 4);
  const auto* theBitmapInfo = reinterpret_cast<const BITMAPINFO*>(theInfo.data());
  SetLastError(0);
  EXPECT_EQ(CreateDIBSection(nullptr, theBitmapInfo, 1, nullptr, nullptr, 0), nullptr);  // palette indexes
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(CreateDIBSection(nullptr, theBitmapInfo, DIB_RGB_COLORS, nullptr, reinterpret_cast<HANDLE>(4), 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GdiDib, MoreThanMemoryAllowsFailsWithNotEnoughMemory)
{
  // A child with little room for data: a 1 GiB section cannot be mapped.
  const tltest::ChildResult theResult = tltest::RunInChild([] {
    long theDataKiB = 0;
    std::ifstream theStatus("/proc/self/status");
    for (std::string theLine; std::getline(theStatus, theLine);)
      if (theLine.rfind("VmData:", 0) == 0)
        theDataKiB = std::stol(theLine.substr(7));
    const rlim_t theLimit = static_cast<rlim_t>(theDataKiB + 64 * 1024) * 1024;
    const rlimit theData = {theLimit, theLimit};
    if (theDataKiB == 0 || setrlimit(RLIMIT_DATA, &theData) != 0)
      return 10;
    SetLastError(0);
    if (Make(MakeInfo(LayoutNamed("32"), 16384, 16384)) != nullptr)
      return 11;
    if (GetLastError() != ERROR_NOT_ENOUGH_MEMORY)
      return 12;
    HBITMAP theSmall = Make(MakeInfo(LayoutNamed("32"), 64, 64));
    if (!theSmall || !DeleteObject(theSmall))
      return 13;
    return 0;
  });
  EXPECT_TRUE(tltest::Succeeded(theResult));
}

TEST(GdiDib, IndexedSectionsGetAFullZeroedTable)
{
  for (int theBits : {1, 4, 8}) {
    SCOPED_TRACE(theBits);
    Layout theLayout;
    theLayout.mBits = theBits;
    theLayout.mTable = {RGBQUAD{1, 2, 3, 4}, RGBQUAD{5, 6, 7, 8}};
    std::vector<std::uint8_t> theInfo = MakeInfo(theLayout, 5, 5);
    std::memset(theInfo.data() + 40 + 2 * sizeof(RGBQUAD), 0x77, 254 * sizeof(RGBQUAD));  // past biClrUsed
    HBITMAP theBitmap = Make(theInfo);
    ASSERT_NE(theBitmap, nullptr);
    HDC theDC = CreateCompatibleDC(nullptr);
    HGDIOBJ theOld = SelectObject(theDC, theBitmap);
    RGBQUAD theTable[256];
    const UINT theCount = 1u << theBits;
    ASSERT_EQ(GetDIBColorTable(theDC, 0, 256, theTable), theCount);
    EXPECT_EQ(theTable[0].rgbBlue, 1);
    EXPECT_EQ(theTable[1].rgbReserved, 8);
    for (UINT i = 2; i < theCount; ++i)
      ASSERT_EQ(std::memcmp(&theTable[i], "\0\0\0\0", 4), 0) << i;

    // Setting is cut at the table's end; writes follow the new table.
    const RGBQUAD theNew[2] = {{9, 9, 9, 0}, {10, 10, 10, 0}};
    EXPECT_EQ(SetDIBColorTable(theDC, theCount - 1, 2, theNew), 1u);
    EXPECT_EQ(SetDIBColorTable(theDC, theCount, 2, theNew), 0u);
    HBRUSH theBrush = CreateSolidBrush(RGB(9, 9, 9));
    const RECT theRect = {0, 0, 5, 5};
    ASSERT_TRUE(FillRect(theDC, &theRect, theBrush));
    EXPECT_EQ(GetPixel(theDC, 4, 4), RGB(9, 9, 9));
    DeleteObject(theBrush);
    SelectObject(theDC, theOld);
    DeleteDC(theDC);
    DeleteObject(theBitmap);
  }
}

TEST(GdiDib, SectionOverCallerMemory)
{
  constexpr LONG kRowBytes = 48;  // more than the 40 that 10 pixels need
  std::vector<std::uint8_t> theMemory(kRowBytes * 4, 0xEE);
  const std::vector<std::uint8_t> theInfo = MakeInfo(LayoutNamed("32"), 10, -4);
  const auto* theBitmapInfo = reinterpret_cast<const BITMAPINFO*>(theInfo.data());
  HBITMAP theBitmap = CreateDIBSectionOverMemory(nullptr, theBitmapInfo, DIB_RGB_COLORS, theMemory.data(), kRowBytes);
  ASSERT_NE(theBitmap, nullptr);
  DIBSECTION theSection;
  ASSERT_EQ(GetObjectA(theBitmap, sizeof(theSection), &theSection), int(sizeof(theSection)));
  EXPECT_EQ(theSection.dsBm.bmBits, theMemory.data());
  EXPECT_EQ(theSection.dsBm.bmWidthBytes, kRowBytes);
  EXPECT_EQ(theMemory[0], 0xEE);  // nothing zeroed

  HDC theDC = CreateCompatibleDC(nullptr);
  HGDIOBJ theOld = SelectObject(theDC, theBitmap);
  HBRUSH theBrush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
  const RECT theRect = {9, 2, 10, 3};
  ASSERT_TRUE(FillRect(theDC, &theRect, theBrush));
  EXPECT_EQ(theMemory[2 * kRowBytes + 36], 0x33);
  EXPECT_EQ(theMemory[2 * kRowBytes + 39], 0x00);
  EXPECT_EQ(theMemory[2 * kRowBytes + 40], 0xEE);  // the padding is not a pixel
  SelectObject(theDC, theOld);
  DeleteDC(theDC);
  DeleteObject(theBrush);
  EXPECT_TRUE(DeleteObject(theBitmap));
  EXPECT_EQ(theMemory[2 * kRowBytes + 36], 0x33);  // the memory stays its owner's

  SetLastError(0);
  EXPECT_EQ(CreateDIBSectionOverMemory(nullptr, theBitmapInfo, DIB_RGB_COLORS, theMemory.data(), 38), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateDIBSectionOverMemory(nullptr, theBitmapInfo, DIB_RGB_COLORS, theMemory.data(), 42), nullptr);
  EXPECT_EQ(CreateDIBSectionOverMemory(nullptr, theBitmapInfo, DIB_RGB_COLORS, nullptr, 0), nullptr);
}

TEST(GdiDib, DeviceDependentBitmaps)
{
  const std::uint8_t theBits[] = {0xA0, 0x00, 0x40, 0x00};  // 3 x 2, rows padded to 2 bytes
  HBITMAP theMono = CreateBitmap(3, 2, 1, 1, theBits);
  ASSERT_NE(theMono, nullptr);
  BITMAP theRecord;
  ASSERT_EQ(GetObjectA(theMono, sizeof(DIBSECTION), &theRecord), int(sizeof(BITMAP)));
  EXPECT_EQ(theRecord.bmWidthBytes, 2);
  HDC theDC = CreateCompatibleDC(nullptr);
  HGDIOBJ theOld = SelectObject(theDC, theMono);
  ASSERT_NE(theOld, nullptr);
  EXPECT_EQ(GetPixel(theDC, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(theDC, 2, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(theDC, 1, 1), RGB(255, 255, 255));
  SelectObject(theDC, theOld);
  DeleteDC(theDC);
  DeleteObject(theMono);

  for (UINT theBitCount : {2u, 8u, 33u}) {
    SetLastError(0);
    EXPECT_EQ(CreateBitmap(5, 5, 1, theBitCount, nullptr), nullptr) << theBitCount;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(CreateBitmap(0, 5, 1, 1, nullptr), nullptr);
}
