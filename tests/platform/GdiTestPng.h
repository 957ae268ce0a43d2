#pragma once
// A DIB written as a PNG file (through Cairo), for a developer to look at.

#include "tests/platform/GdiTestDibs.h"

#include <string>

namespace gditest {

bool WritePng(const Dib& inDib, const std::string& inPath);

}  // namespace gditest
