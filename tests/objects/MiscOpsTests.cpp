// DrawCanvas and SetChannel on Bitmaps, with another Bitmap's device context
// as the image: both roads of DrawCanvas and what each leaves of the source,
// a canvas drawn onto itself, thin sources, refused handles; SetChannel's
// grey levels into each channel and the canvases it first brings to 32 bits.

#include "core/Bitmap.h"
#include "core/Preferences.h"
#include "objects/MiscOps.h"
#include "tests/objects/ObjectsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

using tltest::MakePixels;
using tltest::PixelWord;
using tltest::SetPixelWord;

constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kGreen = 0xFF00FF00;
constexpr DWORD kBlue = 0xFF0000FF;
constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kGrey = 0xFF808080;

// The error text of the run, empty for success.
std::string Outcome(Operation& ioOp, Bitmap& inWorld)
{
  ioOp.Run(inWorld, nullptr);
  return ioOp.GetError()->HasError() ? ioOp.GetError()->GetText() : "";
}

std::string Draw(Bitmap& inWorld, HGDIOBJ inImage, const std::string& inParams, RECT* outRect = nullptr)
{
  DrawCanvas theOp;
  theOp.SetImage(inImage);
  theOp.SetParameters(inParams);
  std::string theError = Outcome(theOp, inWorld);
  if (outRect)
    *outRect = theOp.GetRect();
  return theError;
}

std::string Channel(Bitmap& inWorld, HGDIOBJ inImage, const char* inChannel)
{
  SetChannel theOp;
  theOp.SetImage(inImage);
  theOp.SetChannelIndex(inChannel);
  return Outcome(theOp, inWorld);
}

std::vector<DWORD> Words(Bitmap& inWorld)
{
  std::vector<DWORD> theWords;
  for (LONG y = 0; y < inWorld.GetHeight(); ++y)
    for (LONG x = 0; x < inWorld.GetWidth(); ++x)
      theWords.push_back(PixelWord(inWorld, x, y));
  return theWords;
}

void Fill(Bitmap& ioWorld, LONG inWidth, LONG inHeight, DWORD (*inPicture)(LONG, LONG))
{
  MakePixels(ioWorld, inWidth, inHeight);
  for (LONG y = 0; y < inHeight; ++y)
    for (LONG x = 0; x < inWidth; ++x)
      SetPixelWord(ioWorld, x, y, inPicture(x, y));
}

// 40 x 30: red, green, blue and white quadrants.
void MakeQuadrants(Bitmap& ioWorld)
{
  Fill(ioWorld, 40, 30, [](LONG x, LONG y) -> DWORD {
    if (y < 15)
      return x < 20 ? kRed : kGreen;
    return x < 20 ? kBlue : kWhite;
  });
}

// Colours of the picture that are none of the quadrants' nor the grey
// background: what interpolation makes along the edges.
int BlendedColours(Bitmap& inWorld)
{
  std::set<DWORD> theColours;
  for (DWORD theWord : Words(inWorld))
    theColours.insert(theWord & 0xFFFFFF);
  for (DWORD thePure : {kRed, kGreen, kBlue, kWhite, kGrey})
    theColours.erase(thePure & 0xFFFFFF);
  return static_cast<int>(theColours.size());
}

TEST(DrawCanvas, CopyWithARotationWarpsOtherModesAndPreferencesCopyThroughGDI)
{
  struct Case {
    const char* mParams;
    LONG mIPLTransform;
    bool mBlended;
  };
  const Case kCases[] = {
      {"mode=copy rotate=30", 1, true},
      {"rotate=30", 1, true},
      {"mode=transparent modecolor=#0000FF rotate=30", 1, false},
      {"mode=copy rotate=30", 0, false},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mParams) + ", IPLTransform " + std::to_string(theCase.mIPLTransform));
    ASSERT_EQ(SetPrefLong("IPLTransform", theCase.mIPLTransform), ERROR_SUCCESS);
    Bitmap theSource;
    MakeQuadrants(theSource);
    const std::vector<DWORD> theBefore = Words(theSource);
    Bitmap theCanvas;
    theCanvas.SetColor(ColorValue{32896, 32896, 32896, 65535});
    MakePixels(theCanvas, 80, 80);
    EXPECT_EQ(Draw(theCanvas, theSource.GetHDC(), theCase.mParams), "");
    EXPECT_EQ(BlendedColours(theCanvas) > 0, theCase.mBlended);
    EXPECT_EQ(Words(theSource), theBefore) << "the source's pixels changed";
  }
  ASSERT_EQ(SetPrefLong("IPLTransform", 1), ERROR_SUCCESS);
}

// Stretched by 2, 3, 10 and 3.7, the kernel road covers the stretched
// picture to its last column and row and puts its colour edges where the GDI
// road does.
TEST(DrawCanvas, StretchesCoverThePlacedRectangleOnBothRoads)
{
  Bitmap theSource;
  MakeQuadrants(theSource);
  for (const double theScale : {2.0, 3.0, 10.0, 3.7}) {
    const std::string theParams = "x=4 y=6 stretch=" + std::to_string(theScale) + "," + std::to_string(theScale) + ",4,6";
    SCOPED_TRACE(theParams);
    Bitmap theRoads[2];
    for (LONG theRoad : {1, 0}) {
      ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
      theRoads[theRoad].SetColor(ColorValue{32896, 32896, 32896, 65535});
      MakePixels(theRoads[theRoad], 420, 320);
      EXPECT_EQ(Draw(theRoads[theRoad], theSource.GetHDC(), theParams), "");
    }
    const RECT thePlaced{4, 6, 4 + static_cast<LONG>(std::lround(40 * theScale)),
                         6 + static_cast<LONG>(std::lround(30 * theScale))};
    EXPECT_EQ(tltest::QuadrantPlacementFaults(theRoads[1], theRoads[0], thePlaced, kGrey, 2), "");
  }
  ASSERT_EQ(SetPrefLong("IPLTransform", 1), ERROR_SUCCESS);
}

TEST(DrawCanvas, AnEmptyCanvasTakesTheImagesSizeAndThePlacementIsTheRectangle)
{
  Bitmap theSource;
  MakeQuadrants(theSource);
  Bitmap theCanvas;
  RECT theRect{};
  EXPECT_EQ(Draw(theCanvas, theSource.GetHDC(), "", &theRect), "");
  EXPECT_EQ(theCanvas.GetWidth(), 40);
  EXPECT_EQ(theCanvas.GetHeight(), 30);
  EXPECT_EQ(FormatRect(theRect), "0,0,40,30");
  EXPECT_EQ(Words(theCanvas), Words(theSource));

  Bitmap theBig;
  MakePixels(theBig, 100, 100);
  EXPECT_EQ(Draw(theBig, theSource.GetHDC(), "rect=10,20,30,40", &theRect), "");
  EXPECT_EQ(FormatRect(theRect), "10,20,30,40");
  EXPECT_EQ(PixelWord(theBig, 12, 22) & 0xFFFFFF, kRed & 0xFFFFFF);
  EXPECT_EQ(PixelWord(theBig, 28, 38) & 0xFFFFFF, kWhite & 0xFFFFFF);
  EXPECT_EQ(PixelWord(theBig, 40, 50) & 0xFFFFFF, kWhite & 0xFFFFFF);
}

TEST(DrawCanvas, ACanvasDrawnOntoItselfGivesWhatACopyOfItWouldGive)
{
  for (const char* theParams : {"rotate=30", "mode=transparent modecolor=#0000FF rotate=30", "rect=5,5,25,20"}) {
    SCOPED_TRACE(theParams);
    Bitmap theCanvas;
    MakeQuadrants(theCanvas);
    Bitmap theCopy;
    MakeQuadrants(theCopy);
    Bitmap theExpected;
    MakeQuadrants(theExpected);
    EXPECT_EQ(Draw(theExpected, theCopy.GetHDC(), theParams), "");
    EXPECT_EQ(Draw(theCanvas, theCanvas.GetHDC(), theParams), "");
    EXPECT_EQ(Words(theCanvas), Words(theExpected));
  }
}

TEST(DrawCanvas, ASourceOneByFortyIsStretched)
{
  Bitmap theSource;
  Fill(theSource, 1, 40, [](LONG, LONG) { return kRed; });
  Bitmap theCanvas;
  MakePixels(theCanvas, 40, 40);
  RECT theRect{};
  EXPECT_EQ(Draw(theCanvas, theSource.GetHDC(), "stretch=10,1", &theRect), "");
  EXPECT_EQ(FormatRect(theRect), "0,0,1,40");
  EXPECT_EQ(PixelWord(theCanvas, 5, 20) & 0xFFFFFF, kRed & 0xFFFFFF);
  EXPECT_EQ(PixelWord(theCanvas, 15, 20) & 0xFFFFFF, kWhite & 0xFFFFFF);
}

TEST(DrawCanvas, AndSetChannelRefuseHandlesThatAreNoImageAndDrawNothing)
{
  Bitmap theStale;
  MakePixels(theStale, 8, 8);
  HDC theStaleDC = theStale.GetHDC();
  theStale.Clear();
  const HGDIOBJ kHandles[] = {NumberToHandle<HGDIOBJ>(12345), nullptr, theStaleDC};
  for (HGDIOBJ theHandle : kHandles) {
    SCOPED_TRACE(HandleToNumber(theHandle));
    Bitmap theCanvas;
    MakeQuadrants(theCanvas);
    const std::vector<DWORD> theBefore = Words(theCanvas);
    std::string theError = Draw(theCanvas, theHandle, "rotate=30");
    EXPECT_NE(theError.find("Unable to understand image provided"), std::string::npos) << theError;
    EXPECT_NE(theError.find("Draw Canvas:"), std::string::npos) << theError;
    theError = Channel(theCanvas, theHandle, "alpha");
    EXPECT_NE(theError.find("Unable to understand image provided"), std::string::npos) << theError;
    EXPECT_NE(theError.find("Set Channel:"), std::string::npos) << theError;
    EXPECT_EQ(Words(theCanvas), theBefore);
  }
}

// 256 x 8: grey level x at column x.
void MakeRamp(Bitmap& ioWorld)
{
  Fill(ioWorld, 256, 8, [](LONG x, LONG) { return 0xFF000000u | static_cast<DWORD>(x) * 0x010101u; });
}

TEST(SetChannel, EachPixelsGreyGoesIntoTheChannelAndNothingElseChanges)
{
  Bitmap theRamp;
  MakeRamp(theRamp);
  constexpr DWORD kCanvasWord = 0x40C08020;  // A 40, R C0, G 80, B 20
  const struct {
    const char* mChannel;
    int mShift;
  } kCases[] = {{"alpha", 24}, {"red", 16}, {"Green", 8}, {"blue", 0}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mChannel);
    Bitmap theCanvas;
    Fill(theCanvas, 256, 8, [](LONG, LONG) { return kCanvasWord; });
    ASSERT_EQ(Channel(theCanvas, theRamp.GetHDC(), theCase.mChannel), "");
    const DWORD theMask = 0xFFu << theCase.mShift;
    std::set<DWORD> theLevels;
    for (LONG y = 0; y < 8; ++y) {
      for (LONG x = 0; x < 256; ++x) {
        const DWORD theWord = PixelWord(theCanvas, x, y);
        const DWORD theLevel = (theWord & theMask) >> theCase.mShift;
        theLevels.insert(theLevel);
        ASSERT_LE(std::abs(theLevel * 100.0 / 255 - x * 100.0 / 255), 0.5) << x << "," << y;
        ASSERT_EQ(theWord & ~theMask, kCanvasWord & ~theMask) << x << "," << y;
      }
    }
    EXPECT_GE(theLevels.size(), 250u);
  }
}

TEST(SetChannel, AnUnknownChannelIsRefusedAndWritesNothing)
{
  Bitmap theRamp;
  MakeRamp(theRamp);
  Bitmap theCanvas;
  MakeQuadrants(theCanvas);
  const std::vector<DWORD> theBefore = Words(theCanvas);
  const std::string theError = Channel(theCanvas, theRamp.GetHDC(), "cyan");
  EXPECT_NE(theError.find("Unable to understand channel."), std::string::npos) << theError;
  EXPECT_EQ(Words(theCanvas), theBefore);
}

TEST(SetChannel, EmptyAndEightBitCanvasesBecome32BitFirst)
{
  Bitmap theRamp;
  MakeRamp(theRamp);

  Bitmap theEmpty;
  ASSERT_EQ(Channel(theEmpty, theRamp.GetHDC(), "alpha"), "");
  EXPECT_EQ(theEmpty.GetWidth(), 256);
  EXPECT_EQ(theEmpty.GetHeight(), 256);
  EXPECT_EQ(PixelWord(theEmpty, 200, 100) >> 24, 200u);

  Bitmap theIndexed;
  theIndexed.SetColor(ColorValue{65535, 0, 0, 65535});
  MakePixels(theIndexed, 256, 8, 8);
  ASSERT_EQ(Channel(theIndexed, theRamp.GetHDC(), "blue"), "");
  EXPECT_EQ(theIndexed.GetDepth(), 32);
  EXPECT_EQ(PixelWord(theIndexed, 100, 3) & 0xFFFFFF, 0xFF0064u);
}

}  // namespace
