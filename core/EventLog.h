#pragma once
// The library's diagnostics: events in the Application event log under the
// source "Tessaline", assertions that report and go on, and the fatal-error
// rule of the preference AutoRecover.
//
// Every event has category 1 and event id 4096 and carries one insertion
// string, its text, on one line (carriage returns and line feeds become
// blanks). The first event on a machine registers the source, with the
// library's own path (the preference ModulePath) as its message file.

#include "platform/base/WinTypes.h"
#include "platform/eventlog/EventLog.h"

#include <string>

// The source name of every event the library writes.
inline constexpr const char* kEventSource = "Tessaline";

// printf-like: text from outside (an error text, a script's string) goes in
// as an argument to "%s", never as the format. The text is cut to 1,023 bytes.
// inType is an event type (a WORD), passed as a DWORD: the parameter before
// "..." must be one that is not promoted, or va_start is undefined.
void LogEvent(const char* inFormat, DWORD inType, ...) __attribute__((format(printf, 1, 3)));

// Logs "Assertion Failed in <unit> line <line> (<expression>)" as an error
// event, where the unit is inFile without folder or extension; returns.
void ReportAssertion(const char* inFile, LONG inLine, const char* inExpression);

// Logs the message as it stands; then ends the process with status 1 when the
// preference AutoRecover is 0, else answers S_OK.
HRESULT LogFatalEvent(const char* inMessage, WORD inType);

// Writes one event on inServer (null or empty: this machine), creating the
// source first when it is missing. Answers 0 or a Windows error code.
DWORD WriteEventLog(const char* inServer, const char* inSource, const char* inText, WORD inType);

// 0 when the source's key can be opened; ERROR_INVALID_DATA (13) for a name
// longer than 64 characters; else the registry's error.
LONG EventSourceExists(const char* inServer, const char* inSource);
// Creates the source's key with its four values; the first failing status or 0.
LONG CreateEventSource(const char* inServer, const char* inSource);

// Stores this library's own file path as the preference ModulePath (REG_SZ).
LONG WriteModulePath();
// Reads ModulePath (at most 259 bytes) from inServer's preference key.
LONG ReadModulePath(const char* inServer, std::string& outPath);

// Reports a failed assertion with the expression's own text.
#define TL_ASSERT(inExpression) TL_ASSERT_TEXT(inExpression, #inExpression)
// Reports a failed assertion under the given text.
#define TL_ASSERT_TEXT(inExpression, inText) \
  ((inExpression) ? static_cast<void>(0) : ReportAssertion(__FILE__, __LINE__, inText))
