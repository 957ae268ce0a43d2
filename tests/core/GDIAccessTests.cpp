#include "core/GDIAccess.h"
#include "platform/gdi/Gdi.h"
#include "tests/core/EventWatcher.h"

#include <gtest/gtest.h>

TEST(GDIAccess, SelectsABitmapIntoAContextOfItsOwnUntilReleased)
{
  HBITMAP theBitmap = CreateBitmap(4, 3, 1, 32, nullptr);
  {
    GDIAccess theAccess(theBitmap);
    EXPECT_EQ(theAccess.GetType(), OBJ_BITMAP);
    HDC theDC = theAccess.GetHDC();
    ASSERT_NE(theDC, nullptr);
    EXPECT_EQ(theAccess.GetHDC(), theDC);
    EXPECT_EQ(GetCurrentObject(theDC, OBJ_BITMAP), theBitmap);
    EXPECT_FALSE(DeleteObject(theBitmap)) << "selected, the bitmap cannot be deleted";
  }
  EXPECT_TRUE(DeleteObject(theBitmap));
}

TEST(GDIAccess, FindsTheBitmapOfAContextAndLendsItOut)
{
  HDC theDC = CreateCompatibleDC(nullptr);
  HBITMAP theBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  ASSERT_NE(SelectObject(theDC, theBitmap), nullptr);
  {
    GDIAccess theAccess(theDC);
    EXPECT_EQ(theAccess.GetType(), OBJ_MEMDC);
    EXPECT_EQ(theAccess.GetHBITMAP(), theBitmap);
    // Taken: reported, and free to go into another context until Release.
    tltest::EventWatcher theWatcher;
    EXPECT_EQ(theAccess.TakeHBITMAP(), theBitmap);
    EXPECT_EQ(theWatcher.NewAssertions("GDIAccess"), std::vector<std::string>{"(FALSE)"});
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

TEST(GDIAccess, HasNothingForOtherObjectsOrABitmapInUse)
{
  HBRUSH theBrush = CreateSolidBrush(RGB(1, 2, 3));
  for (HGDIOBJ theObject : {HGDIOBJ{}, HGDIOBJ(theBrush)}) {
    GDIAccess theAccess(theObject);
    EXPECT_EQ(theAccess.GetType(), 0u);
    EXPECT_EQ(theAccess.GetHDC(), nullptr);
    EXPECT_EQ(theAccess.GetHBITMAP(), nullptr);
  }
  DeleteObject(theBrush);

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
