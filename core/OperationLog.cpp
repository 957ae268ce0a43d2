#include "core/OperationLog.h"

#include "core/Preferences.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace {

constexpr std::size_t kMaxText = 255;

// The text as one field: tabs, carriage returns and line feeds become blanks.
std::string AsField(std::string inText)
{
  std::replace_if(
    inText.begin(), inText.end(), [](char inChar) { return inChar == '\t' || inChar == '\r' || inChar == '\n'; },
    ' ');
  return inText;
}

}  // namespace

void OperationLog::Finish()
{
  Stop();
  if (GetPrefLong("LogOperations", 0) &&
      static_cast<DWORD>(GetDuration()) >= static_cast<DWORD>(GetPrefLong("MaxOperationTime", 1000))) {
    mSaveAs = false;
    TimedLog::Finish();
  }
  if (!mPath.empty()) {
    mSaveAs = true;
    TimedLog::Finish();
    mSaveAs = false;
  }
}

std::string OperationLog::GetHeader() const
{
  return TimedLog::GetHeader() + "\tType\tCanvasID\tPath";
}

std::string OperationLog::FormatLine()
{
  return TimedLog::FormatLine() +
         FormatC("\t%s\t%" PRIx32 "\t%s", AsField(mType).c_str(), mCanvasID, AsField(mPath).c_str());
}

const char* OperationLog::GetFileName() const
{
  return mSaveAs ? "SaveAs.log" : "Operation.log";
}

void OperationLog::SetType(const char* inType)
{
  mType = utf8::Cut(inType ? inType : "", kMaxText);
}

void OperationLog::SetCanvasID(DWORD inCanvasID)
{
  mCanvasID = inCanvasID;
}

void OperationLog::SetPath(const char* inPath)
{
  std::size_t theLength = inPath ? std::strlen(inPath) : 0;
  if (theLength > kMaxText)
    return;
  mPath.assign(inPath ? inPath : "", theLength);
}
