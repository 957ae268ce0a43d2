#pragma once
// Timed log records: the library measures how long canvases live and how
// long each operation takes, and appends one line per slow item to a log
// file in the log directory, which the settings program watches.
//
// Only CanvasLog ("Canvas.log") and OperationLog ("Operation.log" and
// "SaveAs.log") are made; TimedLog on its own would write "default.log".
//
// A file holds a header line, written by the first record to reach it new or
// emptied, then one record per line: fields separated by tabs, lines ended by CR
// LF. The base fields are
//   Version     1
//   ID          the record's ID, lower-case hexadecimal (bits 15 and 31 are
//               always 0: two 15-bit draws)
//   StartTime   local time as exactly 20 characters, "Mar 09 07:05:03 1999"
//               (English month names whatever the locale)
//   Duration    milliseconds from construction to the writing of the line
// and each record class adds its own. Each line (with the header, when one is
// due) goes down in one write to a file opened for appending, so lines of
// concurrent writers never mix; writers take turns at the file's first byte
// (a lock) to see whether it is empty; a file larger than the preference
// LogMaxFileSize is emptied before the next line. The log folder (when a
// record has to make it) and the files are made group-writable, as the
// store's own files are, so that every user of a machine-wide store's group
// appends to them. Logging never fails towards its caller: a line that cannot
// be written is lost, and the first loss of the process is an error event
// "Unable to write log file "<path>" (<Windows error>)".

#include "platform/base/WinTypes.h"

#include <ctime>
#include <string>

class TimedLog {
public:
  TimedLog();
  virtual ~TimedLog() = default;
  TimedLog(const TimedLog&) = delete;
  TimedLog& operator=(const TimedLog&) = delete;

  // Formats the record and appends it. The owner calls it once, from its destructor.
  virtual void Finish();
  virtual DWORD GetID() const { return mID; }
  virtual std::string GetHeader() const;
  virtual std::string FormatLine();
  virtual const char* GetFileName() const;
  // The preference LogMaxFileSize (default 65535), read at each call.
  virtual DWORD GetMaxFileSize() const;
  // The log directory and the file name; empty when there is no directory or
  // the two together reach 256 bytes.
  virtual std::string GetPath() const;
  // Appends inLine (without its line end) to GetPath.
  virtual void AppendLine(const std::string& inLine);

protected:
  // Takes the stop counter.
  void Stop();
  // Milliseconds from the start counter to the stop counter.
  LONGLONG GetDuration() const;

  LONG mVersion = 1;
  DWORD mID = 0;
  std::time_t mStartTime = 0;
  LONGLONG mStartCounter = 0;
  LONGLONG mStopCounter = 0;
};

// The folder of the log files, ending in '/': the preference LogDirectory
// (by default <TESSALINE_HOME>/logs/) with %NAME% expanded; empty when it
// does not fit in 255 bytes.
std::string GetLogDirectory();
// Stores inDirectory as the preference LogDirectory; the registry status.
LONG SetLogDirectory(const char* inDirectory);
