#include "tests/quicktime/QuickTimeTestSupport.h"

#include "tests/quicktime/standin/StandIn.h"
#include "tests/support/TestSupport.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <jpeglib.h>

namespace qttest {

void UseStandIn()
{
  setenv(kQTLibraryVariable, TL_QUICKTIME_STANDIN, 1);
}

void StandInCounts(std::int32_t& outStarts, std::int32_t& outStops)
{
  void* theLibrary = dlopen(TL_QUICKTIME_STANDIN, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(theLibrary, nullptr) << "the stand-in is not loaded";
  auto theCounts = reinterpret_cast<void (*)(std::int32_t*, std::int32_t*)>(dlsym(theLibrary, kStandInCountsName));
  ASSERT_NE(theCounts, nullptr);
  theCounts(&outStarts, &outStops);
  dlclose(theLibrary);
}

std::int32_t StandInLastTransferMode()
{
  void* theLibrary = dlopen(TL_QUICKTIME_STANDIN, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(theLibrary, nullptr) << "the stand-in is not loaded";
  if (!theLibrary)
    return -1;
  auto theMode = reinterpret_cast<std::int32_t (*)()>(dlsym(theLibrary, kStandInLastTransferModeName));
  EXPECT_NE(theMode, nullptr);
  const std::int32_t theLast = theMode ? theMode() : -1;
  dlclose(theLibrary);
  return theLast;
}

void StandInTest::SetUp()
{
  UseStandIn();
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  mTable = QT();
  ASSERT_NE(mTable, nullptr);
}

void StandInTest::TearDown()
{
  if (mTable)
    QTTerminate();
}

Colour QuadrantColour(int inX, int inY, int inWidth, int inHeight)
{
  bool theRight = inX >= inWidth / 2;
  bool theBottom = inY >= inHeight / 2;
  return theBottom ? (theRight ? kBottomRight : kBottomLeft) : (theRight ? kTopRight : kTopLeft);
}

std::vector<std::uint8_t> QuadrantPixels(int inWidth, int inHeight)
{
  std::vector<std::uint8_t> thePixels;
  for (int y = 0; y < inHeight; ++y)
    for (int x = 0; x < inWidth; ++x) {
      Colour theColour = QuadrantColour(x, y, inWidth, inHeight);
      thePixels.insert(thePixels.end(), {theColour.mRed, theColour.mGreen, theColour.mBlue});
    }
  return thePixels;
}

std::string WriteJpeg(int inWidth, int inHeight, int inComponents, const std::vector<std::uint8_t>& inSamples,
                      int inDpi, const std::string& inProfile)
{
  jpeg_compress_struct theInfo{};
  jpeg_error_mgr theError{};
  theInfo.err = jpeg_std_error(&theError);
  jpeg_create_compress(&theInfo);
  unsigned char* theBuffer = nullptr;
  unsigned long theSize = 0;
  jpeg_mem_dest(&theInfo, &theBuffer, &theSize);
  theInfo.image_width = static_cast<JDIMENSION>(inWidth);
  theInfo.image_height = static_cast<JDIMENSION>(inHeight);
  theInfo.input_components = inComponents;
  theInfo.in_color_space = inComponents == 1 ? JCS_GRAYSCALE : inComponents == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&theInfo);
  jpeg_set_quality(&theInfo, 100, TRUE);
  for (int i = 0; i < theInfo.num_components; ++i)
    theInfo.comp_info[i].h_samp_factor = theInfo.comp_info[i].v_samp_factor = 1;
  if (inDpi > 0) {
    theInfo.write_JFIF_header = TRUE;
    theInfo.density_unit = 1;
    theInfo.X_density = theInfo.Y_density = static_cast<UINT16>(inDpi);
  }
  jpeg_start_compress(&theInfo, TRUE);
  if (!inProfile.empty())
    jpeg_write_icc_profile(&theInfo, reinterpret_cast<const JOCTET*>(inProfile.data()),
                           static_cast<unsigned int>(inProfile.size()));
  while (theInfo.next_scanline < theInfo.image_height) {
    auto theRow = const_cast<JSAMPROW>(inSamples.data() + theInfo.next_scanline * inWidth * inComponents);
    jpeg_write_scanlines(&theInfo, &theRow, 1);
  }
  jpeg_finish_compress(&theInfo);
  jpeg_destroy_compress(&theInfo);
  std::string theBytes(reinterpret_cast<const char*>(theBuffer), theSize);
  std::free(theBuffer);
  return theBytes;
}

std::string QuadrantBmp(int inWidth, int inHeight)
{
  const std::size_t theRowBytes = (3 * static_cast<std::size_t>(inWidth) + 3) / 4 * 4;
  std::string theBytes(54 + theRowBytes * static_cast<std::size_t>(inHeight), '\0');
  const auto Put = [&theBytes](std::size_t inAt, std::size_t inValue, int inSize) {
    for (int i = 0; i < inSize; ++i)
      theBytes[inAt + static_cast<std::size_t>(i)] = static_cast<char>(inValue >> (8 * i));
  };
  theBytes[0] = 'B';
  theBytes[1] = 'M';
  Put(2, theBytes.size(), 4);
  Put(10, 54, 4);
  Put(14, 40, 4);
  Put(18, static_cast<std::size_t>(inWidth), 4);
  Put(22, static_cast<std::size_t>(inHeight), 4);
  Put(26, 1, 2);
  Put(28, 24, 2);
  for (int y = 0; y < inHeight; ++y)
    for (int x = 0; x < inWidth; ++x) {
      const Colour theColour = QuadrantColour(x, y, inWidth, inHeight);
      const std::size_t theAt = 54 + static_cast<std::size_t>(inHeight - 1 - y) * theRowBytes + 3 * static_cast<std::size_t>(x);
      Put(theAt, theColour.mBlue | theColour.mGreen << 8 | theColour.mRed << 16, 3);
    }
  return theBytes;
}

std::string WriteFile(const std::string& inName, const std::string& inBytes)
{
  std::string thePath = tltest::TestHome() + "/" + inName;
  std::ofstream(thePath, std::ios::binary) << inBytes;
  return thePath;
}

Pixel PixelAt(const QTServices& inQT, PixMapHandle inPixMap, int inX, int inY)
{
  const auto* theBase = reinterpret_cast<const std::uint8_t*>(inQT.GetPixBaseAddr(inPixMap));
  const std::uint8_t* thePixel = theBase + inY * inQT.QTGetPixMapHandleRowBytes(inPixMap) + 4 * inX;
  return {thePixel[0], thePixel[1], thePixel[2], thePixel[3]};
}

bool Near(const Pixel& inPixel, const Colour& inColour, int inTolerance)
{
  return std::abs(inPixel.mRed - inColour.mRed) <= inTolerance &&
         std::abs(inPixel.mGreen - inColour.mGreen) <= inTolerance &&
         std::abs(inPixel.mBlue - inColour.mBlue) <= inTolerance;
}

}  // namespace qttest
