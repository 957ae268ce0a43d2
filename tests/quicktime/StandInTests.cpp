// What the core relies on from the QuickTime stand-in: its settings, its
// components and their format information, handles, files, fixed point, and
// GWorlds whose device context draws into the same pixels; JPEG and raw
// pixels drawn in their colours and orientation.

#include "platform/gdi/Gdi.h"
#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/quicktime/standin/StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using qttest::Colour;
using qttest::Near;
using qttest::PixelAt;
using qttest::StandInTest;

// Starts the stand-in with one environment setting; its start error and
// 'qtim' word.
OSErr StartWith(const char* inVariable, const char* inValue, SInt32& outVersion)
{
  setenv(inVariable, inValue, 1);
  OSErr theErr = QTInitialize(0);
  unsetenv(inVariable);
  outVersion = 0;
  if (theErr == kQTNoErr) {
    EXPECT_EQ(QT()->Gestalt(kQTVersionSelector, &outVersion), kQTNoErr);
    QTTerminate();
  }
  return theErr;
}

// The names of the components a walk finds, in order.
std::vector<std::string> Walk(const QTServices& inQT, OSType inType, UInt32 inFlags, UInt32 inMask)
{
  std::vector<std::string> theNames;
  ComponentDescription theLooking{inType, 0, 0, inFlags, inMask};
  Handle theName = inQT.NewHandle(0);
  for (Component theComponent = inQT.FindNextComponent(nullptr, &theLooking); theComponent;
       theComponent = inQT.FindNextComponent(theComponent, &theLooking)) {
    EXPECT_EQ(inQT.GetComponentInfo(theComponent, nullptr, theName, nullptr, nullptr), kQTNoErr);
    theNames.emplace_back(*theName + 1, static_cast<unsigned char>(**theName));
  }
  inQT.DisposeHandle(theName);
  return theNames;
}

TEST(StandInSettings, VersionAndExporterCount)
{
  qttest::UseStandIn();
  const struct {
    const char* mSetting;
    SInt32 mWord;
  } kVersions[] = {{"3.0", 0x03000000}, {"4.1", 0x04100000}, {"6.5.2", 0x06520000}, {"7.15.9", 0x07F90000}};
  for (const auto& theCase : kVersions) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInVersionVariable, theCase.mSetting, theWord), kQTNoErr) << theCase.mSetting;
    EXPECT_EQ(theWord, theCase.mWord) << theCase.mSetting;
  }
  for (const char* theSetting : {"", "6", "6.", "x.1", "4.16", "-4.1", "6.0.0.1", "six"}) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInVersionVariable, theSetting, theWord), kQTParamErr) << "'" << theSetting << "'";
  }
  for (const char* theSetting : {"", "-1", "100", "3x"}) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInExportersVariable, theSetting, theWord), kQTParamErr) << "'" << theSetting << "'";
  }
  for (int theCount : {0, 1, 6, 12}) {
    setenv(kStandInExportersVariable, std::to_string(theCount).c_str(), 1);
    ASSERT_EQ(QTInitialize(0), kQTNoErr);
    // Flags 0 under mask 1 leaves out the base exporter.
    const std::vector<std::string> theListed = Walk(*QT(), kQTGraphicsExporterType, 0, kQTBaseExporterFlag);
    ASSERT_EQ(theListed.size(), static_cast<std::size_t>(theCount));
    EXPECT_TRUE(theCount < 2 || (theListed[0] == "BMP" && theListed[1] == "Exporter 02")) << theCount;
    EXPECT_EQ(Walk(*QT(), kQTGraphicsExporterType, 0, 0).size(), static_cast<std::size_t>(theCount) + 1);
    QTTerminate();
  }
  unsetenv(kStandInExportersVariable);
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  SInt32 theWord = 0;
  EXPECT_EQ(QT()->Gestalt(kQTVersionSelector, &theWord), kQTNoErr);
  EXPECT_EQ(theWord, 0x06000000);
  EXPECT_EQ(QT()->Gestalt(MakeOSType("sysv"), &theWord), kQTGestaltUndefSelectorErr);
  EXPECT_EQ(Walk(*QT(), kQTGraphicsExporterType, 0, kQTBaseExporterFlag).size(), 6u);
  QTTerminate();
}

TEST_F(StandInTest, ComponentsGiveTheirPublicFormatInformation)
{
  EXPECT_EQ(Walk(Q(), kQTGraphicsImporterType, kQTHasFormatInfoFlag, kQTHasFormatInfoFlag),
            (std::vector<std::string>{"JPEG", "BMP"}));
  const struct {
    OSType mType;
    int mIndex;  // in the walk of its type, the base exporter left out
    const char* mTexts[3];
    OSType mFileType;
  } kCases[] = {
    {kQTGraphicsImporterType, 0, {"jpg,jpeg,jpe", "image/jpeg", "JPEG"}, 0},
    {kQTGraphicsImporterType, 1, {"bmp,dib", "image/bmp", "BMP"}, 0},
    {kQTGraphicsExporterType, 0, {"bmp", "image/bmp", "BMP"}, MakeOSType("BMPf")},
    {kQTGraphicsExporterType, 1, {"x02", "image/x-listed-02", "Listed 02"}, MakeOSType("X 02")},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mTexts[0]);
    ComponentDescription theLooking{theCase.mType, 0, 0, 0, kQTBaseExporterFlag};
    Component theComponent = Q().FindNextComponent(nullptr, &theLooking);
    for (int i = 0; i < theCase.mIndex; ++i)
      theComponent = Q().FindNextComponent(theComponent, &theLooking);
    ComponentInstance theInstance = Q().OpenComponent(theComponent);
    ASSERT_NE(theInstance, nullptr);
    const bool theImporter = theCase.mType == kQTGraphicsImporterType;
    QTAtomContainer theList = nullptr;
    EXPECT_EQ(theImporter ? Q().GraphicsImportGetMIMETypeList(theInstance, &theList)
                          : Q().GraphicsExportGetMIMETypeList(theInstance, &theList),
              kQTNoErr);
    ASSERT_EQ(Q().QTCountChildrenOfType(theList, 0, 0), 3);
    const OSType kTypes[] = {kQTExtensionAtom, kQTMIMEAtom, kQTDescriptionAtom};
    for (SInt16 i = 1; i <= 3; ++i) {
      QTAtom theAtom = Q().QTFindChildByIndex(theList, 0, 0, i, nullptr);
      QTAtomType theType = 0;
      Size theSize = 0;
      Ptr theData = nullptr;
      EXPECT_EQ(Q().QTGetAtomTypeAndID(theList, theAtom, &theType, nullptr), kQTNoErr);
      EXPECT_EQ(Q().QTGetAtomDataPtr(theList, theAtom, &theSize, &theData), kQTNoErr);
      EXPECT_EQ(theType, kTypes[i - 1]);
      EXPECT_EQ(std::string(theData, static_cast<std::size_t>(theSize)), theCase.mTexts[i - 1]);
    }
    EXPECT_EQ(Q().QTDisposeAtomContainer(theList), kQTNoErr);
    if (!theImporter) {
      OSType theFileType = 0;
      EXPECT_EQ(Q().GraphicsExportGetDefaultFileTypeAndCreator(theInstance, &theFileType, nullptr), kQTNoErr);
      EXPECT_EQ(theFileType, theCase.mFileType);
      UInt32 theWritten = 1;
      EXPECT_EQ(Q().GraphicsExportDoExport(theInstance, &theWritten), kQTBadComponentSelector);
      EXPECT_EQ(theWritten, 0u);
    }
    EXPECT_EQ(Q().CloseComponent(theInstance), kQTNoErr);
    // Closed instances and forged components are refused, never used.
    EXPECT_EQ(Q().CloseComponent(theInstance), kQTParamErr);
    EXPECT_EQ(Q().GraphicsImportDraw(theInstance), kQTBadComponentInstance);
  }
  int theForged = 0;
  EXPECT_EQ(Q().OpenComponent(reinterpret_cast<Component>(&theForged)), nullptr);
  EXPECT_EQ(Q().GetMoviesError(), kQTInvalidComponentErr);
}

TEST_F(StandInTest, HandlesFilesAndNoMovies)
{
  Handle theHandle = Q().NewHandle(10);
  ASSERT_NE(theHandle, nullptr);
  std::fill(*theHandle, *theHandle + 10, 'x');
  // A locked handle keeps its bytes where they are.
  Q().HLock(theHandle);
  Ptr theBytes = *theHandle;
  Q().SetHandleSize(theHandle, 100000);
  EXPECT_EQ(Q().MemError(), kQTMemLockedErr);
  EXPECT_EQ(*theHandle, theBytes);
  Q().HUnlock(theHandle);
  Q().SetHandleSize(theHandle, 100000);
  EXPECT_EQ(Q().MemError(), kQTNoErr);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 100000);
  EXPECT_EQ(std::string(*theHandle, 10), std::string(10, 'x'));
  Q().DisposeHandle(theHandle);
  Q().DisposeHandle(theHandle);
  EXPECT_EQ(Q().MemError(), kQTBadHandleErr);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 0);
  EXPECT_EQ(Q().NewHandle(-1), nullptr);
  EXPECT_EQ(Q().MemError(), kQTParamErr);
  EXPECT_EQ(Q().NewHandle(Size{1} << 40), nullptr);
  EXPECT_EQ(Q().MemError(), kQTMemFullErr);

  // A missing file is named all the same, so that it can be made.
  const std::string theExisting = qttest::WriteFile("exists.bin", "1234");
  const std::string theMissing = theExisting + ".missing";
  FSSpec theSpec{};
  EXPECT_EQ(Q().NativePathNameToFSSpec(theMissing.c_str(), &theSpec, 0), kQTFileNotFoundErr);
  EXPECT_EQ(theSpec.path, theMissing);
  SInt16 theRefNum = -1;
  EXPECT_EQ(Q().OpenMovieFile(&theSpec, &theRefNum, kQTReadPermission), kQTFileNotFoundErr);
  EXPECT_EQ(Q().NativePathNameToFSSpec("", &theSpec, 0), kQTBadNameErr);
  EXPECT_EQ(Q().NativePathNameToFSSpec(std::string(kQTMaxPathBytes, 'a').c_str(), &theSpec, 0), kQTBadNameErr);
  EXPECT_EQ(Q().NativePathNameToFSSpec(theExisting.c_str(), &theSpec, 0), kQTNoErr);
  EXPECT_EQ(Q().OpenMovieFile(&theSpec, &theRefNum, kQTReadPermission), kQTNoMovieFoundErr);
  EXPECT_EQ(Q().GetMoviesError(), kQTNoMovieFoundErr);
  Movie theMovie = nullptr;
  EXPECT_EQ(Q().NewMovieFromDataRef(&theMovie, kQTNewMovieActive, nullptr, nullptr, kQTURLDataRefType),
            kQTNoMovieFoundErr);
  EXPECT_EQ(theMovie, nullptr);
}

TEST_F(StandInTest, FixedPoint)
{
  const struct {
    double mValue;
    Fixed mFixed;
    SInt32 mLong;
  } kCases[] = {
    {1.0, 0x10000, 1}, {-1.0, -0x10000, -1}, {0.5, 0x8000, 1}, {-0.5, -0x8000, 0}, {2.25, 0x24000, 2},
    {1e12, 0x7FFFFFFF, 32768},
  };
  for (const auto& theCase : kCases) {
    EXPECT_EQ(Q().X2Fix(theCase.mValue), theCase.mFixed) << theCase.mValue;
    EXPECT_EQ(Q().Fix2Long(theCase.mFixed), theCase.mLong) << theCase.mValue;
  }
  EXPECT_EQ(Q().Long2Fix(300), 300 << 16);
  EXPECT_EQ(Q().Long2Fix(40000), 0x7FFFFFFF);
}

constexpr int kWidth = 48;
constexpr int kHeight = 32;

class StandInImages : public StandInTest {
 protected:
  // A new GWorld, disposed by TearDown.
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

  // An importer of the JPEG component reading inBytes.
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

TEST_F(StandInImages, GWorldsOfEveryDepthDrawThroughADIBSectionOverTheirPixels)
{
  const struct {
    SInt32 mDepth;
    SInt16 mPixelSize;
    int mBits;  // of the port's DIB section; 0: refused
  } kCases[] = {{1, 1, 1}, {4, 4, 4}, {8, 8, 8}, {16, 16, 16}, {24, 24, 24}, {32, 32, 32}, {40, 40, 8}, {2, 0, 0},
                {12, 0, 0}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mDepth);
    GWorldPtr theWorld = nullptr;
    Rect theBounds{0, 0, 7, 9};
    const OSErr theErr = Q().NewGWorld(&theWorld, theCase.mDepth, &theBounds, nullptr, nullptr, 0);
    if (theCase.mBits == 0) {
      EXPECT_EQ(theErr, kQTParamErr);
      EXPECT_EQ(Q().QDError(), kQTParamErr);
      continue;
    }
    ASSERT_EQ(theErr, kQTNoErr);
    mWorlds.push_back(theWorld);
    PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
    EXPECT_EQ((**thePixMap).pixelSize, theCase.mPixelSize);
    DIBSECTION theSection{};
    ASSERT_EQ(GetObjectA(Q().GetPortHBITMAP(theWorld), sizeof theSection, &theSection),
              static_cast<int>(sizeof theSection));
    EXPECT_EQ(theSection.dsBm.bmBitsPixel, theCase.mBits);
    EXPECT_EQ(theSection.dsBm.bmWidthBytes, Q().QTGetPixMapHandleRowBytes(thePixMap));
    EXPECT_EQ(theSection.dsBm.bmBits, Q().GetPixBaseAddr(thePixMap));
    EXPECT_LT(theSection.dsBmih.biHeight, 0);  // top row first
  }

  // 32 bits: B, G, R, A in memory is that colour to GDI, and GDI's fill is
  // seen in memory.
  GWorldPtr theWorld = NewWorld(kWidth, kHeight);
  PixMapHandle thePixMap = Q().GetGWorldPixMap(theWorld);
  HDC theDC = Q().GetPortHDC(theWorld);
  auto* thePixel = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(thePixMap)) +
                   2 * Q().QTGetPixMapHandleRowBytes(thePixMap) + 4 * 5;
  thePixel[0] = 10;
  thePixel[1] = 20;
  thePixel[2] = 30;
  EXPECT_EQ(GetPixel(theDC, 5, 2), RGB(30, 20, 10));
  HBRUSH theBrush = CreateSolidBrush(RGB(200, 100, 50));
  RECT theCorner{kWidth - 4, 0, kWidth, 3};
  ASSERT_NE(FillRect(theDC, &theCorner, theBrush), 0);
  DeleteObject(theBrush);
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, kWidth - 1, 0), Colour{200, 100, 50}, 0));
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, kWidth - 5, 0), Colour{0, 0, 0}, 0));
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
  auto* theNew = reinterpret_cast<std::uint8_t*>(Q().GetPixBaseAddr(thePixMap));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      for (int c = 0; c < 4; ++c)
        EXPECT_EQ(theNew[y * 24 + x * 4 + c], x < 4 && y < 3 ? (y * 16 + x * 4 + c + 1) : 0) << x << ", " << y;
  Rect theEmpty{0, 0, 0, 0};
  EXPECT_LT(Q().UpdateGWorld(&theWorld, 0, &theEmpty, nullptr, nullptr, kQTClipPix), 0);
  EXPECT_EQ(Q().QDError(), kQTParamErr);
}

// The quadrant picture as a 24-bit bitmap file, rows bottom-up.
std::string QuadrantBmp()
{
  const std::size_t theRowBytes = (3 * kWidth + 3) / 4 * 4;
  std::string theBytes(54 + theRowBytes * kHeight, '\0');
  const auto Put = [&theBytes](std::size_t inAt, std::size_t inValue, int inSize) {
    for (int i = 0; i < inSize; ++i)
      theBytes[inAt + static_cast<std::size_t>(i)] = static_cast<char>(inValue >> (8 * i));
  };
  theBytes[0] = 'B';
  theBytes[1] = 'M';
  Put(2, theBytes.size(), 4);
  Put(10, 54, 4);
  Put(14, 40, 4);
  Put(18, kWidth, 4);
  Put(22, kHeight, 4);
  Put(26, 1, 2);
  Put(28, 24, 2);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Colour theColour = qttest::QuadrantColour(x, y, kWidth, kHeight);
      const std::size_t theAt = 54 + (kHeight - 1 - y) * theRowBytes + 3 * x;
      Put(theAt, theColour.mBlue | theColour.mGreen << 8 | theColour.mRed << 16, 3);
    }
  return theBytes;
}

// The importers keep colours and orientation: JPEG from a file (its importer
// chosen by content) or a handle through a scaling matrix, BMP from a file.
TEST_F(StandInImages, ImportersDrawInTheirColoursAndOrientation)
{
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  Handle theData = NewHandleOf(theJpeg);
  const struct {
    const char* mFile;  // null: the JPEG from a handle
    std::string mBytes;
    int mScale;
    int mTolerance;
  } kCases[] = {{"quadrants.jpg", theJpeg, 1, 8}, {nullptr, theJpeg, 2, 8}, {"quadrants.bmp", QuadrantBmp(), 1, 0}};
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
    Boolean theValid = false;
    EXPECT_EQ(Q().GraphicsImportValidate(theImporter, &theValid), kQTNoErr);
    EXPECT_TRUE(theValid);
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

TEST_F(StandInImages, JpegDescriptions)
{
  const struct {
    int mComponents;
    int mDpi;
    SInt16 mDepth;
    SInt32 mResolution;
  } kCases[] = {{3, 0, 24, 72}, {3, 150, 24, 150}, {1, 300, kQTGray8Depth, 300}, {4, 0, 32, 72}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mComponents);
    std::vector<std::uint8_t> theSamples(static_cast<std::size_t>(8 * 6 * theCase.mComponents), 128);
    Handle theData = NewHandleOf(qttest::WriteJpeg(8, 6, theCase.mComponents, theSamples, theCase.mDpi));
    ComponentInstance theImporter = JpegImporter(theData);
    ImageDescriptionHandle theDescription = nullptr;
    ASSERT_EQ(Q().GraphicsImportGetImageDescription(theImporter, &theDescription), kQTNoErr);
    EXPECT_EQ((**theDescription).width, 8);
    EXPECT_EQ((**theDescription).height, 6);
    EXPECT_EQ((**theDescription).depth, theCase.mDepth);
    EXPECT_EQ(Q().Fix2Long((**theDescription).hRes), theCase.mResolution);
    EXPECT_EQ((**theDescription).idSize, Q().GetHandleSize(reinterpret_cast<Handle>(theDescription)));
    Q().DisposeHandle(reinterpret_cast<Handle>(theDescription));
    Q().CloseComponent(theImporter);
    Q().DisposeHandle(theData);
  }
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
    {theJpeg.substr(0, 2), false, kQTInvalidImageErr},
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
  // No importer reads the file.
  FSSpec theSpec{};
  Q().NativePathNameToFSSpec(qttest::WriteFile("noise.bin", std::string(100, 'x')).c_str(), &theSpec, 0);
  ComponentInstance theImporter = nullptr;
  EXPECT_EQ(Q().GetGraphicsImporterForFile(&theSpec, &theImporter), kQTCantFindHandlerErr);
  EXPECT_EQ(theImporter, nullptr);
}

// Described raw pixels (as the core hands over a DIB's rows) draw through a
// matrix, and 8-bit indices through their colour table.
TEST_F(StandInImages, DescribedRawPixelsDraw)
{
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
  auto Decompress = [&](const void* inData, const Rect& inSource, const MatrixRecord* inMatrix, SInt32 inSize) {
    return Q().FDecompressImage(static_cast<Ptr>(const_cast<void*>(inData)), theDescription, thePixMap, &inSource,
                                inMatrix, kQTSrcCopy, nullptr, nullptr, nullptr, kQTCodecMaxQuality, -2, inSize,
                                nullptr, nullptr);
  };
  ASSERT_EQ(Decompress(kRows, theSource, &theMatrix, theRecord.dataSize), kQTNoErr);
  const Colour kWanted[2][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, x, y), kWanted[y / 2][x / 2], 0)) << x << ", " << y;
  EXPECT_EQ(Decompress(kRows, theSource, nullptr, 12), kQTBadImageDataErr);  // too little data

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
  ASSERT_EQ(Decompress(kIndices, Rect{0, 0, 1, 2}, nullptr, 4), kQTNoErr);
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, 0, 0), Colour{255, 128, 0}, 0));
  EXPECT_TRUE(Near(PixelAt(Q(), thePixMap, 1, 0), Colour{0, 0, 255}, 0));
  Q().DisposeHandle(theDescriptionHandle);
}

}  // namespace
