#pragma once
// The font families installed, as fontconfig knows them, with the Windows
// charsets each one covers.
//
// A family is every English family name of a scalable font (or its first
// name when it has no English one), so "DejaVu Sans Condensed" is a family
// beside "DejaVu Sans". A family covers a charset when one of its fonts
// covers every language that stands for the charset:
//
//   0 ANSI en fr de          161 GREEK el         186 BALTIC lt lv et
//   2 SYMBOL (symbol fonts)  162 TURKISH tr       204 RUSSIAN ru
//   128 SHIFTJIS ja          163 VIETNAMESE vi    222 THAI th
//   129 HANGUL ko            177 HEBREW he        238 EASTEUROPE pl cs hu
//   134 GB2312 zh-cn         178 ARABIC ar
//   136 CHINESEBIG5 zh-tw
//
// DEFAULT_CHARSET (1) stands for every family; any other charset for none.
// The catalogue is read once per process and sorted by name, ignoring ASCII
// case, so that enumeration always runs in the same order.

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tlgdi {

class FontCatalog {
public:
  struct Family {
    std::string mName;  // UTF-8
    bool mFixedPitch = false;
    std::uint32_t mCharsets = 0;  // bit i: the i-th charset of the table above
  };

  static const FontCatalog& Get();

  const std::vector<Family>& Families() const { return mFamilies; }

  // Whether inFamily covers inCharset (DEFAULT_CHARSET: always).
  static bool Covers(const Family& inFamily, BYTE inCharset);

  // The charset to report for inFamily when inAsked is DEFAULT_CHARSET: the
  // first it covers in the table's order, else DEFAULT_CHARSET.
  static BYTE FirstCharset(const Family& inFamily);

  // The first language of inCharset in the table above, or null (DEFAULT,
  // SYMBOL and charsets we do not know).
  static const char* Language(BYTE inCharset);

private:
  FontCatalog();

  std::vector<Family> mFamilies;
};

}  // namespace tlgdi
