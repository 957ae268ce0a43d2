#pragma once
// The Application event log: one line per event appended to
// <TESSALINE_HOME>/events.log.
//
// A line is time (UTC, 2024-05-01T10:34:56.789Z), type (Error, Warning or
// Information), source, category, event id and text, separated by tabs and
// ended by a line feed. Carriage returns, line feeds and tabs inside the
// source or the text become blanks, so an event is always one line of six
// fields. The source is cut to 255 bytes. The text is the first insertion string, as a message file whose
// message is "%1" shows it, cut to 31,839 bytes (never inside a UTF-8
// sequence).
//
// Each line is written with one write() on a descriptor opened with O_APPEND
// for that event, so processes and threads that log at once never mix their
// lines. Past 16 MiB the file is renamed to events.log.1 (replacing the older
// one) by whichever writer sees it first; writers agree through a lock on the
// file itself, so two never rotate the same file twice.
//
// With TESSALINE_SYSLOG=1 in the environment the text also goes to syslog(3),
// under the source's name (facility LOG_USER; never to the console).

#include "platform/base/WinTypes.h"

constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;

// A handle for reporting under inSourceName. The server must be this machine
// (null, empty or its name); any other answers NULL with ERROR_BAD_NETPATH. A
// null or empty source answers NULL with ERROR_INVALID_PARAMETER.
HANDLE RegisterEventSourceA(LPCSTR inServerName, LPCSTR inSourceName);

// Writes one event. FALSE with the Windows error when the handle is not one
// of ours (ERROR_INVALID_HANDLE), the type is not one of the three above or
// strings are announced but missing (ERROR_INVALID_PARAMETER), or the log
// cannot be written (ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL
// ...). The user SID and raw data are not kept.
BOOL ReportEventA(HANDLE inEventLog, WORD inType, WORD inCategory, DWORD inEventID, void* inUserSid,
                  WORD inNumStrings, DWORD inDataSize, LPCSTR* inStrings, LPVOID inRawData);

BOOL DeregisterEventSource(HANDLE inEventLog);
