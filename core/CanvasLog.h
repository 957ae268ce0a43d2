#pragma once
// The timing record of a canvas: the canvas owns one for its whole life and
// finishes it from its destructor. A canvas that lived at least
// MaxOperationTime milliseconds (default 1000) adds a line to "Canvas.log"
// while the preference LogOperations is on; the line ends with the largest
// memory the canvas held, in KB:
//   Version  ID  StartTime  Duration(ms)  Memory(KB)

#include "core/TimedLog.h"

class CanvasLog : public TimedLog {
public:
  void Finish() override;
  std::string GetHeader() const override;
  std::string FormatLine() override;
  const char* GetFileName() const override;

  // Keeps the larger of the stored and the given byte count.
  virtual void NoteMemory(DWORD inBytes);

private:
  DWORD mPeakMemory = 0;
};
