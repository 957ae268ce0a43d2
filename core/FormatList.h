#pragma once
// A list of the formats a codec writes (the ImageMagick formats, the
// QuickTime exporters), counted from 0.

#include "platform/base/WinTypes.h"

#include <string>

class FormatList {
public:
  FormatList() = default;
  virtual ~FormatList() = default;
  FormatList(const FormatList&) = delete;
  FormatList& operator=(const FormatList&) = delete;

  virtual LONG GetCount() = 0;
  virtual void GetDescription(LONG inIndex, std::string& outText) = 0;
};
