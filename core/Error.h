#pragma once
// The error object of every operation and property access. A failure is not
// thrown but collected: the code that fails adds a message or sets one of the
// four codes, the caller adds a context naming what was being done, and the
// method hands GetText to the script.
//
// GetText composes: the messages (joined by blanks) and a line feed; one
// sentence per code, each ending in a line end, in the order QuickTime,
// Windows, HRESULT (worded like a Windows code), OpenGL; then a blank line and
// the context. An object with no message and no code reads "No errors
// occurred", whatever its context.
//
// Built with TL_ERROR_WITHOUT_OPENGL (the settings component's variant),
// OpenGL codes are worded by nothing.

#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>

class Error {
public:
  Error() = default;
  virtual ~Error() = default;

  bool HasError() const;
  // Forgets messages, codes and the composed text; the context too unless
  // inKeepContext.
  void Clear(bool inKeepContext);

  void AddContext(std::string_view inText);
  void AddMessage(std::string_view inText);

  // The composed report; stays owned by the object until the next call.
  const std::string& GetText();

  // Context "Set <name>  =  <value>"; stores the non-zero codes, or with both
  // 0 adds the message "Unable to set property".
  void SetPropertyFailed(std::string_view inName, std::string_view inValue, LONG inQuickTimeCode, LONG inWindowsCode);
  // Context "Get <name>"; else "Unable to get property".
  void GetPropertyFailed(std::string_view inName, LONG inQuickTimeCode, LONG inWindowsCode);
  // Context "Do <name> <arguments>"; else "Unable to complete the operation".
  void MethodFailed(std::string_view inName, std::string_view inArguments, LONG inQuickTimeCode, LONG inWindowsCode);

  // Append the wording of one code to the composed text; 0 appends nothing.
  void AddQuickTimeText(LONG inCode);
  void AddWindowsText(LONG inCode);
  void AddOpenGLText(LONG inCode);

  // Keeps the thread's last error as the Windows code when it says that a
  // file was refused (ERROR_ACCESS_DENIED: outside the roots a served page
  // reaches, or forbidden to the process's user); true when it did.
  bool KeepFileRefusal();

  // Set directly by the code that fails (0 = none).
  LONG mQuickTimeCode = 0;  // a QuickTime or Mac OS status
  LONG mWindowsCode = 0;    // a Windows error as from GetLastError
  LONG mHResultCode = 0;    // an HRESULT caught while an operation ran
  LONG mOpenGLCode = 0;     // an OpenGL error as from glGetError

private:
  void StoreCodes(LONG inQuickTimeCode, LONG inWindowsCode, const char* inMessage);

  LONG mContextCount = 0;
  std::string mContext;
  LONG mMessageCount = 0;
  std::string mMessage;
  std::string mText;
};
