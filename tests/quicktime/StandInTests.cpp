// What the core's tests take from the QuickTime stand-in without checking it
// themselves: its importers draw JPEG and BMP data in their colours and
// orientation, and damaged data fails cleanly. Versions, components, files,
// movies, fixed point and GWorlds drawn through GDI are checked through the
// core (tests/core/QTUtilsTests.cpp and BitmapQTTests.cpp).

#include "tests/quicktime/QuickTimeTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using qttest::Colour;
using qttest::Near;
using qttest::PixelAt;

constexpr int kWidth = 48;
constexpr int kHeight = 32;

class StandInImages : public qttest::StandInTest {
 protected:
  // A new 32-bit GWorld, disposed by TearDown.
  GWorldPtr NewWorld(int inWidth, int inHeight)
  {
    GWorldPtr theWorld = nullptr;
    Rect theBounds{0, 0, static_cast<SInt16>(inHeight), static_cast<SInt16>(inWidth)};
    EXPECT_EQ(Q().NewGWorld(&theWorld, 32, &theBounds, nullptr, nullptr, 0), kQTNoErr);
    if (theWorld)
      mWorlds.push_back(theWorld);
    return theWorld;
  }

  void TearDown() override
  {
    for (GWorldPtr theWorld : mWorlds)
      Q().DisposeGWorld(theWorld);
    StandInTest::TearDown();
  }

  // An importer of the JPEG component reading inData.
  ComponentInstance JpegImporter(Handle inData)
  {
    ComponentDescription theLooking{kQTGraphicsImporterType, MakeOSType("JPEG"), 0, 0, 0};
    ComponentInstance theImporter = Q().OpenComponent(Q().FindNextComponent(nullptr, &theLooking));
    EXPECT_EQ(Q().GraphicsImportSetDataHandle(theImporter, inData), kQTNoErr);
    return theImporter;
  }

  Handle NewHandleOf(const std::string& inBytes)
  {
    Handle theData = Q().NewHandle(static_cast<Size>(inBytes.size()));
    std::memcpy(*theData, inBytes.data(), inBytes.size());
    return theData;
  }

  std::vector<GWorldPtr> mWorlds;
};

// JPEG from a file (its importer chosen by content) or a handle through a
// scaling matrix, BMP from a file.
TEST_F(StandInImages, ImportersDrawInTheirColoursAndOrientation)
{
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  Handle theData = NewHandleOf(theJpeg);
  const struct {
    const char* mFile;  // null: the JPEG from a handle
    std::string mBytes;
    int mScale;
    int mTolerance;
  } kCases[] = {{"quadrants.jpg", theJpeg, 1, 8}, {nullptr, theJpeg, 2, 8}, {"quadrants.bmp", qttest::QuadrantBmp(kWidth, kHeight), 1, 0}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mFile ? theCase.mFile : "handle");
    ComponentInstance theImporter = nullptr;
    if (theCase.mFile) {
      FSSpec theSpec{};
      const std::string thePath = qttest::WriteFile(theCase.mFile, theCase.mBytes);
      ASSERT_EQ(Q().NativePathNameToFSSpec(thePath.c_str(), &theSpec, 0), kQTNoErr);
      ASSERT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTNoErr);
    } else {
      theImporter = JpegImporter(theData);
    }
    const int theScale = theCase.mScale;
    GWorldPtr theWorld = NewWorld(theScale * kWidth, theScale * kHeight);
    Rect theNatural{0, 0, kHeight, kWidth};
    Rect theScaled{0, 0, static_cast<SInt16>(theScale * kHeight), static_cast<SInt16>(theScale * kWidth)};
    MatrixRecord theMatrix{};
    Q().RectMatrix(&theMatrix, &theNatural, &theScaled);
    ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theWorld, nullptr), kQTNoErr);
    ASSERT_EQ(Q().GraphicsImportSetMatrix(theImporter, &theMatrix), kQTNoErr);
    ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
    PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
    for (int y = 0; y < theScale * kHeight; ++y)
      for (int x = 0; x < theScale * kWidth; ++x)
        ASSERT_TRUE(Near(PixelAt(Q(), thePixMap, x, y),
                         qttest::QuadrantColour(x / theScale, y / theScale, kWidth, kHeight), theCase.mTolerance))
          << x << ", " << y;
    EXPECT_EQ(Q().CloseComponent(theImporter), kQTNoErr);
  }
  Q().DisposeHandle(theData);
}

TEST_F(StandInImages, DamagedDataFailsCleanly)
{
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  const struct {
    std::string mBytes;
    bool mValid;
    OSErr mDraw;
  } kCases[] = {
    {"", false, kQTInvalidImageErr},
    {theJpeg.substr(0, theJpeg.size() - 60), true, kQTBadImageDataErr},
    {std::string(200, 'x'), false, kQTInvalidImageErr},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mBytes.size());
    Handle theData = NewHandleOf(theCase.mBytes);
    ComponentInstance theImporter = JpegImporter(theData);
    Boolean theValid = !theCase.mValid;
    EXPECT_EQ(Q().GraphicsImportValidate(theImporter, &theValid), kQTNoErr);
    EXPECT_EQ(bool(theValid), theCase.mValid);
    Q().GraphicsImportSetGWorld(theImporter, NewWorld(kWidth, kHeight), nullptr);
    EXPECT_EQ(Q().GraphicsImportDraw(theImporter), theCase.mDraw);
    Q().CloseComponent(theImporter);
    Q().DisposeHandle(theData);
  }
}

}  // namespace
