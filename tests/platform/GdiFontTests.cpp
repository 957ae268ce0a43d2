#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Entry {
  std::string mFace;
  std::string mFullName;
  BYTE mCharset;
  DWORD mType;
};

struct Collector {
  std::vector<Entry> mEntries;
  std::size_t mStopAfter = 0;  // 0: never stop
};

int Collect(const LOGFONTA* inFont, const TEXTMETRICA* inMetrics, DWORD inType, LPARAM inParam)
{
  auto* theCollector = reinterpret_cast<Collector*>(inParam);
  const auto* theEntry = reinterpret_cast<const ENUMLOGFONTEXA*>(inFont);
  const auto* theMetrics = reinterpret_cast<const NEWTEXTMETRICEXA*>(inMetrics);
  EXPECT_EQ(theMetrics->ntmTm.tmCharSet, inFont->lfCharSet);
  theCollector->mEntries.push_back(Entry{inFont->lfFaceName, reinterpret_cast<const char*>(theEntry->elfFullName),
                                         inFont->lfCharSet, inType});
  return theCollector->mStopAfter == 0 || theCollector->mEntries.size() < theCollector->mStopAfter;
}

std::vector<Entry> Enumerate(BYTE inCharset, const char* inFace = "")
{
  HDC theScreen = GetDC(nullptr);
  LOGFONTA theFilter{};
  theFilter.lfCharSet = inCharset;
  std::strncpy(theFilter.lfFaceName, inFace, LF_FACESIZE - 1);
  Collector theCollector;
  EXPECT_EQ(EnumFontFamiliesExA(theScreen, &theFilter, Collect, reinterpret_cast<LPARAM>(&theCollector), 0), 1);
  ReleaseDC(nullptr, theScreen);
  return theCollector.mEntries;
}

std::set<std::string> Faces(const std::vector<Entry>& inEntries)
{
  std::set<std::string> theFaces;
  for (const Entry& theEntry : inEntries)
    theFaces.insert(theEntry.mFace);
  return theFaces;
}

const char* const kLatinFamilies[] = {"DejaVu Sans", "Liberation Sans", "Liberation Serif", "Liberation Mono"};

}  // namespace

TEST(GdiFonts, LatinFamiliesForAnsiAndDefault)
{
  for (BYTE theCharset : {ANSI_CHARSET, DEFAULT_CHARSET}) {
    SCOPED_TRACE(int(theCharset));
    const std::vector<Entry> theEntries = Enumerate(theCharset);
    const std::set<std::string> theFaces = Faces(theEntries);
    EXPECT_EQ(theFaces.size(), theEntries.size()) << "one entry per family";
    for (const char* theFamily : kLatinFamilies)
      EXPECT_TRUE(theFaces.count(theFamily)) << theFamily;
    for (const Entry& theEntry : theEntries) {
      EXPECT_EQ(theEntry.mFace, theEntry.mFullName);
      EXPECT_EQ(theEntry.mType, TRUETYPE_FONTTYPE);
      if (theCharset == ANSI_CHARSET) {
        EXPECT_EQ(theEntry.mCharset, ANSI_CHARSET);
      }
    }
    // Stable order: sorted ignoring case.
    EXPECT_TRUE(std::is_sorted(theEntries.begin(), theEntries.end(), [](const Entry& a, const Entry& b) {
      return strcasecmp(a.mFace.c_str(), b.mFace.c_str()) < 0;
    }));
  }
}

TEST(GdiFonts, OtherCharsetsFollowLanguageCoverage)
{
  // Japanese: nothing Latin-only.
  const std::set<std::string> theJapanese = Faces(Enumerate(SHIFTJIS_CHARSET));
  for (const char* theFamily : kLatinFamilies)
    EXPECT_FALSE(theJapanese.count(theFamily)) << theFamily;
  EXPECT_TRUE(Faces(Enumerate(RUSSIAN_CHARSET)).count("DejaVu Sans"));
  EXPECT_TRUE(Faces(Enumerate(EASTEUROPE_CHARSET)).count("Liberation Serif"));
  EXPECT_FALSE(Faces(Enumerate(ARABIC_CHARSET)).count("Liberation Mono"));
  // A charset we do not know lists nothing.
  EXPECT_TRUE(Enumerate(77).empty());
}

TEST(GdiFonts, FaceFilterAndEarlyStop)
{
  const std::vector<Entry> theOne = Enumerate(ANSI_CHARSET, "liberation SANS");
  ASSERT_EQ(theOne.size(), 1u);
  EXPECT_EQ(theOne[0].mFace, "Liberation Sans");
  EXPECT_TRUE(Enumerate(ANSI_CHARSET, "Liberation").empty());

  HDC theScreen = GetDC(nullptr);
  LOGFONTA theFilter{};
  theFilter.lfCharSet = DEFAULT_CHARSET;
  Collector theCollector;
  theCollector.mStopAfter = 2;
  EXPECT_EQ(EnumFontFamiliesExA(theScreen, &theFilter, Collect, reinterpret_cast<LPARAM>(&theCollector), 0), 0);
  EXPECT_EQ(theCollector.mEntries.size(), 2u);
  SetLastError(0);
  EXPECT_EQ(EnumFontFamiliesExA(theScreen, &theFilter, nullptr, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(EnumFontFamiliesExA(theScreen, nullptr, Collect, 0, 0), 0);
  ReleaseDC(nullptr, theScreen);
}

TEST(GdiFonts, LogicalFontsAreKeptAsGiven)
{
  HFONT theFont = CreateFontA(-16, 0, 900, 900, FW_BOLD, TRUE, FALSE, TRUE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Liberation Serif");
  ASSERT_NE(theFont, nullptr);
  LOGFONTA theRead{};
  ASSERT_EQ(GetObjectA(theFont, sizeof(theRead), &theRead), int(sizeof(LOGFONTA)));
  EXPECT_EQ(std::tie(theRead.lfHeight, theRead.lfEscapement, theRead.lfWeight, theRead.lfStrikeOut, theRead.lfCharSet),
            std::make_tuple(LONG{-16}, LONG{900}, LONG{FW_BOLD}, BYTE{1}, BYTE{RUSSIAN_CHARSET}));
  EXPECT_STREQ(theRead.lfFaceName, "Liberation Serif");
  EXPECT_TRUE(DeleteObject(theFont));

  // Face names are cut to 31 bytes, never inside a UTF-8 character.
  const std::string theLong = std::string(30, 'x') + "\xC3\xA9" + "tail";
  theFont = CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, theLong.c_str());
  ASSERT_EQ(GetObjectA(theFont, sizeof(theRead), &theRead), int(sizeof(LOGFONTA)));
  EXPECT_EQ(std::string(theRead.lfFaceName), std::string(30, 'x'));
  DeleteObject(theFont);

  LOGFONTA theUnterminated{};
  std::memset(theUnterminated.lfFaceName, 'y', LF_FACESIZE);
  theFont = CreateFontIndirectA(&theUnterminated);
  ASSERT_EQ(GetObjectA(theFont, sizeof(theRead), &theRead), int(sizeof(LOGFONTA)));
  EXPECT_EQ(std::string(theRead.lfFaceName), std::string(31, 'y'));
  DeleteObject(theFont);
  SetLastError(0);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
