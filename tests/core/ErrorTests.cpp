#include "core/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

TEST(Error, ComposesMessagesCodesAndContext)
{
  Error theError;
  EXPECT_EQ(theError.GetText(), "No errors occurred");
  theError.AddContext("Draw Shape:");
  EXPECT_FALSE(theError.HasError());
  EXPECT_EQ(theError.GetText(), "No errors occurred");

  Error theFull;
  theFull.AddMessage("Unable to draw.");
  theFull.AddContext("Do DrawFile");
  theFull.AddContext("path=x.jpg");
  theFull.mOpenGLCode = 1282;
  theFull.mHResultCode = static_cast<LONG>(0x80070057u);
  theFull.mWindowsCode = 5;
  theFull.mQuickTimeCode = -43;
  EXPECT_EQ(theFull.GetText(),
            "Unable to draw.\n"
            "A QuickTime error occurred indicating that the file was not found (-43).\n"
            "Windows error 5. Access is denied.\r\n"
            "Windows error -2147024809. The parameter is incorrect.\r\n"
            "An OpenGL error occurred that indicates that an operation was impossible to perform (1282).\n"
            "\n\nDo DrawFile path=x.jpg");
  // Composed afresh at every call.
  theFull.mOpenGLCode = theFull.mHResultCode = theFull.mWindowsCode = 0;
  EXPECT_EQ(theFull.GetText(), "Unable to draw.\nA QuickTime error occurred indicating that the file was not found "
                               "(-43).\n\n\nDo DrawFile path=x.jpg");

  // Clearing keeps the context only when asked to.
  theFull.Clear(true);
  EXPECT_FALSE(theFull.HasError());
  theFull.AddMessage("again");
  EXPECT_EQ(theFull.GetText(), "again\n\n\nDo DrawFile path=x.jpg");
  theFull.Clear(false);
  theFull.AddMessage("third");
  theFull.AddMessage("fourth");
  EXPECT_EQ(theFull.GetText(), "third fourth\n");
}

TEST(Error, WordsEveryQuickTimeCode)
{
  struct Case {
    LONG mCode;
    const char* mWording;
  };
  const Case kCases[] = {
    {-23, "the file was open"}, {-34, "the disk was full."},
    {-36, "a file read/write error occured"}, {-37, "a file name was incorrect or bad"},
    {-39, "not enough data was found"}, {-43, "the file was not found"},
    {-47, "the file was busy"}, {-48, "a file or folder with the specified name already exists."},
    {-50, "the parameters given were incorrect"}, {-54, "an attempt was made to open a locked file for writing"},
    {-108, "there was not enough memory"}, {-192, "a resource was not found in its file"},
    {-193, "a resource file was not found"}, {-199, "a resource file was corrupt"},
    {-2000, "it could not get data from the given reference - eg the source file did not exist"},
    {-2001, "it could not get an image description - the image file was probably corrupt"},
    {-2003, "it does not support this type of image"}, {-2004, "it could not open the graphics importer it found"},
    {-2048, "no movie was found"}, {-2054, "there was no video track in the movie"},
    {-2127, "the network was already allocated"}, {-2129, "there was an HTTP protocol error"},
    {-2130, "there was no HTTP net driver"}, {-2131, "there was an HTTP URL error"},
    {-2132, "there was a re-direction error"}, {-2133, "there was an FTP protocol error"},
    {-2134, "there was an FTP shutdown"}, {-2135, "the FTP user was not recognised"},
    {-2136, "the FTP password was not recognised"}, {-2137, "there was an FTP server error"},
    {-2138, "there was an FTP connection error"}, {-2139, "the FTP directory was not found"},
    {-2140, "the FTP quota was exceeded"}, {-2141, "the FTP permissions denied access"},
    {-2142, "the FTP filename caused an error"}, {-2143, "there was no FTP net driver"},
    {-2144, "there was a bad name list error"}, {-2145, "the FTP server required a password"},
    {-2146, "there was no FTP password"}, {-2147, "the FTP server disconnected"},
    {-2148, "there was an FTP URL error"}, {-2149, "there was not enough data"},
    {-2157, "an action was not handled"}, {-2158, "there was an XML parse error"},
    {-2159, "there was an XML application error"}, {-3000, "it was asked to use a Component that does not exist"},
    {-5000, "security denied access"}, {-8969, "the compressed data contained inconsistencies"},
    {-2147450879, "the Component was bad"}, {-2147450878, "the Component was asked to perform a task it cannot do"},
  };
  ASSERT_EQ(std::size(kCases), 50u);
  for (const Case& theCase : kCases) {
    Error theError;
    theError.mQuickTimeCode = theCase.mCode;
    EXPECT_EQ(theError.GetText(), std::string("A QuickTime error occurred indicating that ") + theCase.mWording + " (" +
                                    std::to_string(theCase.mCode) + ").\n");
  }
  Error theUnknown;
  theUnknown.mQuickTimeCode = -9999;
  EXPECT_EQ(theUnknown.GetText(),
            "A QuickTime error of type -9999 occurred. Please consult the Apple web site for details.\n");
}

TEST(Error, WordsWindowsAndOpenGLCodes)
{
  const std::tuple<LONG Error::*, LONG, const char*> kCases[] = {
    {&Error::mWindowsCode, 2, "A Windows error occurred that indicates that a file could not be found (2).\n"},
    {&Error::mWindowsCode, 14, "A Windows error occurred that indicates that there was not enough memory (14).\n"},
    {&Error::mWindowsCode, 87, "Windows error 87. The parameter is incorrect.\r\n"},
    // No system text: the sentence still ends, so the next does not run on.
    {&Error::mHResultCode, 987654, "Windows error 987654.\n"},
    {&Error::mOpenGLCode, 1280, "An OpenGL error occurred that indicates that an incorrect value was given (1280).\n"},
    {&Error::mOpenGLCode, 1285,
     "An OpenGL error occurred that indicates that there was not enough memory to complete the operation (1285).\n"},
    {&Error::mOpenGLCode, 100900, "An OpenGL error - invalid enumerant - (100900) occurred.\n"},
    // GLU has no wording: worded as an unknown error.
    {&Error::mOpenGLCode, 424242, "An OpenGL error - unknown error - (424242) occurred.\n"},
  };
  for (const auto& [theField, theCode, theText] : kCases) {
    Error theError;
    theError.*theField = theCode;
    EXPECT_TRUE(theError.HasError());
    EXPECT_EQ(theError.GetText(), theText) << theCode;
  }
  Error theTwo;
  theTwo.mWindowsCode = 987654;
  theTwo.mHResultCode = 987655;
  EXPECT_EQ(theTwo.GetText(), "Windows error 987654.\nWindows error 987655.\n");
}

TEST(Error, ReportsPropertyAndMethodFailures)
{
  Error theSet, theGet, theMethod;
  theSet.SetPropertyFailed("Canvas Width", "abc", 0, 0);
  theGet.GetPropertyFailed("Canvas Image", -108, 0);
  theMethod.MethodFailed("SaveAs", "x.gif", 0, 0);
  EXPECT_EQ(theSet.GetText(), "Unable to set property\n\n\nSet Canvas Width  =  abc");
  EXPECT_EQ(theGet.GetText(),
            "A QuickTime error occurred indicating that there was not enough memory (-108).\n\n\nGet Canvas Image");
  EXPECT_EQ(theMethod.GetText(), "Unable to complete the operation\n\n\nDo SaveAs x.gif");
}
