#include "core/FontNames.h"

#include "core/EventLog.h"
#include "core/Utilities.h"
#include "platform/base/Utf8.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cstring>

namespace {

int AddFontNameProc(const LOGFONTA* inFont, const TEXTMETRICA*, DWORD, LPARAM inList)
{
  auto* theList = reinterpret_cast<std::vector<std::string>*>(inList);
  TL_ASSERT(theList);
  if (theList) {
    const auto* theEntry = reinterpret_cast<const ENUMLOGFONTEXA*>(inFont);
    const char* theName = reinterpret_cast<const char*>(theEntry->elfFullName);
    theList->emplace_back(theName, strnlen(theName, sizeof theEntry->elfFullName));
  }
  return 1;
}

}  // namespace

std::vector<std::string> EnumFontNames(LONG inCharset, std::string_view inFace, BYTE inPitchAndFamily)
{
  std::vector<std::string> theList;
  LOGFONTA theFilter{};
  theFilter.lfCharSet = static_cast<BYTE>(inCharset);
  theFilter.lfPitchAndFamily = inPitchAndFamily;
  std::string_view theFace = utf8::Cut(inFace, LF_FACESIZE - 1);
  std::copy(theFace.begin(), theFace.end(), theFilter.lfFaceName);
  if (HDC theScreen = GetDC(nullptr)) {
    EnumFontFamiliesExA(theScreen, &theFilter, AddFontNameProc, reinterpret_cast<LPARAM>(&theList), 0);
    ReleaseDC(nullptr, theScreen);
  }
  return theList;
}

bool FindFontName(const std::vector<std::string>& inFamilies, std::string_view inName, std::string& outName)
{
  auto theFound = std::find_if(inFamilies.begin(), inFamilies.end(),
                               [inName](const std::string& inFamily) { return EqualsIgnoringCase(inFamily, inName); });
  if (theFound == inFamilies.end())
    theFound = std::find_if(inFamilies.begin(), inFamilies.end(),
                            [inName](const std::string& inFamily) { return StartsWithIgnoringCase(inFamily, inName); });
  if (theFound == inFamilies.end())
    return false;
  outName = *theFound;
  return true;
}

void PickInstalledFont(LONG inCharset, std::string_view inList, std::string& outFace)
{
  const std::vector<std::string> theFamilies = EnumFontNames(inCharset, "", 0);
  std::string_view theRest = inList;
  do {
    std::string theItem;
    CopyListItem(theRest, theItem, kMaxStringValue + 1);
    if (FindFontName(theFamilies, theItem, outFace))
      return;
    theRest = NextListItem(theRest);
  } while (!theRest.empty());
}
