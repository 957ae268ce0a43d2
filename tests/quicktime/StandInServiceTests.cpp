// The stand-in's version, components, handles, file specifications, fixed
// point and matrices.

#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/quicktime/standin/StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using qttest::StandInTest;

// Starts the stand-in with one environment setting and answers the start's
// error and the 'qtim' word.
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

TEST(StandInVersion, VersionWordFollowsTheSetting)
{
  qttest::UseStandIn();
  struct Case {
    const char* mSetting;
    SInt32 mWord;
  };
  const Case kCases[] = {
      {"3.0", 0x03000000}, {"4.0.3", 0x04030000}, {"4.1", 0x04100000},
      {"5.0.2", 0x05020000}, {"6.0", 0x06000000}, {"7.15.9", 0x07F90000},
  };
  for (const Case& theCase : kCases) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInVersionVariable, theCase.mSetting, theWord), kQTNoErr) << theCase.mSetting;
    EXPECT_EQ(theWord, theCase.mWord) << theCase.mSetting;
  }
  // Unset: 6.0.
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  SInt32 theWord = 0;
  EXPECT_EQ(QT()->Gestalt(kQTVersionSelector, &theWord), kQTNoErr);
  EXPECT_EQ(theWord, 0x06000000);
  EXPECT_EQ(QT()->Gestalt(MakeOSType("sysv"), &theWord), kQTGestaltUndefSelectorErr);
  QTTerminate();
}

TEST(StandInVersion, MalformedSettingsFailTheStart)
{
  qttest::UseStandIn();
  for (const char* theSetting : {"", "6", "6.", ".1", "x.1", "4.16", "-4.1", "6.0.0.1", "6.0 ", "128.0"}) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInVersionVariable, theSetting, theWord), kQTParamErr) << "'" << theSetting << "'";
  }
  for (const char* theSetting : {"", "-1", "100", "3x"}) {
    SInt32 theWord = 0;
    EXPECT_EQ(StartWith(kStandInExportersVariable, theSetting, theWord), kQTParamErr) << "'" << theSetting << "'";
  }
}

// The names of the components a walk finds, in order.
std::vector<std::string> Walk(const QTServices& inQT, OSType inType, UInt32 inFlags, UInt32 inMask)
{
  std::vector<std::string> theNames;
  ComponentDescription theLooking{inType, 0, 0, inFlags, inMask};
  Handle theName = inQT.NewHandle(0);
  Handle theInfo = inQT.NewHandle(0);
  for (Component theComponent = inQT.FindNextComponent(nullptr, &theLooking); theComponent;
       theComponent = inQT.FindNextComponent(theComponent, &theLooking)) {
    ComponentDescription theDescription{};
    EXPECT_EQ(inQT.GetComponentInfo(theComponent, &theDescription, theName, theInfo, nullptr), kQTNoErr);
    EXPECT_EQ(theDescription.componentType, inType);
    // Length-prefixed strings, the handle sized to fit.
    EXPECT_EQ(inQT.GetHandleSize(theName), 1 + static_cast<unsigned char>(**theName));
    EXPECT_GT(static_cast<unsigned char>(**theInfo), 0);
    theNames.emplace_back(*theName + 1, static_cast<unsigned char>(**theName));
  }
  inQT.DisposeHandle(theName);
  inQT.DisposeHandle(theInfo);
  return theNames;
}

TEST(StandInComponents, ExporterCountFollowsTheSetting)
{
  qttest::UseStandIn();
  for (int theCount : {0, 1, 5, 6, 12}) {
    SCOPED_TRACE(theCount);
    setenv(kStandInExportersVariable, std::to_string(theCount).c_str(), 1);
    ASSERT_EQ(QTInitialize(0), kQTNoErr);
    // Listed exporters: flags 0 under mask 1 leaves out the base exporter.
    std::vector<std::string> theListed = Walk(*QT(), kQTGraphicsExporterType, 0, kQTBaseExporterFlag);
    ASSERT_EQ(theListed.size(), static_cast<std::size_t>(theCount));
    if (theCount > 0) {
      EXPECT_EQ(theListed[0], "BMP");
    }
    if (theCount > 1) {
      EXPECT_EQ(theListed[1], "Exporter 02");
    }
    EXPECT_EQ(Walk(*QT(), kQTGraphicsExporterType, 0, 0).size(), static_cast<std::size_t>(theCount) + 1);
    QTTerminate();
  }
  unsetenv(kStandInExportersVariable);
  ASSERT_EQ(QTInitialize(0), kQTNoErr);
  EXPECT_EQ(Walk(*QT(), kQTGraphicsExporterType, 0, kQTBaseExporterFlag).size(), 6u);
  QTTerminate();
}

TEST_F(StandInTest, ImportersAndTheirPublicFormatInformation)
{
  EXPECT_EQ(Walk(Q(), kQTGraphicsImporterType, kQTHasFormatInfoFlag, kQTHasFormatInfoFlag),
            (std::vector<std::string>{"JPEG", "BMP"}));
  struct Case {
    OSType mType;
    const char* mName;
    const char* mExtensions;
    const char* mMIME;
    const char* mDescription;
  };
  const Case kCases[] = {
      {kQTGraphicsImporterType, "JPEG", "jpg,jpeg,jpe", "image/jpeg", "JPEG"},
      {kQTGraphicsImporterType, "BMP", "bmp,dib", "image/bmp", "BMP"},
      {kQTGraphicsExporterType, "BMP", "bmp", "image/bmp", "BMP"},
      {kQTGraphicsExporterType, "Exporter 02", "x02", "image/x-listed-02", "Listed 02"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    ComponentDescription theLooking{theCase.mType, 0, 0, 0, kQTBaseExporterFlag};
    Component theComponent = Q().FindNextComponent(nullptr, &theLooking);
    Handle theName = Q().NewHandle(0);
    while (theComponent) {
      ASSERT_EQ(Q().GetComponentInfo(theComponent, nullptr, theName, nullptr, nullptr), kQTNoErr);
      if (std::string(*theName + 1, static_cast<unsigned char>(**theName)) == theCase.mName)
        break;
      theComponent = Q().FindNextComponent(theComponent, &theLooking);
    }
    Q().DisposeHandle(theName);
    ASSERT_NE(theComponent, nullptr);

    ComponentInstance theInstance = Q().OpenComponent(theComponent);
    ASSERT_NE(theInstance, nullptr);
    ComponentDescription theDescription{};
    EXPECT_EQ(Q().GetComponentInstanceInfo(theInstance, &theDescription), kQTNoErr);
    EXPECT_EQ(theDescription.componentType, theCase.mType);
    QTAtomContainer theList = nullptr;
    EXPECT_EQ(theCase.mType == kQTGraphicsImporterType ? Q().GraphicsImportGetMIMETypeList(theInstance, &theList)
                                                        : Q().GraphicsExportGetMIMETypeList(theInstance, &theList),
              kQTNoErr);
    ASSERT_NE(theList, nullptr);
    ASSERT_EQ(Q().QTCountChildrenOfType(theList, 0, 0), 3);
    const OSType kTypes[] = {kQTExtensionAtom, kQTMIMEAtom, kQTDescriptionAtom};
    const char* kTexts[] = {theCase.mExtensions, theCase.mMIME, theCase.mDescription};
    for (SInt16 i = 1; i <= 3; ++i) {
      QTAtom theAtom = Q().QTFindChildByIndex(theList, 0, 0, i, nullptr);
      QTAtomType theType = 0;
      Size theSize = 0;
      Ptr theData = nullptr;
      EXPECT_EQ(Q().QTGetAtomTypeAndID(theList, theAtom, &theType, nullptr), kQTNoErr);
      EXPECT_EQ(Q().QTGetAtomDataPtr(theList, theAtom, &theSize, &theData), kQTNoErr);
      EXPECT_EQ(theType, kTypes[i - 1]);
      EXPECT_EQ(std::string(theData, static_cast<std::size_t>(theSize)), kTexts[i - 1]);
    }
    EXPECT_EQ(Q().QTFindChildByIndex(theList, 0, 0, 4, nullptr), 0);
    EXPECT_EQ(Q().QTDisposeAtomContainer(theList), kQTNoErr);
    EXPECT_EQ(Q().CloseComponent(theInstance), kQTNoErr);
    EXPECT_EQ(Q().CloseComponent(theInstance), kQTParamErr);  // closed already
    EXPECT_EQ(Q().GraphicsImportDraw(theInstance), kQTBadComponentInstance);
  }
}

TEST_F(StandInTest, ExporterDefaultsAndOptions)
{
  ComponentDescription theLooking{kQTGraphicsExporterType, 0, 0, 0, kQTBaseExporterFlag};
  Component theBmp = Q().FindNextComponent(nullptr, &theLooking);
  Component theListed = Q().FindNextComponent(theBmp, &theLooking);
  ASSERT_NE(theListed, nullptr);
  ComponentInstance theExporter = Q().OpenComponent(theBmp);
  ComponentInstance theLister = Q().OpenComponent(theListed);
  OSType theType = 0;
  EXPECT_EQ(Q().GraphicsExportGetDefaultFileTypeAndCreator(theExporter, &theType, nullptr), kQTNoErr);
  EXPECT_EQ(theType, MakeOSType("BMPf"));
  EXPECT_EQ(Q().GraphicsExportSetCompressionQuality(theExporter, kQTCodecLosslessQuality), kQTNoErr);
  EXPECT_EQ(Q().GraphicsExportSetInterlaceStyle(theExporter, 1), kQTBadComponentSelector);
  EXPECT_EQ(Q().GraphicsExportSetDepth(theExporter, 32), kQTNoErr);
  EXPECT_EQ(Q().GraphicsExportSetDepth(theExporter, 8), kQTParamErr);
  EXPECT_EQ(Q().GraphicsExportSetResolution(theExporter, 300 << 16, 150 << 16), kQTNoErr);
  Fixed theH = 0, theV = 0;
  EXPECT_EQ(Q().GraphicsExportGetResolution(theExporter, &theH, &theV), kQTNoErr);
  EXPECT_EQ(theH, 300 << 16);
  EXPECT_EQ(theV, 150 << 16);
  UInt32 theWritten = 1;
  EXPECT_EQ(Q().GraphicsExportDoExport(theLister, &theWritten), kQTBadComponentSelector);
  EXPECT_EQ(theWritten, 0u);
  EXPECT_EQ(Q().GraphicsExportDoExport(theExporter, &theWritten), kQTParamErr);  // no input, no output
  Q().CloseComponent(theExporter);
  Q().CloseComponent(theLister);
  EXPECT_EQ(Q().OpenComponent(reinterpret_cast<Component>(&theLooking)), nullptr);
  EXPECT_EQ(Q().GetMoviesError(), kQTInvalidComponentErr);
}

TEST_F(StandInTest, Handles)
{
  Handle theHandle = Q().NewHandle(10);
  ASSERT_NE(theHandle, nullptr);
  EXPECT_EQ(Q().MemError(), kQTNoErr);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 10);
  std::fill(*theHandle, *theHandle + 10, 'x');
  Q().SetHandleSize(theHandle, 100000);
  EXPECT_EQ(Q().MemError(), kQTNoErr);
  EXPECT_EQ(std::string(*theHandle, 10), std::string(10, 'x'));
  EXPECT_EQ((*theHandle)[99999], 0);

  // A locked handle keeps its bytes where they are.
  Q().HLock(theHandle);
  Ptr theBytes = *theHandle;
  Q().SetHandleSize(theHandle, 5);
  EXPECT_EQ(Q().MemError(), kQTMemLockedErr);
  EXPECT_EQ(*theHandle, theBytes);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 100000);
  Q().HUnlock(theHandle);
  Q().SetHandleSize(theHandle, 5);
  EXPECT_EQ(Q().MemError(), kQTNoErr);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 5);

  Q().DisposeHandle(theHandle);
  EXPECT_EQ(Q().MemError(), kQTNoErr);
  Q().DisposeHandle(theHandle);
  EXPECT_EQ(Q().MemError(), kQTBadHandleErr);
  EXPECT_EQ(Q().GetHandleSize(theHandle), 0);
  Q().DisposeHandle(nullptr);
  EXPECT_EQ(Q().MemError(), kQTNilHandleErr);

  struct Case {
    Size mSize;
    OSErr mErr;
  };
  for (const Case& theCase : {Case{-1, kQTParamErr}, Case{Size{1} << 40, kQTMemFullErr}}) {
    EXPECT_EQ(Q().NewHandle(theCase.mSize), nullptr) << theCase.mSize;
    EXPECT_EQ(Q().MemError(), theCase.mErr) << theCase.mSize;
  }
  Handle theEmpty = Q().NewHandle(0);
  ASSERT_NE(theEmpty, nullptr);
  EXPECT_NE(*theEmpty, nullptr);
  Q().DisposeHandle(theEmpty);
}

TEST_F(StandInTest, FileSpecifications)
{
  std::string theExisting = qttest::WriteFile("exists.bin", "1234");
  std::string theMissing = theExisting + ".missing";
  FSSpec theSpec{};
  EXPECT_EQ(Q().NativePathNameToFSSpec(theExisting.c_str(), &theSpec, 0), kQTNoErr);
  EXPECT_EQ(theSpec.path, theExisting);
  // A file that does not exist yet is named all the same.
  EXPECT_EQ(Q().NativePathNameToFSSpec(theMissing.c_str(), &theSpec, 0), kQTFileNotFoundErr);
  EXPECT_EQ(theSpec.path, theMissing);
  EXPECT_EQ(Q().NativePathNameToFSSpec("", &theSpec, 0), kQTBadNameErr);
  std::string theLong(kQTMaxPathBytes, 'a');
  EXPECT_EQ(Q().NativePathNameToFSSpec(theLong.c_str(), &theSpec, 0), kQTBadNameErr);
  EXPECT_EQ(Q().NativePathNameToFSSpec(nullptr, &theSpec, 0), kQTParamErr);

  // Nothing is a movie.
  SInt16 theRefNum = -1;
  EXPECT_EQ(Q().NativePathNameToFSSpec(theExisting.c_str(), &theSpec, 0), kQTNoErr);
  EXPECT_EQ(Q().OpenMovieFile(&theSpec, &theRefNum, kQTReadPermission), kQTNoMovieFoundErr);
  EXPECT_EQ(Q().GetMoviesError(), kQTNoMovieFoundErr);
  EXPECT_EQ(Q().NativePathNameToFSSpec(theMissing.c_str(), &theSpec, 0), kQTFileNotFoundErr);
  EXPECT_EQ(Q().OpenMovieFile(&theSpec, &theRefNum, kQTReadPermission), kQTFileNotFoundErr);
  Movie theMovie = nullptr;
  Handle theURL = Q().NewHandle(20);
  EXPECT_EQ(Q().NewMovieFromDataRef(&theMovie, kQTNewMovieActive, nullptr, theURL, kQTURLDataRefType),
            kQTNoMovieFoundErr);
  EXPECT_EQ(theMovie, nullptr);
  Q().DisposeHandle(theURL);
}

TEST_F(StandInTest, FixedPointAndMatrices)
{
  struct FixCase {
    double mValue;
    Fixed mFixed;
    SInt32 mLong;
  };
  const FixCase kFixCases[] = {
      {0.0, 0, 0},          {1.0, 0x10000, 1},      {-1.0, -0x10000, -1}, {72.0, 72 << 16, 72},
      {0.5, 0x8000, 1},     {-0.5, -0x8000, 0},     {2.25, 0x24000, 2},   {1e12, 0x7FFFFFFF, 32768},
  };
  for (const FixCase& theCase : kFixCases) {
    EXPECT_EQ(Q().X2Fix(theCase.mValue), theCase.mFixed) << theCase.mValue;
    EXPECT_EQ(Q().Fix2Long(theCase.mFixed), theCase.mLong) << theCase.mValue;
  }
  EXPECT_EQ(Q().Long2Fix(300), 300 << 16);
  EXPECT_EQ(Q().Long2Fix(40000), 0x7FFFFFFF);

  // RectMatrix maps the source onto the destination; TransformRect maps back.
  const Rect kSource{10, 20, 30, 60};
  const Rect kDestination{0, 0, 60, 120};
  MatrixRecord theMatrix{};
  Q().RectMatrix(&theMatrix, &kSource, &kDestination);
  Rect theRect = kSource;
  FixedPoint theCorners[4];
  EXPECT_TRUE(Q().TransformRect(&theMatrix, &theRect, theCorners));
  EXPECT_EQ(theRect.top, 0);
  EXPECT_EQ(theRect.left, 0);
  EXPECT_EQ(theRect.bottom, 60);
  EXPECT_EQ(theRect.right, 120);
  EXPECT_EQ(theCorners[2].x, 120 << 16);
  EXPECT_EQ(theCorners[2].y, 60 << 16);

  // A quarter turn: (x, y) -> (-y, x) moved right by the height.
  MatrixRecord theTurn{};
  Q().SetIdentityMatrix(&theTurn);
  theTurn.matrix[0][0] = 0;
  theTurn.matrix[0][1] = 1 << 16;
  theTurn.matrix[1][0] = -(1 << 16);
  theTurn.matrix[1][1] = 0;
  theTurn.matrix[2][0] = 30 << 16;
  Rect theImage{0, 0, 30, 50};
  EXPECT_FALSE(Q().TransformRect(&theTurn, &theImage, nullptr));
  EXPECT_EQ(theImage.left, 0);
  EXPECT_EQ(theImage.top, 0);
  EXPECT_EQ(theImage.right, 30);
  EXPECT_EQ(theImage.bottom, 50);

  RgnHandle theRegion = Q().NewRgn();
  ASSERT_NE(theRegion, nullptr);
  Q().RectRgn(theRegion, &kSource);
  Q().DisposeRgn(theRegion);
  Q().DisposeRgn(theRegion);  // gone already: ignored
}

}  // namespace
