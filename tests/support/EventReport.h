#pragma once
// An information event of the source "Tessaline", written as a page's
// library would write it (for tests of who may write the event log).

#include "platform/eventlog/EventLog.h"

namespace tltest {

inline bool ReportTestEvent(const char* inText)
{
  HANDLE theSource = RegisterEventSourceA(nullptr, "Tessaline");
  LPCSTR theStrings[] = {inText};
  const bool theWritten =
    theSource && ReportEventA(theSource, EVENTLOG_INFORMATION_TYPE, 1, 4096, nullptr, 1, 0, theStrings, nullptr);
  if (theSource)
    DeregisterEventSource(theSource);
  return theWritten;
}

}  // namespace tltest
