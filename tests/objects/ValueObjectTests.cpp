// XColor, XRect and XPoint: the page of cases a script runs (both ProgIDs,
// the edge cases and every refusal), and in-process the null pointers.

#include "objects/XColor.h"
#include "objects/XPoint.h"
#include "objects/XRect.h"
#include "tests/objects/PageSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ValueObjects, PartsAndTextsOfColoursRectanglesAndPoints)
{
  tltest::RunResult theResult = tltest::Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  theResult = tltest::RunPage("values.js");
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, tltest::Expected("values.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

TEST(ValueObjects, NullPointersAnswerEPointer)
{
  ObjectPtr<XColor> theColor;
  ObjectPtr<XRect> theRect;
  ObjectPtr<XPoint> thePoint;
  ASSERT_EQ(ComObject<XColor>::Create(nullptr, theColor), S_OK);
  ASSERT_EQ(ComObject<XRect>::Create(nullptr, theRect), S_OK);
  ASSERT_EQ(ComObject<XPoint>::Create(nullptr, thePoint), S_OK);
  for (HRESULT theResult :
       {theColor->get_String(nullptr), theColor->get_Red(nullptr), theColor->get_Alpha(nullptr),
        theColor->get_RGB(nullptr), theRect->get_String(nullptr), theRect->get_Left(nullptr),
        theRect->get_TopLeft(nullptr), theRect->get_BottomRight(nullptr), theRect->get_Width(nullptr),
        theRect->get_Height(nullptr), thePoint->get_String(nullptr), thePoint->get_x(nullptr),
        thePoint->get_y(nullptr)})
    EXPECT_EQ(theResult, E_POINTER);
  EXPECT_EQ(theColor->InterfaceSupportsErrorInfo(IXColor::kIID), S_OK);
  EXPECT_EQ(theColor->InterfaceSupportsErrorInfo(IXRect::kIID), S_FALSE);
  EXPECT_EQ(theRect->InterfaceSupportsErrorInfo(IXRect::kIID), S_OK);
  EXPECT_EQ(thePoint->InterfaceSupportsErrorInfo(IXPoint::kIID), S_OK);
}

}  // namespace
