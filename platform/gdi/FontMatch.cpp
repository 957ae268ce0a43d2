#include "platform/gdi/FontMatch.h"

#include "platform/gdi/FontCatalog.h"
#include "platform/gdi/FreeTypeThread.h"

#include <fontconfig/fontconfig.h>

#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

namespace tlgdi {

namespace {

constexpr BYTE kTruetypePitch = 0x06;  // TMPF_VECTOR | TMPF_TRUETYPE
constexpr BYTE kVariablePitch = 0x01;  // TMPF_FIXED_PITCH, which means the opposite

LONG ToLong(double inValue)
{
  return static_cast<LONG>(std::clamp(inValue, -2147483648.0, 2147483647.0));
}

struct PatternDeleter {
  void operator()(FcPattern* inPattern) const { FcPatternDestroy(inPattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// What fontconfig is asked: the face name, weight, italic flag and the
// charset whose language it asks for.
using Request = std::tuple<std::string, LONG, bool, BYTE>;

// The matches of the requests asked before: a canvas makes a new font for
// every text and shape, mostly of the few descriptions a page uses, and
// fontconfig answers a request alike each time it is asked. Forgotten once
// it holds kMaxMatches.
class MatchCache {
public:
  static constexpr std::size_t kMaxMatches = 256;

  static MatchCache& Get()
  {
    static MatchCache theCache;
    return theCache;
  }

  bool Find(const Request& inRequest, std::shared_ptr<const FontMatch>& outMatch)
  {
    std::lock_guard theGuard(mLock);
    const auto theFound = mMatches.find(inRequest);
    if (theFound == mMatches.end())
      return false;
    outMatch = theFound->second;
    return true;
  }

  void Store(const Request& inRequest, const std::shared_ptr<const FontMatch>& inMatch)
  {
    std::lock_guard theGuard(mLock);
    if (mMatches.size() >= kMaxMatches)
      mMatches.clear();
    mMatches.emplace(inRequest, inMatch);
  }

private:
  std::mutex mLock;  // guards mMatches only
  std::map<Request, std::shared_ptr<const FontMatch>> mMatches;
};

std::shared_ptr<const FontMatch> Match(const Request& inRequest)
{
  const auto& [theFamily, theWeight, theItalic, theCharSet] = inRequest;
  PatternPtr thePattern(FcPatternCreate());
  if (!thePattern)
    return nullptr;
  if (!theFamily.empty())
    FcPatternAddString(thePattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(theFamily.c_str()));
  FcPatternAddInteger(thePattern.get(), FC_WEIGHT, FcWeightFromOpenType(theWeight));
  FcPatternAddInteger(thePattern.get(), FC_SLANT, theItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(thePattern.get(), FC_SCALABLE, FcTrue);
  if (const char* theLanguage = FontCatalog::Language(theCharSet))
    FcPatternAddString(thePattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(theLanguage));
  FcConfigSubstitute(nullptr, thePattern.get(), FcMatchPattern);
  FcDefaultSubstitute(thePattern.get());
  FcResult theResult = FcResultNoMatch;
  PatternPtr theMatch(FcFontMatch(nullptr, thePattern.get(), &theResult));
  FcChar8* theFile = nullptr;
  if (!theMatch || FcPatternGetString(theMatch.get(), FC_FILE, 0, &theFile) != FcResultMatch)
    return nullptr;

  auto theFont = std::make_shared<FontMatch>();
  theFont->mFile = reinterpret_cast<const char*>(theFile);
  FcPatternGetInteger(theMatch.get(), FC_INDEX, 0, &theFont->mIndex);
  FcBool theEmbolden = FcFalse;
  FcPatternGetBool(theMatch.get(), FC_EMBOLDEN, 0, &theEmbolden);
  theFont->mEmbolden = theEmbolden == FcTrue;
  FcMatrix* theSlant = nullptr;
  if (FcPatternGetMatrix(theMatch.get(), FC_MATRIX, 0, &theSlant) == FcResultMatch && theSlant) {
    theFont->mSlant[0] = theSlant->xx;
    theFont->mSlant[1] = theSlant->xy;
    theFont->mSlant[2] = theSlant->yx;
    theFont->mSlant[3] = theSlant->yy;
  }

  const FT_Face theFace = FreeTypeThread::Get().Face(theFont->mFile, theFont->mIndex);
  if (!theFace || theFace->units_per_EM == 0)
    return nullptr;
  FontMatch& f = *theFont;
  f.mUnitsPerEm = theFace->units_per_EM;
  const auto* theOS2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(theFace, FT_SFNT_OS2));
  const bool theHasOS2 = theOS2 && theOS2->version != 0xFFFF;
  f.mAscent = theHasOS2 ? theOS2->usWinAscent : theFace->ascender;
  f.mDescent = theHasOS2 ? theOS2->usWinDescent : -theFace->descender;
  if (f.mAscent + f.mDescent <= 0) {
    f.mAscent = static_cast<int>(theFace->bbox.yMax);
    f.mDescent = static_cast<int>(-theFace->bbox.yMin);
  }
  if (f.mAscent + f.mDescent <= 0)
    f.mAscent = f.mUnitsPerEm;
  f.mExternalLeading = std::max(0, theFace->height - (f.mAscent + f.mDescent));
  f.mMaxAdvance = theFace->max_advance_width;
  f.mAverageWidth = theHasOS2 && theOS2->xAvgCharWidth > 0 ? theOS2->xAvgCharWidth : f.mMaxAdvance / 2;
  f.mUnderlinePosition = theFace->underline_position;
  f.mUnderlineThickness = theFace->underline_thickness;
  f.mStrikeoutPosition = theHasOS2 ? theOS2->yStrikeoutPosition : f.mAscent / 3;
  f.mStrikeoutSize = theHasOS2 ? theOS2->yStrikeoutSize : f.mUnderlineThickness;
  f.mFixedPitch = FT_IS_FIXED_WIDTH(theFace);
  f.mBox[0] = double(theFace->bbox.xMin);
  f.mBox[1] = double(theFace->bbox.yMin);
  f.mBox[2] = double(theFace->bbox.xMax);
  f.mBox[3] = double(theFace->bbox.yMax);
  return theFont;
}

}  // namespace

std::shared_ptr<const FontMatch> FontMatch::Find(const LOGFONTA& inFont)
{
  const Request theRequest{std::string(inFont.lfFaceName, strnlen(inFont.lfFaceName, LF_FACESIZE)),
                           inFont.lfWeight > 0 ? std::min<LONG>(inFont.lfWeight, 1000) : FW_NORMAL,
                           inFont.lfItalic != 0, inFont.lfCharSet};
  std::shared_ptr<const FontMatch> theMatch;
  if (MatchCache::Get().Find(theRequest, theMatch))
    return theMatch;
  theMatch = Match(theRequest);
  if (theMatch)
    MatchCache::Get().Store(theRequest, theMatch);
  return theMatch;
}

double FontMatch::PixelsPerEm(LONG inHeight) const
{
  if (inHeight < 0)
    return -static_cast<double>(inHeight);
  const double theCell = inHeight > 0 ? inHeight : kDefaultCell;
  return theCell * mUnitsPerEm / (mAscent + mDescent);
}

std::int64_t FontMatch::Scaled(std::int64_t inUnits, double inPixelsPerEm) const
{
  const double theValue = std::floor(static_cast<double>(inUnits) * inPixelsPerEm / mUnitsPerEm + 0.5);
  return static_cast<std::int64_t>(std::clamp(theValue, -9.0e15, 9.0e15));
}

void FontMatch::Describe(const LOGFONTA& inFont, double inPixelsPerEm, TEXTMETRICW& outMetrics) const
{
  auto Up = [&](int inUnits) { return ToLong(std::ceil(double(inUnits) * inPixelsPerEm / mUnitsPerEm)); };
  auto Near = [&](int inUnits) { return ToLong(static_cast<double>(Scaled(inUnits, inPixelsPerEm))); };
  outMetrics = TEXTMETRICW{};
  if (inFont.lfHeight < 0) {
    outMetrics.tmAscent = Up(mAscent);
    outMetrics.tmDescent = Up(mDescent);
  } else {
    const LONG theCell = inFont.lfHeight > 0 ? inFont.lfHeight : kDefaultCell;
    outMetrics.tmAscent = Near(mAscent);
    outMetrics.tmDescent = theCell - outMetrics.tmAscent;
  }
  outMetrics.tmHeight = ToLong(double(outMetrics.tmAscent) + outMetrics.tmDescent);
  outMetrics.tmInternalLeading = ToLong(std::max(0.0, outMetrics.tmHeight - std::floor(inPixelsPerEm + 0.5)));
  outMetrics.tmExternalLeading = Near(mExternalLeading);
  outMetrics.tmAveCharWidth = Near(mAverageWidth);
  outMetrics.tmMaxCharWidth = Near(mMaxAdvance);
  outMetrics.tmWeight = inFont.lfWeight > 0 ? inFont.lfWeight : FW_NORMAL;
  outMetrics.tmDigitizedAspectX = 96;
  outMetrics.tmDigitizedAspectY = 96;
  outMetrics.tmFirstChar = 0x20;
  outMetrics.tmLastChar = 0xFFFC;
  outMetrics.tmDefaultChar = 0x1F;
  outMetrics.tmBreakChar = 0x20;
  outMetrics.tmItalic = inFont.lfItalic ? 1 : 0;
  outMetrics.tmUnderlined = inFont.lfUnderline ? 1 : 0;
  outMetrics.tmStruckOut = inFont.lfStrikeOut ? 1 : 0;
  outMetrics.tmPitchAndFamily = static_cast<BYTE>(kTruetypePitch | (mFixedPitch ? 0 : kVariablePitch));
  outMetrics.tmCharSet = inFont.lfCharSet;
}

}  // namespace tlgdi
