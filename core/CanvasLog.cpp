#include "core/CanvasLog.h"

#include "core/Preferences.h"
#include "platform/base/Numbers.h"

#include <algorithm>
#include <cinttypes>

void CanvasLog::Finish()
{
  Stop();
  if (!GetPrefLong("LogOperations", 0))
    return;
  if (static_cast<DWORD>(GetDuration()) < static_cast<DWORD>(GetPrefLong("MaxOperationTime", 1000)))
    return;
  TimedLog::Finish();
}

std::string CanvasLog::GetHeader() const
{
  return TimedLog::GetHeader() + "\tMemory(KB)";
}

std::string CanvasLog::FormatLine()
{
  return TimedLog::FormatLine() + FormatC("\t%" PRId32, static_cast<LONG>(mPeakMemory >> 10));
}

const char* CanvasLog::GetFileName() const
{
  return "Canvas.log";
}

void CanvasLog::NoteMemory(DWORD inBytes)
{
  mPeakMemory = std::max(mPeakMemory, inBytes);
}
