#pragma once
// The names of the installed font families, and the choice of one family
// from a script's list of names.

#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

// The full names of the font families on the screen device context for the
// Windows character set inCharset, in enumeration order; a non-empty inFace
// keeps only that family.
std::vector<std::string> EnumFontNames(LONG inCharset, std::string_view inFace, BYTE inPitchAndFamily);

// The family equal to inName ignoring case, else the first family that
// begins with inName ignoring case (so the empty name gives the first
// family). False when there is none.
bool FindFontName(const std::vector<std::string>& inFamilies, std::string_view inName, std::string& outName);

// The first item of the list (items separated by ',', leading blanks
// skipped, at most 255 bytes each) that FindFontName finds among the
// families of inCharset; outFace is left as it was when none is found.
void PickInstalledFont(LONG inCharset, std::string_view inList, std::string& outFace);
