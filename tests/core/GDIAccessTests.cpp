#include "core/GDIAccess.h"
#include "platform/gdi/Gdi.h"
#include "tests/core/EventWatcher.h"

#include <gtest/gtest.h>

TEST(GDIAccess, GivesADeviceContextForABitmap)
{
  HBITMAP theBitmap = CreateBitmap(4, 3, 1, 32, nullptr);
  ASSERT_NE(theBitmap, nullptr);
  {
    GDIAccess theAccess(theBitmap);
    EXPECT_EQ(theAccess.GetType(), OBJ_BITMAP);
    EXPECT_EQ(theAccess.GetHBITMAP(), theBitmap);
    HDC theDC = theAccess.GetHDC();
    ASSERT_NE(theDC, nullptr);
    EXPECT_EQ(theAccess.GetHDC(), theDC);
    EXPECT_EQ(GetObjectType(theDC), OBJ_MEMDC);
    EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);
    // Selected, the bitmap cannot be deleted.
    EXPECT_FALSE(DeleteObject(theBitmap));
  }
  // Released: the context is gone and the bitmap free again.
  EXPECT_TRUE(DeleteObject(theBitmap));
}

TEST(GDIAccess, FindsTheBitmapOfADeviceContext)
{
  HDC theDC = CreateCompatibleDC(nullptr);
  HBITMAP theBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  ASSERT_NE(SelectObject(theDC, theBitmap), nullptr);
  {
    GDIAccess theAccess(theDC);
    EXPECT_EQ(theAccess.GetType(), OBJ_MEMDC);
    EXPECT_EQ(theAccess.GetHDC(), theDC);
    EXPECT_EQ(theAccess.GetHBITMAP(), theBitmap);
    EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);

    // Taken: the bitmap is free to go into another context until Release.
    tltest::EventWatcher theWatcher;
    EXPECT_EQ(theAccess.TakeHBITMAP(), theBitmap);
    ASSERT_EQ(theWatcher.NewTexts().size(), 1u);
    EXPECT_NE(theWatcher.NewTexts()[0].find("GDIAccess"), std::string::npos);
    EXPECT_NE(theWatcher.NewTexts()[0].find("(FALSE)"), std::string::npos);
    HDC theOther = CreateCompatibleDC(nullptr);
    HGDIOBJ thePrevious = SelectObject(theOther, theBitmap);
    ASSERT_NE(thePrevious, nullptr);
    SelectObject(theOther, thePrevious);
    DeleteDC(theOther);
    theAccess.Release();
    theAccess.Release();
    EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);
  }
  EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);
  DeleteDC(theDC);
  EXPECT_TRUE(DeleteObject(theBitmap));
}

TEST(GDIAccess, HasNothingForOtherObjects)
{
  GDIAccess theNone;
  EXPECT_EQ(theNone.GetType(), 0u);
  EXPECT_EQ(theNone.GetHDC(), nullptr);
  EXPECT_EQ(theNone.GetHBITMAP(), nullptr);

  HBRUSH theBrush = CreateSolidBrush(RGB(1, 2, 3));
  GDIAccess theAccess(theBrush);
  EXPECT_EQ(theAccess.GetType(), 0u);
  EXPECT_EQ(theAccess.GetHDC(), nullptr);
  DeleteObject(theBrush);

  // A bitmap already selected elsewhere gives no context.
  HBITMAP theBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  HDC theDC = CreateCompatibleDC(nullptr);
  HGDIOBJ thePrevious = SelectObject(theDC, theBitmap);
  GDIAccess theBusy(theBitmap);
  EXPECT_EQ(theBusy.GetHDC(), nullptr);
  theBusy.Set(theDC);
  EXPECT_EQ(theBusy.GetHBITMAP(), theBitmap);
  theBusy.Release();
  SelectObject(theDC, thePrevious);
  DeleteDC(theDC);
  DeleteObject(theBitmap);
}
