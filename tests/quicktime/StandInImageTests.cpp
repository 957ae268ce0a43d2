// The stand-in's pictures: GWorlds and their device contexts, importing
// JPEG and BMP data, exporting, and drawing described pixels.

#include "platform/gdi/Gdi.h"
#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using qttest::Colour;
using qttest::Near;
using qttest::Pixel;
using qttest::PixelAt;
using qttest::StandInTest;

constexpr int kWidth = 48;
constexpr int kHeight = 32;

class StandInImages : public StandInTest {
 protected:
  // A new 32-bit GWorld, disposed by TearDown.
  GWorldPtr NewWorld(int inWidth, int inHeight, SInt32 inDepth = 32)
  {
    GWorldPtr theWorld = nullptr;
    Rect theBounds{0, 0, static_cast<SInt16>(inHeight), static_cast<SInt16>(inWidth)};
    EXPECT_EQ(Q().NewGWorld(&theWorld, inDepth, &theBounds, nullptr, nullptr, 0), kQTNoErr);
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

  // The importer of a component name ("JPEG" or "BMP").
  ComponentInstance OpenImporter(const std::string& inName)
  {
    ComponentDescription theLooking{kQTGraphicsImporterType, 0, 0, 0, 0};
    Handle theName = Q().NewHandle(0);
    ComponentInstance theInstance = nullptr;
    for (Component theComponent = Q().FindNextComponent(nullptr, &theLooking); theComponent && !theInstance;
         theComponent = Q().FindNextComponent(theComponent, &theLooking)) {
      Q().GetComponentInfo(theComponent, nullptr, theName, nullptr, nullptr);
      if (std::string(*theName + 1, static_cast<unsigned char>(**theName)) == inName)
        theInstance = Q().OpenComponent(theComponent);
    }
    Q().DisposeHandle(theName);
    return theInstance;
  }

  // Failures name the first pixel that is not the quadrant colour.
  void ExpectQuadrants(GWorldPtr inWorld, int inTolerance)
  {
    PixMapHandle thePixMap = Q().GetGWorldPixMap(inWorld);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        Pixel thePixel = PixelAt(Q(), thePixMap, x, y);
        Colour theWanted = qttest::QuadrantColour(x, y, kWidth, kHeight);
        ASSERT_TRUE(Near(thePixel, theWanted, inTolerance))
            << "pixel " << x << ", " << y << ": B, G, R " << int(thePixel.mBlue) << ", " << int(thePixel.mGreen)
            << ", " << int(thePixel.mRed) << " instead of R, G, B " << int(theWanted.mRed) << ", "
            << int(theWanted.mGreen) << ", " << int(theWanted.mBlue);
      }
  }

  std::vector<GWorldPtr> mWorlds;
};

TEST_F(StandInImages, GWorldDeviceContextDrawsIntoTheSamePixels)
{
  GWorldPtr theWorld = NewWorld(kWidth, kHeight);
  ASSERT_NE(theWorld, nullptr);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  ASSERT_TRUE(Q().LockPixels(thePixMap));
  auto* theBase = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(thePixMap));
  SInt32 theRowBytes = Q().QTGetPixMapHandleRowBytes(thePixMap);
  EXPECT_EQ(theRowBytes, 4 * kWidth);
  EXPECT_EQ((**thePixMap).rowBytes & 0x3FFF, theRowBytes);
  EXPECT_EQ((**thePixMap).pixelSize, 32);
  EXPECT_EQ(Q().QTGetPixelSize((**thePixMap).pixelFormat), 32);
  Rect theBounds{};
  Q().GetPortBounds(theWorld, &theBounds);
  EXPECT_EQ(theBounds.right, kWidth);
  EXPECT_EQ(theBounds.bottom, kHeight);

  HDC theDC = Q().GetPortHDC(theWorld);
  HBITMAP theBitmap = Q().GetPortHBITMAP(theWorld);
  DIBSECTION theSection{};
  ASSERT_EQ(GetObjectA(theBitmap, sizeof theSection, &theSection), static_cast<int>(sizeof theSection));
  EXPECT_EQ(theSection.dsBm.bmBits, theBase);
  EXPECT_LT(theSection.dsBmih.biHeight, 0);  // top row first
  EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);

  // Memory to GDI: B, G, R bytes at (5, 2) read as that colour.
  std::uint8_t* thePixel = theBase + 2 * theRowBytes + 4 * 5;
  thePixel[0] = 10;
  thePixel[1] = 20;
  thePixel[2] = 30;
  EXPECT_EQ(GetPixel(theDC, 5, 2), RGB(30, 20, 10));
  // GDI to memory: a fill of the top-right corner.
  HBRUSH theBrush = CreateSolidBrush(RGB(200, 100, 50));
  RECT theCorner{kWidth - 4, 0, kWidth, 3};
  ASSERT_NE(FillRect(theDC, &theCorner, theBrush), 0);
  DeleteObject(theBrush);
  Pixel theFilled = PixelAt(Q(), thePixMap, kWidth - 1, 0);
  EXPECT_EQ(theFilled.mRed, 200);
  EXPECT_EQ(theFilled.mGreen, 100);
  EXPECT_EQ(theFilled.mBlue, 50);
  EXPECT_EQ(PixelAt(Q(), thePixMap, kWidth - 5, 0).mRed, 0);
  EXPECT_EQ(PixelAt(Q(), thePixMap, kWidth - 1, 3).mRed, 0);

  // Pixel states and the port's pen and colours.
  EXPECT_EQ(Q().GetPixelsState(thePixMap) & kQTPixelsLocked, kQTPixelsLocked);
  Q().UnlockPixels(thePixMap);
  EXPECT_EQ(Q().GetPixelsState(thePixMap) & kQTPixelsLocked, 0);
  CGrafPtr theOldPort = nullptr;
  GDHandle theOldDevice = nullptr;
  Q().GetGWorld(&theOldPort, &theOldDevice);
  Q().SetGWorld(theWorld, nullptr);
  RGBColor theRed{0xFFFF, 0, 0};
  Q().RGBForeColor(&theRed);
  RGBColor theFore{};
  Q().GetForeColor(&theFore);
  EXPECT_EQ(theFore.red, 0xFFFF);
  Q().SetGWorld(theOldPort, theOldDevice);
  Q().GetForeColor(&theFore);
  EXPECT_EQ(theFore.red, 0);
}

TEST_F(StandInImages, GWorldDepthsAndFormats)
{
  struct Case {
    SInt32 mDepth;
    SInt16 mPixelSize;
    int mBits;  // of the port's DIB section; 0: refused
  };
  const Case kCases[] = {
      {1, 1, 1},   {4, 4, 4},   {8, 8, 8},           {16, 16, 16},        {24, 24, 24},
      {32, 32, 32}, {40, 40, 8}, {static_cast<SInt32>(kQTRGBAPixelFormat), 32, 32},
      {static_cast<SInt32>(kQTCMYKPixelFormat), 32, 32},   {2, 0, 0},  {12, 0, 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mDepth);
    GWorldPtr theWorld = nullptr;
    Rect theBounds{0, 0, 7, 9};
    OSErr theErr = Q().NewGWorld(&theWorld, theCase.mDepth, &theBounds, nullptr, nullptr, 0);
    if (theCase.mBits == 0) {
      EXPECT_EQ(theErr, kQTParamErr);
      EXPECT_EQ(Q().QDError(), kQTParamErr);
      EXPECT_EQ(theWorld, nullptr);
      continue;
    }
    ASSERT_EQ(theErr, kQTNoErr);
    mWorlds.push_back(theWorld);
    PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
    EXPECT_EQ((**thePixMap).pixelSize, theCase.mPixelSize);
    EXPECT_EQ(Q().QTGetPixelSize((**thePixMap).pixelFormat), theCase.mBits);
    DIBSECTION theSection{};
    ASSERT_EQ(GetObjectA(Q().GetPortHBITMAP(theWorld), sizeof theSection, &theSection),
              static_cast<int>(sizeof theSection));
    EXPECT_EQ(theSection.dsBm.bmBitsPixel, theCase.mBits);
    EXPECT_EQ(theSection.dsBm.bmWidthBytes, Q().QTGetPixMapHandleRowBytes(thePixMap));
    EXPECT_EQ(theSection.dsBm.bmBits, Q().GetPixBaseAddr(thePixMap));
  }
  Rect theEmpty{0, 0, 0, 5};
  GWorldPtr theWorld = nullptr;
  EXPECT_EQ(Q().NewGWorld(&theWorld, 32, &theEmpty, nullptr, nullptr, 0), kQTParamErr);
}

TEST_F(StandInImages, GWorldsOverTheCallersMemoryAndDIBSections)
{
  // 'cmyk' over the memory of a 32-bit GWorld, as CMYK images are drawn.
  GWorldPtr theWorld = NewWorld(kWidth, kHeight);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  Rect theBounds{0, 0, kHeight, kWidth};
  GWorldPtr theCMYK = nullptr;
  ASSERT_EQ(Q().NewGWorldFromPtr(&theCMYK, kQTCMYKPixelFormat, &theBounds, nullptr, nullptr, 0,
                                 Q().GetPixBaseAddr(thePixMap), Q().QTGetPixMapHandleRowBytes(thePixMap)),
            kQTNoErr);
  mWorlds.push_back(theCMYK);
  PixMapHandle theCMYKMap = Q().GetGWorldPixMap(theCMYK);
  EXPECT_EQ(Q().GetPixBaseAddr(theCMYKMap), Q().GetPixBaseAddr(thePixMap));
  EXPECT_EQ((**theCMYKMap).pixelFormat, kQTCMYKPixelFormat);
  EXPECT_NE(Q().GetPortHDC(theCMYK), nullptr);

  // Row lengths the DIB section cannot have are refused.
  GWorldPtr theBad = nullptr;
  for (SInt32 theRowBytes : {4 * kWidth - 4, 4 * kWidth + 2})
    EXPECT_EQ(Q().NewGWorldFromPtr(&theBad, 32, &theBounds, nullptr, nullptr, 0, Q().GetPixBaseAddr(thePixMap),
                                   theRowBytes),
              kQTParamErr)
        << theRowBytes;
  EXPECT_EQ(Q().NewGWorldFromPtr(&theBad, 32, &theBounds, nullptr, nullptr, 0, nullptr, 4 * kWidth), kQTParamErr);

  // Over a DIB section and its device context, which stay the caller's.
  HDC theDC = CreateCompatibleDC(nullptr);
  BITMAPINFO theInfo{};
  theInfo.bmiHeader = {sizeof(BITMAPINFOHEADER), 6, -5, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* theBits = nullptr;
  HBITMAP theSection = CreateDIBSection(theDC, &theInfo, DIB_RGB_COLORS, &theBits, nullptr, 0);
  ASSERT_NE(theSection, nullptr);
  HGDIOBJ theOld = SelectObject(theDC, theSection);
  GWorldPtr theOver = nullptr;
  ASSERT_EQ(Q().NewGWorldFromHBITMAP(&theOver, nullptr, nullptr, 0, theSection, theDC), kQTNoErr);
  EXPECT_EQ(Q().GetPixBaseAddr(Q().GetGWorldPixMap(theOver)), theBits);
  EXPECT_EQ(Q().GetPortHDC(theOver), theDC);
  Q().DisposeGWorld(theOver);
  EXPECT_EQ(GetObjectType(theDC), OBJ_MEMDC);  // still the caller's
  SelectObject(theDC, theOld);
  DeleteObject(theSection);

  theInfo.bmiHeader.biHeight = 5;  // bottom-up rows: refused
  theSection = CreateDIBSection(theDC, &theInfo, DIB_RGB_COLORS, &theBits, nullptr, 0);
  theOld = SelectObject(theDC, theSection);
  EXPECT_EQ(Q().NewGWorldFromHBITMAP(&theOver, nullptr, nullptr, 0, theSection, theDC), kQTParamErr);
  SelectObject(theDC, theOld);
  DeleteObject(theSection);
  DeleteDC(theDC);
}

TEST_F(StandInImages, UpdateGWorldKeepsTheOldPixelsAtTheTopLeft)
{
  GWorldPtr theWorld = NewWorld(4, 3);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  auto* theBase = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(thePixMap));
  for (int i = 0; i < 4 * 4 * 3; ++i)
    theBase[i] = static_cast<std::uint8_t>(i + 1);
  Rect theBigger{0, 0, 5, 6};
  EXPECT_GE(Q().UpdateGWorld(&theWorld, 0, &theBigger, nullptr, nullptr, kQTClipPix), 0);
  EXPECT_EQ(Q().GetGWorldPixMap(theWorld), thePixMap);
  EXPECT_EQ(Q().QTGetPixMapHandleRowBytes(thePixMap), 24);
  auto* theNew = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(thePixMap));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      for (int c = 0; c < 4; ++c)
        EXPECT_EQ(theNew[y * 24 + x * 4 + c], x < 4 && y < 3 ? (y * 16 + x * 4 + c + 1) : 0)
            << x << ", " << y << ", byte " << c;
  Rect theEmpty{0, 0, 0, 0};
  EXPECT_LT(Q().UpdateGWorld(&theWorld, 0, &theEmpty, nullptr, nullptr, kQTClipPix), 0);
  EXPECT_EQ(Q().QDError(), kQTParamErr);
}

TEST_F(StandInImages, JpegKeepsColoursAndOrientationFromEverySource)
{
  std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  std::string thePath = qttest::WriteFile("quadrants.jpg", theJpeg);
  Handle theData = Q().NewHandle(static_cast<Size>(theJpeg.size()));
  std::memcpy(*theData, theJpeg.data(), theJpeg.size());
  PointerDataRefRecord thePointer{theJpeg.data(), static_cast<Size>(theJpeg.size())};
  Handle thePointerRef = Q().NewHandle(sizeof thePointer);
  std::memcpy(*thePointerRef, &thePointer, sizeof thePointer);

  for (const char* theSource : {"file", "handle", "pointer reference"}) {
    SCOPED_TRACE(theSource);
    ComponentInstance theImporter = nullptr;
    if (std::string(theSource) == "file") {
      FSSpec theSpec{};
      ASSERT_EQ(Q().NativePathNameToFSSpec(thePath.c_str(), &theSpec, 0), kQTNoErr);
      ASSERT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTNoErr);
      FSSpec theFile{};
      EXPECT_EQ(Q().GraphicsImportGetDataFile(theImporter, &theFile), kQTNoErr);
      EXPECT_EQ(theFile.path, thePath);
    } else {
      theImporter = OpenImporter("JPEG");
      ASSERT_NE(theImporter, nullptr);
      if (std::string(theSource) == "handle") {
        ASSERT_EQ(Q().GraphicsImportSetDataHandle(theImporter, theData), kQTNoErr);
        Handle theKept = nullptr;
        EXPECT_EQ(Q().GraphicsImportGetDataHandle(theImporter, &theKept), kQTNoErr);
        EXPECT_EQ(theKept, theData);
      } else {
        ASSERT_EQ(Q().GraphicsImportSetDataReference(theImporter, thePointerRef, kQTPointerDataRefType), kQTNoErr);
      }
    }
    ComponentDescription theDescription{};
    Q().GetComponentInstanceInfo(theImporter, &theDescription);
    EXPECT_EQ(theDescription.componentSubType, MakeOSType("JPEG"));
    Boolean theValid = false;
    EXPECT_EQ(Q().GraphicsImportValidate(theImporter, &theValid), kQTNoErr);
    EXPECT_TRUE(theValid);
    UInt32 theCount = 0;
    EXPECT_EQ(Q().GraphicsImportGetImageCount(theImporter, &theCount), kQTNoErr);
    EXPECT_EQ(theCount, 1u);
    EXPECT_EQ(Q().GraphicsImportSetImageIndex(theImporter, 1), kQTNoErr);
    EXPECT_EQ(Q().GraphicsImportSetImageIndex(theImporter, 2), kQTParamErr);
    Rect theBounds{};
    EXPECT_EQ(Q().GraphicsImportGetNaturalBounds(theImporter, &theBounds), kQTNoErr);
    EXPECT_EQ(theBounds.right, kWidth);
    EXPECT_EQ(theBounds.bottom, kHeight);
    Handle theProfile = theData;
    EXPECT_EQ(Q().GraphicsImportGetColorSyncProfile(theImporter, &theProfile), kQTNoErr);
    EXPECT_EQ(theProfile, nullptr);

    GWorldPtr theWorld = NewWorld(kWidth, kHeight);
    ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theWorld, nullptr), kQTNoErr);
    ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
    ExpectQuadrants(theWorld, 8);
    EXPECT_EQ(Q().CloseComponent(theImporter), kQTNoErr);
  }
  Q().DisposeHandle(theData);
  Q().DisposeHandle(thePointerRef);
}

TEST_F(StandInImages, DrawingThroughAMatrixAndASourceRectangle)
{
  std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  PointerDataRefRecord thePointer{theJpeg.data(), static_cast<Size>(theJpeg.size())};
  Handle theRef = Q().NewHandle(sizeof thePointer);
  std::memcpy(*theRef, &thePointer, sizeof thePointer);
  ComponentInstance theImporter = OpenImporter("JPEG");
  ASSERT_EQ(Q().GraphicsImportSetDataReference(theImporter, theRef, kQTPointerDataRefType), kQTNoErr);

  // Twice the size: each source pixel becomes a 2 x 2 block.
  GWorldPtr theBig = NewWorld(2 * kWidth, 2 * kHeight);
  MatrixRecord theMatrix{};
  Rect theNatural{0, 0, kHeight, kWidth};
  Rect theDoubled{0, 0, 2 * kHeight, 2 * kWidth};
  Q().RectMatrix(&theMatrix, &theNatural, &theDoubled);
  ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theBig, nullptr), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportSetMatrix(theImporter, &theMatrix), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportSetGraphicsMode(theImporter, kQTDitherCopy, nullptr), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
  PixMapHandle theBigMap = Q().GetGWorldPixMap(theBig);
  for (int y = 0; y < 2 * kHeight; y += 5)
    for (int x = 0; x < 2 * kWidth; x += 7)
      EXPECT_TRUE(Near(PixelAt(Q(), theBigMap, x, y), qttest::QuadrantColour(x / 2, y / 2, kWidth, kHeight), 8))
          << x << ", " << y;

  // Only the bottom-right quadrant, moved to the top left; the rest of the
  // GWorld stays untouched (zero).
  GWorldPtr theSmall = NewWorld(kWidth, kHeight);
  Rect theQuadrant{kHeight / 2, kWidth / 2, kHeight, kWidth};
  MatrixRecord theMove{};
  Q().SetIdentityMatrix(&theMove);
  theMove.matrix[2][0] = Q().Long2Fix(-kWidth / 2);
  theMove.matrix[2][1] = Q().Long2Fix(-kHeight / 2);
  ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theSmall, nullptr), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportSetMatrix(theImporter, &theMove), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportSetSourceRect(theImporter, &theQuadrant), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
  PixMapHandle theSmallMap = Q().GetGWorldPixMap(theSmall);
  EXPECT_TRUE(Near(PixelAt(Q(), theSmallMap, 0, 0), qttest::kBottomRight, 8));
  EXPECT_TRUE(Near(PixelAt(Q(), theSmallMap, kWidth / 2 - 1, kHeight / 2 - 1), qttest::kBottomRight, 8));
  Pixel theOutside = PixelAt(Q(), theSmallMap, kWidth / 2, 0);
  EXPECT_EQ(theOutside.mRed + theOutside.mGreen + theOutside.mBlue + theOutside.mAlpha, 0);

  // A matrix that cannot be inverted.
  MatrixRecord theFlat{};
  ASSERT_EQ(Q().GraphicsImportSetMatrix(theImporter, &theFlat), kQTNoErr);
  EXPECT_EQ(Q().GraphicsImportDraw(theImporter), kQTParamErr);
  Q().CloseComponent(theImporter);
  Q().DisposeHandle(theRef);
}

// The description of a JPEG, the first image of a file.
struct DescriptionCase {
  const char* mName;
  int mComponents;
  int mDpi;
  SInt16 mDepth;
  SInt32 mResolution;
  OSType mColorSpace;  // 0: no 'cspc' extension
};

TEST_F(StandInImages, ImageDescriptions)
{
  const DescriptionCase kCases[] = {
      {"colour", 3, 0, 24, 72, 0},
      {"colour at 150 dpi", 3, 150, 24, 150, 0},
      {"grey", 1, 300, kQTGray8Depth, 300, MakeOSType("b16g")},
      {"CMYK", 4, 0, 32, 72, kQTCMYKPixelFormat},
  };
  for (const DescriptionCase& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    std::vector<std::uint8_t> theSamples(static_cast<std::size_t>(8 * 6 * theCase.mComponents), 128);
    std::string theJpeg = qttest::WriteJpeg(8, 6, theCase.mComponents, theSamples, theCase.mDpi);
    Handle theData = Q().NewHandle(static_cast<Size>(theJpeg.size()));
    std::memcpy(*theData, theJpeg.data(), theJpeg.size());
    ComponentInstance theImporter = OpenImporter("JPEG");
    ASSERT_EQ(Q().GraphicsImportSetDataHandle(theImporter, theData), kQTNoErr);
    ImageDescriptionHandle theDescription = nullptr;
    ASSERT_EQ(Q().GraphicsImportGetImageDescription(theImporter, &theDescription), kQTNoErr);
    const ImageDescription& theRecord = **theDescription;
    EXPECT_EQ(theRecord.width, 8);
    EXPECT_EQ(theRecord.height, 6);
    EXPECT_EQ(theRecord.depth, theCase.mDepth);
    EXPECT_EQ(Q().Fix2Long(theRecord.hRes), theCase.mResolution);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(theRecord.name) + 1, theRecord.name[0]), "JPEG");
    EXPECT_EQ(theRecord.idSize, Q().GetHandleSize(reinterpret_cast<Handle>(theDescription)));
    Handle theExtension = nullptr;
    OSErr theErr = Q().GetImageDescriptionExtension(theDescription, &theExtension, kQTColorSpaceExtension, 1);
    if (theCase.mColorSpace == 0) {
      EXPECT_EQ(theErr, kQTExtensionNotFoundErr);
      EXPECT_EQ(theExtension, nullptr);
    } else {
      ASSERT_EQ(theErr, kQTNoErr);
      ASSERT_EQ(Q().GetHandleSize(theExtension), 4);
      const auto* theCode = reinterpret_cast<const unsigned char*>(*theExtension);
      EXPECT_EQ(static_cast<OSType>(theCode[0] << 24 | theCode[1] << 16 | theCode[2] << 8 | theCode[3]),
                theCase.mColorSpace);  // big-endian
      Q().DisposeHandle(theExtension);
    }
    Q().DisposeHandle(reinterpret_cast<Handle>(theDescription));
    Q().CloseComponent(theImporter);
    Q().DisposeHandle(theData);
  }
}

TEST_F(StandInImages, CMYKJpegDrawsItsInkIntoACMYKWorld)
{
  // Adobe's convention, which libjpeg writes: samples inverted (255 = no ink).
  const std::uint8_t kInk[4] = {200, 10, 90, 30};
  std::vector<std::uint8_t> theSamples;
  for (int i = 0; i < 16 * 8; ++i)
    for (std::uint8_t theInk : kInk)
      theSamples.push_back(static_cast<std::uint8_t>(255 - theInk));
  std::string theJpeg = qttest::WriteJpeg(16, 8, 4, theSamples);
  Handle theData = Q().NewHandle(static_cast<Size>(theJpeg.size()));
  std::memcpy(*theData, theJpeg.data(), theJpeg.size());
  ComponentInstance theImporter = OpenImporter("JPEG");
  ASSERT_EQ(Q().GraphicsImportSetDataHandle(theImporter, theData), kQTNoErr);

  GWorldPtr theWorld = NewWorld(16, 8);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  Rect theBounds{0, 0, 8, 16};
  GWorldPtr theCMYK = nullptr;
  ASSERT_EQ(Q().NewGWorldFromPtr(&theCMYK, kQTCMYKPixelFormat, &theBounds, nullptr, nullptr, 0,
                                 Q().GetPixBaseAddr(thePixMap), Q().QTGetPixMapHandleRowBytes(thePixMap)),
            kQTNoErr);
  mWorlds.push_back(theCMYK);
  ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theCMYK, nullptr), kQTNoErr);
  ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
  Pixel theBytes = PixelAt(Q(), thePixMap, 15, 7);
  const std::uint8_t theRead[4] = {theBytes.mBlue, theBytes.mGreen, theBytes.mRed, theBytes.mAlpha};
  for (int c = 0; c < 4; ++c)
    EXPECT_NEAR(theRead[c], kInk[c], 3) << "ink " << c;
  Q().CloseComponent(theImporter);
  Q().DisposeHandle(theData);
}

TEST_F(StandInImages, DamagedDataFailsCleanly)
{
  std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  struct Case {
    const char* mName;
    std::string mBytes;
    bool mValid;
    OSErr mDraw;
  };
  const Case kCases[] = {
      {"empty", "", false, kQTInvalidImageErr},
      {"header only", theJpeg.substr(0, 2), false, kQTInvalidImageErr},
      {"truncated scan", theJpeg.substr(0, theJpeg.size() - 60), true, kQTBadImageDataErr},
      {"not a JPEG", std::string(200, 'x'), false, kQTInvalidImageErr},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    PointerDataRefRecord thePointer{const_cast<char*>(theCase.mBytes.data()), static_cast<Size>(theCase.mBytes.size())};
    Handle theRef = Q().NewHandle(sizeof thePointer);
    std::memcpy(*theRef, &thePointer, sizeof thePointer);
    ComponentInstance theImporter = OpenImporter("JPEG");
    ASSERT_EQ(Q().GraphicsImportSetDataReference(theImporter, theRef, kQTPointerDataRefType), kQTNoErr);
    Boolean theValid = !theCase.mValid;
    EXPECT_EQ(Q().GraphicsImportValidate(theImporter, &theValid), kQTNoErr);
    EXPECT_EQ(bool(theValid), theCase.mValid);
    GWorldPtr theWorld = NewWorld(kWidth, kHeight);
    Q().GraphicsImportSetGWorld(theImporter, theWorld, nullptr);
    EXPECT_EQ(Q().GraphicsImportDraw(theImporter), theCase.mDraw);
    Q().CloseComponent(theImporter);
    Q().DisposeHandle(theRef);
  }

  // No importer reads the file; a missing file is not found.
  FSSpec theSpec{};
  std::string thePath = qttest::WriteFile("noise.bin", std::string(100, 'x'));
  Q().NativePathNameToFSSpec(thePath.c_str(), &theSpec, 0);
  ComponentInstance theImporter = nullptr;
  EXPECT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTCantFindHandlerErr);
  EXPECT_EQ(theImporter, nullptr);
  Q().NativePathNameToFSSpec((thePath + ".gone").c_str(), &theSpec, 0);
  EXPECT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTFileNotFoundErr);
}

// Exports the GWorld with the BMP exporter at a depth into a handle or,
// when inPath is not empty, a file; answers the bytes written.
std::string Export(const QTServices& inQT, GWorldPtr inWorld, SInt32 inDepth, const std::string& inPath)
{
  ComponentDescription theLooking{kQTGraphicsExporterType, MakeOSType("BMPf"), 0, 0, kQTBaseExporterFlag};
  ComponentInstance theExporter = inQT.OpenComponent(inQT.FindNextComponent(nullptr, &theLooking));
  EXPECT_NE(theExporter, nullptr);
  EXPECT_EQ(inQT.GraphicsExportSetInputGWorld(theExporter, inWorld), kQTNoErr);
  EXPECT_EQ(inQT.GraphicsExportSetDepth(theExporter, inDepth), kQTNoErr);
  Handle theOutput = inQT.NewHandle(0);
  FSSpec theSpec{};
  if (inPath.empty()) {
    EXPECT_EQ(inQT.GraphicsExportSetOutputHandle(theExporter, theOutput), kQTNoErr);
  } else {
    EXPECT_EQ(inQT.NativePathNameToFSSpec(inPath.c_str(), &theSpec, 0), kQTFileNotFoundErr);
    EXPECT_EQ(inQT.GraphicsExportSetOutputFile(theExporter, &theSpec), kQTNoErr);
  }
  UInt32 theWritten = 0;
  EXPECT_EQ(inQT.GraphicsExportDoExport(theExporter, &theWritten), kQTNoErr);
  std::string theBytes;
  if (inPath.empty()) {
    theBytes.assign(*theOutput, static_cast<std::size_t>(inQT.GetHandleSize(theOutput)));
  } else {
    std::string theRead;
    FILE* theFile = std::fopen(inPath.c_str(), "rb");
    EXPECT_NE(theFile, nullptr);
    char theBuffer[4096];
    for (std::size_t n; theFile && (n = std::fread(theBuffer, 1, sizeof theBuffer, theFile)) > 0;)
      theBytes.append(theBuffer, n);
    if (theFile)
      std::fclose(theFile);
  }
  EXPECT_EQ(theWritten, theBytes.size());
  inQT.DisposeHandle(theOutput);
  inQT.CloseComponent(theExporter);
  return theBytes;
}

TEST_F(StandInImages, ExportRoundTrips)
{
  // An asymmetric pattern with alpha, written through memory.
  GWorldPtr theSource = NewWorld(kWidth - 1, kHeight);  // 47 pixels: BMP rows need padding
  PixMapHandle theSourceMap = Q().GetGWorldPixMap(theSource);
  auto* theBase = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(theSourceMap));
  SInt32 theRowBytes = Q().QTGetPixMapHandleRowBytes(theSourceMap);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth - 1; ++x) {
      std::uint8_t* thePixel = theBase + y * theRowBytes + 4 * x;
      thePixel[0] = static_cast<std::uint8_t>(x * 5);
      thePixel[1] = static_cast<std::uint8_t>(y * 7);
      thePixel[2] = static_cast<std::uint8_t>(x + y);
      thePixel[3] = static_cast<std::uint8_t>(255 - x);
    }

  struct Case {
    SInt32 mDepth;
    bool mToFile;
  };
  for (const Case& theCase : {Case{24, false}, Case{32, false}, Case{32, true}}) {
    SCOPED_TRACE(std::to_string(theCase.mDepth) + (theCase.mToFile ? " to a file" : " to a handle"));
    std::string thePath = theCase.mToFile ? tltest::TestHome() + "/export.bmp" : std::string();
    std::string theBmp = Export(Q(), theSource, theCase.mDepth, thePath);
    ASSERT_GT(theBmp.size(), 54u);
    EXPECT_EQ(theBmp.substr(0, 2), "BM");

    // A file finds its importer by its content; bytes go to the BMP importer.
    Handle theData = Q().NewHandle(static_cast<Size>(theBmp.size()));
    std::memcpy(*theData, theBmp.data(), theBmp.size());
    ComponentInstance theImporter = nullptr;
    if (theCase.mToFile) {
      FSSpec theSpec{};
      ASSERT_EQ(Q().NativePathNameToFSSpec(thePath.c_str(), &theSpec, 0), kQTNoErr);
      ASSERT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTNoErr);
      ComponentDescription theChosen{};
      Q().GetComponentInstanceInfo(theImporter, &theChosen);
      EXPECT_EQ(theChosen.componentSubType, MakeOSType("BMPf"));
    } else {
      theImporter = OpenImporter("BMP");
      ASSERT_EQ(Q().GraphicsImportSetDataHandle(theImporter, theData), kQTNoErr);
    }
    ImageDescriptionHandle theDescription = nullptr;
    ASSERT_EQ(Q().GraphicsImportGetImageDescription(theImporter, &theDescription), kQTNoErr);
    EXPECT_EQ((**theDescription).depth, theCase.mDepth);
    EXPECT_EQ(Q().Fix2Long((**theDescription).hRes), 72);
    Q().DisposeHandle(reinterpret_cast<Handle>(theDescription));
    GWorldPtr theCopy = NewWorld(kWidth - 1, kHeight);
    ASSERT_EQ(Q().GraphicsImportSetGWorld(theImporter, theCopy, nullptr), kQTNoErr);
    ASSERT_EQ(Q().GraphicsImportDraw(theImporter), kQTNoErr);
    PixMapHandle theCopyMap = Q().GetGWorldPixMap(theCopy);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth - 1; ++x) {
        Pixel theIn = PixelAt(Q(), theSourceMap, x, y);
        Pixel theOut = PixelAt(Q(), theCopyMap, x, y);
        ASSERT_EQ(theOut.mBlue, theIn.mBlue) << x << ", " << y;
        ASSERT_EQ(theOut.mGreen, theIn.mGreen) << x << ", " << y;
        ASSERT_EQ(theOut.mRed, theIn.mRed) << x << ", " << y;
        ASSERT_EQ(theOut.mAlpha, theCase.mDepth == 32 ? theIn.mAlpha : 255) << x << ", " << y;
      }
    Q().CloseComponent(theImporter);
    Q().DisposeHandle(theData);
  }
}

TEST_F(StandInImages, DescribedRawPixelsDrawThroughAMatrix)
{
  // A 3 x 2 image of 24-bit rows (padded to 12 bytes), top row first.
  const std::uint8_t kRows[2][12] = {{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0},
                                     {255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0}};
  Handle theDescriptionHandle = Q().NewHandle(sizeof(ImageDescription));
  auto theDescription = reinterpret_cast<ImageDescriptionHandle>(theDescriptionHandle);
  ImageDescription& theRecord = **theDescription;
  theRecord.idSize = sizeof(ImageDescription);
  theRecord.cType = kQTRawCodecType;
  theRecord.width = 3;
  theRecord.height = 2;
  theRecord.depth = 24;
  theRecord.dataSize = sizeof kRows;

  GWorldPtr theWorld = NewWorld(6, 4);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  Rect theSource{0, 0, 2, 3};
  Rect theDestination{0, 0, 4, 6};
  MatrixRecord theMatrix{};
  Q().RectMatrix(&theMatrix, &theSource, &theDestination);
  ASSERT_EQ(Q().FDecompressImage(const_cast<Ptr>(reinterpret_cast<const char*>(kRows)), theDescription, thePixMap,
                                 &theSource, &theMatrix, kQTSrcCopy, nullptr, nullptr, nullptr, kQTCodecMaxQuality,
                                 -2, theRecord.dataSize, nullptr, nullptr),
            kQTNoErr);
  const Colour kWanted[2][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, x, y), kWanted[y / 2][x / 2], 0)) << x << ", " << y;

  // Too little data for the description.
  EXPECT_EQ(Q().FDecompressImage(const_cast<Ptr>(reinterpret_cast<const char*>(kRows)), theDescription, thePixMap,
                                 &theSource, nullptr, kQTSrcCopy, nullptr, nullptr, nullptr, kQTCodecMaxQuality, -2,
                                 12, nullptr, nullptr),
            kQTBadImageDataErr);

  // An 8-bit image through its colour table.
  const std::uint8_t kIndices[4] = {1, 0, 1, 0};
  theRecord.width = 2;
  theRecord.height = 1;
  theRecord.depth = 8;
  Handle theTable = Q().NewHandle(8 + 2 * sizeof(ColorSpec));
  auto theColors = reinterpret_cast<CTabHandle>(theTable);
  (**theColors).ctSize = 1;
  (**theColors).ctTable[0] = {0, {0, 0, 0xFFFF}};
  (**theColors).ctTable[1] = {1, {0xFFFF, 0x8080, 0}};
  ASSERT_EQ(Q().SetImageDescriptionCTable(theDescription, theColors), kQTNoErr);
  Q().DisposeHandle(theTable);
  Rect theTwo{0, 0, 1, 2};
  ASSERT_EQ(Q().FDecompressImage(const_cast<Ptr>(reinterpret_cast<const char*>(kIndices)), theDescription,
                                 thePixMap, &theTwo, nullptr, kQTSrcCopy, nullptr, nullptr, nullptr,
                                 kQTCodecMaxQuality, -2, 4, nullptr, nullptr),
            kQTNoErr);
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, 0, 0), Colour{255, 128, 0}, 0));
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, 1, 0), Colour{0, 0, 255}, 0));
  Q().DisposeHandle(theDescriptionHandle);
}

}  // namespace
