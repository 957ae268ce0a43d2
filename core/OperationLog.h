#pragma once
// The timing record of one canvas operation: the operation owns it, names it
// with its own name, gives it the canvas's log ID when it runs and, for a
// save, the path written, and finishes it from its destructor. Lines:
//   Version  ID  StartTime  Duration(ms)  Type  CanvasID  Path
// An operation that took at least MaxOperationTime milliseconds (default
// 1000) adds one to "Operation.log" while the preference LogOperations is on;
// every record with a path adds one to "SaveAs.log", whatever the preference
// and the time (a slow save with logging on is in both files).
//
// Tabs and line ends inside the type and the path are written as blanks, so
// a record is always one line of seven fields.

#include "core/TimedLog.h"

class OperationLog : public TimedLog {
public:
  void Finish() override;
  std::string GetHeader() const override;
  std::string FormatLine() override;
  // "Operation.log", or "SaveAs.log" while the save line is written.
  const char* GetFileName() const override;

  // Keeps up to 255 bytes.
  virtual void SetType(const char* inType);
  virtual void SetCanvasID(DWORD inCanvasID);
  // A path of 256 bytes or more is ignored; an empty one clears the path.
  virtual void SetPath(const char* inPath);

private:
  std::string mType;
  DWORD mCanvasID = 0;
  std::string mPath;
  bool mSaveAs = false;
};
