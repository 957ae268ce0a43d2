// Selections into the alpha channel and the rectangle GetInfo reads back,
// mostly on a white 20 x 20 picture with one red pixel at (5,7).

#include "core/Bitmap.h"
#include "objects/GetInfo.h"
#include "objects/Select.h"
#include "platform/base/Numbers.h"
#include "platform/base/WinError.h"
#include "tests/objects/ObjectsTestSupport.h"

#include <gtest/gtest.h>

namespace {

DWORD Alpha(Bitmap& inWorld, LONG inX, LONG inY)
{
  return tltest::PixelWord(inWorld, inX, inY) >> 24;
}

// The error text of a Select run, empty when there is no error.
std::string RunSelect(Bitmap& ioWorld, const char* inType, const char* inParams)
{
  Select theOp;
  theOp.SetSelectionType(inType);
  static_cast<void>(theOp.SetParameters(inParams));
  theOp.Run(ioWorld, nullptr);
  return theOp.GetError()->HasError() ? theOp.GetError()->GetText() : "";
}

std::string SelectionRect(Bitmap& inWorld)
{
  GetInfo theOp;
  theOp.SetType("SelectionRect");
  theOp.Run(inWorld, nullptr);
  return theOp.GetResultText() ? theOp.GetResultText() : "(no text)";
}

TEST(Select, ByColourADistanceRightAtTheLimitIsTakenByNeitherType)
{
  struct Case {
    const char* mType;
    const char* mParams;
    const char* mRect;
    LONG mSelected;
  } const kCases[] = {
    {"all", "", "0,0,20,20", 400},
    {"none", "", "0,0,0,0", 0},
    {"color", "keycolor=#FF0000 tolerance=1", "5,7,6,8", 1},
    {"color", "keylocation=5,7 tolerance=1", "5,7,6,8", 1},
    {"color", "keycolor=#FF0000", "0,0,0,0", 0},
    {"notcolor", "keycolor=#FF0000", "0,0,20,20", 399},
    // t = trunc(1 x 2.56) = 2: white is 3 x 2^2 from #FDFDFD, right at the limit.
    {"color", "keycolor=#FDFDFD tolerance=1", "0,0,0,0", 0},
    {"notcolor", "keycolor=#FDFDFD tolerance=1", "5,7,6,8", 1},
    // White is 195075 from black: below 3 x 256^2, above 3 x 253^2.
    {"color", "keycolor=#000000 tolerance=100", "0,0,20,20", 400},
    {"color", "keycolor=#000000 tolerance=99", "5,7,6,8", 1},
    {"color", "keycolor=#000000 tolerance=1e30", "0,0,20,20", 400},
    {"notcolor", "keycolor=#000000 tolerance=-5", "0,0,20,20", 400},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mType) + " " + theCase.mParams);
    Bitmap theWorld;
    tltest::MakeRedDotPicture(theWorld);
    EXPECT_EQ(RunSelect(theWorld, theCase.mType, theCase.mParams), "");
    EXPECT_EQ(SelectionRect(theWorld), theCase.mRect);
    LONG theSelected = 0;
    for (LONG i = 0; i < 400; ++i)
      theSelected += Alpha(theWorld, i % 20, i / 20) == 255;
    EXPECT_EQ(theSelected, theCase.mSelected);
  }
}

TEST(Select, TheModeCombinesTheSelectionWithTheAlphaAndKeepsTheColours)
{
  struct Step {
    const char* mType;
    const char* mParams;
    DWORD mWhiteAlpha, mRedAlpha;
  } const kSteps[] = {
    {"all", "mode=addpin modecolor=#640000", 100, 100},
    {"all", "mode=addover", 99, 99},
    {"all", "mode=subpin modecolor=#320000", 50, 50},
    {"all", "mode=subover", 51, 51},
    {"all", "mode=addmax", 255, 255},
    {"none", "mode=addmin", 0, 0},
    {"all", "mode=blend", 255, 255},
    {"color", "keycolor=#FF0000 tolerance=1 mode=submin", 255, 0},
    {"all", "mode=subpin modecolor=#640000", 100, 100},
    {"notcolor", "keycolor=#FF0000 mode=addmin", 100, 0},
  };
  Bitmap theWorld;
  tltest::MakeRedDotPicture(theWorld);
  for (const Step& theStep : kSteps) {
    SCOPED_TRACE(std::string(theStep.mType) + " " + theStep.mParams);
    EXPECT_EQ(RunSelect(theWorld, theStep.mType, theStep.mParams), "");
    EXPECT_EQ(Alpha(theWorld, 19, 0), theStep.mWhiteAlpha);
    EXPECT_EQ(Alpha(theWorld, 5, 7), theStep.mRedAlpha);
  }
  EXPECT_EQ(tltest::PixelWord(theWorld, 19, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(tltest::PixelWord(theWorld, 5, 7) & 0xFFFFFF, tltest::kRedWord);
}

TEST(Select, TheCanvasIsMade32BitAndAnEmptyOne256By256)
{
  struct Case {
    LONG mWidth, mHeight, mDepth;  // a height of 0: no pixels
    const char* mRect;
  } const kCases[] = {{0, 0, 32, "0,0,256,256"}, {40, 0, 32, "0,0,40,40"}, {10, 10, 8, "0,0,10,10"}};
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mRect);
    Bitmap theWorld;
    if (theCase.mHeight > 0)
      tltest::MakePixels(theWorld, theCase.mWidth, theCase.mHeight, theCase.mDepth);
    theWorld.SetWidth(theCase.mWidth);
    EXPECT_EQ(RunSelect(theWorld, "all", ""), "");
    EXPECT_EQ(theWorld.GetDepth(), 32);
    EXPECT_EQ(SelectionRect(theWorld), theCase.mRect);
  }
}

// A refused height stays set ahead of the 50 x 50 pixels.
TEST(Select, AfterARefusedResizeItFailsAndTheSelectionIsReadFromThePixels)
{
  Bitmap theWorld;
  tltest::MakePixels(theWorld, 50, 50);
  theWorld.SetHeight(30000000);
  ASSERT_EQ(theWorld.Update(), ERROR_NOT_ENOUGH_MEMORY);
  const std::string theContext = "Parameters={} Canvas={Width=50 Height=30000000 Depth=32 Buffer=" +
                                 std::to_string(HandleToNumber(theWorld.GetHBITMAP())) + "}";
  EXPECT_EQ(RunSelect(theWorld, "all", ""),
            "A Windows error occurred that indicates that there was not enough memory (8).\n\n\nSelect: Type={all} " +
                theContext + " Unable to draw shape");
  EXPECT_EQ(SelectionRect(theWorld), "0,0,0,0");
  EXPECT_EQ(RunSelect(theWorld, "sideways", ""),
            "Could not understand value of parameter \"selectiontype=sideways\"\n\n\nSelect: Type={sideways} " +
                theContext);
}

TEST(GetInfo, EachQueryOnEachCanvas)
{
  struct Case {
    const char* mType;
    LONG mWidth, mDepth;
    const char* mText;  // null: no text
    LONG mBytes;        // -1: no bytes
  } const kCases[] = {
    {"selectionrect", 7, 16, "0,0,7,7", -1}, {"selectionrect", 0, 32, "0,0,0,0", -1}, {"PALETTE", 4, 8, nullptr, 768},
    {"palette", 4, 32, nullptr, 0},          {"palette", 0, 32, nullptr, 0},          {"nonsense", 4, 32, nullptr, -1},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string(theCase.mType) + " " + std::to_string(theCase.mDepth));
    Bitmap theWorld;
    if (theCase.mWidth > 0)
      tltest::MakePixels(theWorld, theCase.mWidth, theCase.mWidth, theCase.mDepth);
    GetInfo theOp;
    theOp.SetType(theCase.mType);
    theOp.Run(theWorld, nullptr);
    EXPECT_FALSE(theOp.GetError()->HasError());
    EXPECT_EQ(theOp.HasText(), theCase.mText != nullptr);
    EXPECT_STREQ(theOp.GetResultText(), theCase.mText);
    EXPECT_EQ(theOp.HasData(), theCase.mBytes >= 0);
    EXPECT_EQ(static_cast<LONG>(theOp.GetDataSize()), std::max<LONG>(theCase.mBytes, 0));
    EXPECT_EQ(theOp.GetDataPtr() == nullptr, theCase.mBytes <= 0) << "no pointer without bytes";
  }
}

}  // namespace
