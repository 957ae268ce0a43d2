#include "core/Error.h"

#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/SystemText.h"
#include "platform/base/WinError.h"

#ifndef TL_ERROR_WITHOUT_OPENGL
#include <GL/glu.h>
#endif

namespace {

struct Wording {
  LONG mCode;
  const char* mText;
};

constexpr LONG ComponentResult(DWORD inValue)
{
  return static_cast<LONG>(inValue);
}

constexpr Wording kQuickTimeWordings[] = {
  {-23, "the file was open"},
  {-34, "the disk was full."},
  {-36, "a file read/write error occured"},
  {-37, "a file name was incorrect or bad"},
  {-39, "not enough data was found"},
  {-43, "the file was not found"},
  {-47, "the file was busy"},
  {-48, "a file or folder with the specified name already exists."},
  {-50, "the parameters given were incorrect"},
  {-54, "an attempt was made to open a locked file for writing"},
  {-108, "there was not enough memory"},
  {-192, "a resource was not found in its file"},
  {-193, "a resource file was not found"},
  {-199, "a resource file was corrupt"},
  {-2000, "it could not get data from the given reference - eg the source file did not exist"},
  {-2001, "it could not get an image description - the image file was probably corrupt"},
  {-2003, "it does not support this type of image"},
  {-2004, "it could not open the graphics importer it found"},
  {-2048, "no movie was found"},
  {-2054, "there was no video track in the movie"},
  {-2127, "the network was already allocated"},
  {-2129, "there was an HTTP protocol error"},
  {-2130, "there was no HTTP net driver"},
  {-2131, "there was an HTTP URL error"},
  {-2132, "there was a re-direction error"},
  {-2133, "there was an FTP protocol error"},
  {-2134, "there was an FTP shutdown"},
  {-2135, "the FTP user was not recognised"},
  {-2136, "the FTP password was not recognised"},
  {-2137, "there was an FTP server error"},
  {-2138, "there was an FTP connection error"},
  {-2139, "the FTP directory was not found"},
  {-2140, "the FTP quota was exceeded"},
  {-2141, "the FTP permissions denied access"},
  {-2142, "the FTP filename caused an error"},
  {-2143, "there was no FTP net driver"},
  {-2144, "there was a bad name list error"},
  {-2145, "the FTP server required a password"},
  {-2146, "there was no FTP password"},
  {-2147, "the FTP server disconnected"},
  {-2148, "there was an FTP URL error"},
  {-2149, "there was not enough data"},
  {-2157, "an action was not handled"},
  {-2158, "there was an XML parse error"},
  {-2159, "there was an XML application error"},
  {-3000, "it was asked to use a Component that does not exist"},
  {-5000, "security denied access"},
  {-8969, "the compressed data contained inconsistencies"},
  {ComponentResult(0x80008001u), "the Component was bad"},
  {ComponentResult(0x80008002u), "the Component was asked to perform a task it cannot do"},
};

constexpr Wording kWindowsWordings[] = {
  {2, "a file could not be found"},    {3, "a file path could not be found"}, {8, "there was not enough memory"},
  {14, "there was not enough memory"}, {15, "the drive did not exist"},
};

#ifndef TL_ERROR_WITHOUT_OPENGL
constexpr Wording kOpenGLWordings[] = {
  {1280, "an incorrect value was given"},
  {1281, "a value was too big or too small"},
  {1282, "an operation was impossible to perform"},
  {1283, "too many operations were requested"},
  {1284, "an internal error caused a stack underflow"},
  {1285, "there was not enough memory to complete the operation"},
};
#endif

template <std::size_t N>
const char* FindWording(const Wording (&inTable)[N], LONG inCode)
{
  for (const Wording& theWording : inTable)
    if (theWording.mCode == inCode)
      return theWording.mText;
  return nullptr;
}

std::string Number(LONG inCode)
{
  return FormatC("%d", inCode);
}

void Join(LONG& ioCount, std::string& ioText, std::string_view inPart)
{
  if (ioCount++ > 0)
    ioText += ' ';
  ioText += inPart;
}

}  // namespace

bool Error::HasError() const
{
  return mMessageCount != 0 || mQuickTimeCode != 0 || mWindowsCode != 0 || mHResultCode != 0 || mOpenGLCode != 0;
}

void Error::Clear(bool inKeepContext)
{
  mMessageCount = 0;
  mMessage.clear();
  mText.clear();
  mQuickTimeCode = 0;
  mWindowsCode = 0;
  mHResultCode = 0;
  mOpenGLCode = 0;
  if (!inKeepContext) {
    mContextCount = 0;
    mContext.clear();
  }
}

void Error::AddContext(std::string_view inText)
{
  Join(mContextCount, mContext, inText);
}

void Error::AddMessage(std::string_view inText)
{
  Join(mMessageCount, mMessage, inText);
}

bool Error::KeepFileRefusal()
{
  if (GetLastError() != ERROR_ACCESS_DENIED)
    return false;
  mWindowsCode = ERROR_ACCESS_DENIED;
  return true;
}

const std::string& Error::GetText()
{
  if (!HasError()) {
    mText = "No errors occurred";
    return mText;
  }
  mText.clear();
  if (mMessageCount > 0)
    mText += mMessage + "\n";
  AddQuickTimeText(mQuickTimeCode);
  AddWindowsText(mWindowsCode);
  AddWindowsText(mHResultCode);
  AddOpenGLText(mOpenGLCode);
  if (mContextCount > 0)
    mText += "\n\n" + mContext;
  return mText;
}

void Error::StoreCodes(LONG inQuickTimeCode, LONG inWindowsCode, const char* inMessage)
{
  if (inQuickTimeCode != 0)
    mQuickTimeCode = inQuickTimeCode;
  if (inWindowsCode != 0)
    mWindowsCode = inWindowsCode;
  if (inQuickTimeCode == 0 && inWindowsCode == 0)
    AddMessage(inMessage);
}

void Error::SetPropertyFailed(std::string_view inName, std::string_view inValue, LONG inQuickTimeCode,
                              LONG inWindowsCode)
{
  AddContext("Set");
  AddContext(inName);
  AddContext(" = ");
  AddContext(inValue);
  StoreCodes(inQuickTimeCode, inWindowsCode, "Unable to set property");
}

void Error::GetPropertyFailed(std::string_view inName, LONG inQuickTimeCode, LONG inWindowsCode)
{
  AddContext("Get");
  AddContext(inName);
  StoreCodes(inQuickTimeCode, inWindowsCode, "Unable to get property");
}

void Error::MethodFailed(std::string_view inName, std::string_view inArguments, LONG inQuickTimeCode,
                         LONG inWindowsCode)
{
  AddContext("Do");
  AddContext(inName);
  AddContext(inArguments);
  StoreCodes(inQuickTimeCode, inWindowsCode, "Unable to complete the operation");
}

void Error::AddQuickTimeText(LONG inCode)
{
  if (inCode == 0)
    return;
  if (const char* theWording = FindWording(kQuickTimeWordings, inCode))
    mText += std::string("A QuickTime error occurred indicating that ") + theWording + " (" + Number(inCode) + ").\n";
  else
    mText +=
      "A QuickTime error of type " + Number(inCode) + " occurred. Please consult the Apple web site for details.\n";
}

void Error::AddWindowsText(LONG inCode)
{
  if (inCode == 0)
    return;
  if (const char* theWording = FindWording(kWindowsWordings, inCode)) {
    mText += std::string("A Windows error occurred that indicates that ") + theWording + " (" + Number(inCode) + ").\n";
    return;
  }
  // The system's text brings its own line end; a code without one still ends
  // its sentence.
  std::string theSystemText = GetSystemText(static_cast<DWORD>(inCode));
  if (theSystemText.empty())
    mText += "Windows error " + Number(inCode) + ".\n";
  else
    mText += "Windows error " + Number(inCode) + ". " + theSystemText;
}

void Error::AddOpenGLText(LONG inCode)
{
#ifdef TL_ERROR_WITHOUT_OPENGL
  static_cast<void>(inCode);
#else
  if (inCode == 0)
    return;
  if (const char* theWording = FindWording(kOpenGLWordings, inCode)) {
    mText += std::string("An OpenGL error occurred that indicates that ") + theWording + " (" + Number(inCode) + ").\n";
    return;
  }
  const GLubyte* theGluText = gluErrorString(static_cast<GLenum>(inCode));
  const char* theText = theGluText ? reinterpret_cast<const char*>(theGluText) : "unknown error";
  mText += std::string("An OpenGL error - ") + theText + " - (" + Number(inCode) + ") occurred.\n";
#endif
}
