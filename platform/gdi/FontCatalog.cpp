#include "platform/gdi/FontCatalog.h"

#include "platform/base/AsciiCase.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>

namespace tlgdi {

namespace {

struct CharsetLanguages {
  BYTE mCharset;
  std::array<const char*, 3> mLanguages;  // unused places null; none: symbol fonts
};

constexpr CharsetLanguages kCharsets[] = {
  {ANSI_CHARSET, {"en", "fr", "de"}},
  {SYMBOL_CHARSET, {nullptr, nullptr, nullptr}},
  {SHIFTJIS_CHARSET, {"ja", nullptr, nullptr}},
  {HANGUL_CHARSET, {"ko", nullptr, nullptr}},
  {GB2312_CHARSET, {"zh-cn", nullptr, nullptr}},
  {CHINESEBIG5_CHARSET, {"zh-tw", nullptr, nullptr}},
  {GREEK_CHARSET, {"el", nullptr, nullptr}},
  {TURKISH_CHARSET, {"tr", nullptr, nullptr}},
  {VIETNAMESE_CHARSET, {"vi", nullptr, nullptr}},
  {HEBREW_CHARSET, {"he", nullptr, nullptr}},
  {ARABIC_CHARSET, {"ar", nullptr, nullptr}},
  {BALTIC_CHARSET, {"lt", "lv", "et"}},
  {RUSSIAN_CHARSET, {"ru", nullptr, nullptr}},
  {THAI_CHARSET, {"th", nullptr, nullptr}},
  {EASTEUROPE_CHARSET, {"pl", "cs", "hu"}},
};

// The charsets one font covers, as bits of kCharsets.
std::uint32_t CharsetsOf(FcPattern* inFont)
{
  FcLangSet* theLanguages = nullptr;
  const bool theHasLanguages = FcPatternGetLangSet(inFont, FC_LANG, 0, &theLanguages) == FcResultMatch;
  FcBool theSymbol = FcFalse;
  FcPatternGetBool(inFont, FC_SYMBOL, 0, &theSymbol);

  std::uint32_t theBits = 0;
  for (std::size_t i = 0; i < std::size(kCharsets); ++i) {
    const CharsetLanguages& theEntry = kCharsets[i];
    bool theCovered;
    if (!theEntry.mLanguages[0]) {
      theCovered = theSymbol;
    } else {
      theCovered = theHasLanguages;
      for (const char* theLanguage : theEntry.mLanguages)
        if (theLanguage && theCovered)
          theCovered = FcLangSetHasLang(theLanguages, reinterpret_cast<const FcChar8*>(theLanguage)) == FcLangEqual;
    }
    if (theCovered)
      theBits |= 1u << i;
  }
  return theBits;
}

// The family names of one font that stand as families of their own.
std::vector<std::string> FamilyNamesOf(FcPattern* inFont)
{
  std::vector<std::string> theNames;
  std::string theFirst;
  FcChar8* theName = nullptr;
  for (int i = 0; FcPatternGetString(inFont, FC_FAMILY, i, &theName) == FcResultMatch; ++i) {
    FcChar8* theLanguage = nullptr;
    const bool theEnglish = FcPatternGetString(inFont, FC_FAMILYLANG, i, &theLanguage) == FcResultMatch &&
                            std::string(reinterpret_cast<const char*>(theLanguage)) == "en";
    if (i == 0)
      theFirst = reinterpret_cast<const char*>(theName);
    if (theEnglish)
      theNames.emplace_back(reinterpret_cast<const char*>(theName));
  }
  if (theNames.empty() && !theFirst.empty())
    theNames.push_back(theFirst);
  return theNames;
}

bool NameLess(const std::string& inA, const std::string& inB)
{
  const auto theDiffer = std::mismatch(inA.begin(), inA.end(), inB.begin(), inB.end(),
                                       [](char a, char b) { return ToLowerAscii(a) == ToLowerAscii(b); });
  if (theDiffer.first == inA.end() || theDiffer.second == inB.end()) {
    if (inA.size() != inB.size())
      return inA.size() < inB.size();
    return inA < inB;
  }
  return static_cast<unsigned char>(ToLowerAscii(*theDiffer.first)) <
         static_cast<unsigned char>(ToLowerAscii(*theDiffer.second));
}

}  // namespace

const FontCatalog& FontCatalog::Get()
{
  static const FontCatalog* const gCatalog = new FontCatalog;  // never destroyed: read until the very end
  return *gCatalog;
}

FontCatalog::FontCatalog()
{
  std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> thePattern(FcPatternCreate(), &FcPatternDestroy);
  std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> theObjects(FcObjectSetCreate(), &FcObjectSetDestroy);
  if (!thePattern || !theObjects)
    return;
  for (const char* theObject : {FC_FAMILY, FC_FAMILYLANG, FC_LANG, FC_SPACING, FC_SYMBOL, FC_SCALABLE})
    if (!FcObjectSetAdd(theObjects.get(), theObject))
      return;
  FcPatternAddBool(thePattern.get(), FC_SCALABLE, FcTrue);
  std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> theFonts(
    FcFontList(nullptr, thePattern.get(), theObjects.get()), &FcFontSetDestroy);
  if (!theFonts)
    return;

  std::map<std::string, Family> theFamilies;
  for (int i = 0; i < theFonts->nfont; ++i) {
    FcPattern* theFont = theFonts->fonts[i];
    int theSpacing = FC_PROPORTIONAL;
    FcPatternGetInteger(theFont, FC_SPACING, 0, &theSpacing);
    const std::uint32_t theCharsets = CharsetsOf(theFont);
    for (std::string& theName : FamilyNamesOf(theFont)) {
      Family& theFamily = theFamilies[theName];
      theFamily.mName = theName;
      theFamily.mFixedPitch = theFamily.mFixedPitch || theSpacing >= FC_MONO;
      theFamily.mCharsets |= theCharsets;
    }
  }
  for (auto& theEntry : theFamilies)
    mFamilies.push_back(std::move(theEntry.second));
  std::sort(mFamilies.begin(), mFamilies.end(),
            [](const Family& inA, const Family& inB) { return NameLess(inA.mName, inB.mName); });
}

bool FontCatalog::Covers(const Family& inFamily, BYTE inCharset)
{
  if (inCharset == DEFAULT_CHARSET)
    return true;
  for (std::size_t i = 0; i < std::size(kCharsets); ++i)
    if (kCharsets[i].mCharset == inCharset)
      return (inFamily.mCharsets & (1u << i)) != 0;
  return false;
}

BYTE FontCatalog::FirstCharset(const Family& inFamily)
{
  for (std::size_t i = 0; i < std::size(kCharsets); ++i)
    if (inFamily.mCharsets & (1u << i))
      return kCharsets[i].mCharset;
  return DEFAULT_CHARSET;
}

const char* FontCatalog::Language(BYTE inCharset)
{
  for (const CharsetLanguages& theEntry : kCharsets)
    if (theEntry.mCharset == inCharset)
      return theEntry.mLanguages[0];
  return nullptr;
}

}  // namespace tlgdi
