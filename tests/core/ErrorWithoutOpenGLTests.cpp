// The error unit as the settings component builds it.
#include "core/Error.h"

#include <gtest/gtest.h>

TEST(ErrorWithoutOpenGL, WordsOpenGLCodesByNothing)
{
  Error theError;
  theError.mOpenGLCode = 1282;
  theError.AddMessage("m");
  EXPECT_TRUE(theError.HasError());
  EXPECT_EQ(theError.GetText(), "m\n");
  theError.mWindowsCode = 2;
  EXPECT_EQ(theError.GetText(), "m\nA Windows error occurred that indicates that a file could not be found (2).\n");
}
