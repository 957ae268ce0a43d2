#include "core/Parameters.h"

#include "core/SystemUtilities.h"
#include "platform/automation/Bstr.h"

#include <algorithm>
#include <cstdint>

namespace {

using Setter = bool (*)(Parameters& ioParams, std::string_view inValue);

struct KeywordSetter {
  std::string_view mName;
  Setter mSet;
};

// A field read by its value parser.
template <auto Field, auto Parse>
bool Set(Parameters& ioParams, std::string_view inValue)
{
  return Parse(inValue, ioParams.*Field);
}

// The same, and its "given" flag set when the value was understood.
template <auto Field, auto Flag, auto Parse>
bool SetGiven(Parameters& ioParams, std::string_view inValue)
{
  if (!Parse(inValue, ioParams.*Field))
    return false;
  ioParams.*Flag = 1;
  return true;
}

// One number into both halves of a pair.
template <auto Field>
bool SetBoth(Parameters& ioParams, std::string_view inValue)
{
  LONG theValue = 0;
  if (!ParseLong(inValue, theValue))
    return false;
  ioParams.*Field = {theValue, theValue};
  return true;
}

// User, password and domain: any of them asks for impersonation.
template <auto Field>
bool SetAccount(Parameters& ioParams, std::string_view inValue)
{
  if (!ParseString(inValue, ioParams.*Field))
    return false;
  ioParams.Impersonate = 1;
  return true;
}

bool ApplyX(Parameters& ioParams, std::string_view inValue)
{
  return ParseLong(inValue, ioParams.Position.x);
}

bool ApplyY(Parameters& ioParams, std::string_view inValue)
{
  return ParseLong(inValue, ioParams.Position.y);
}

bool ApplySize(Parameters& ioParams, std::string_view inValue)
{
  POINT theSize{};
  if (!ParsePoint(inValue, theSize))
    return false;
  ioParams.Size = {theSize.x, theSize.y};
  ioParams.HasSize = 1;
  return true;
}

bool ApplyWidth(Parameters& ioParams, std::string_view inValue)
{
  if (!ParseLong(inValue, ioParams.Size.cx))
    return false;
  ioParams.HasSize = 1;
  return true;
}

bool ApplyHeight(Parameters& ioParams, std::string_view inValue)
{
  if (!ParseLong(inValue, ioParams.Size.cy))
    return false;
  ioParams.HasSize = 1;
  return true;
}

bool ApplyText(Parameters& ioParams, std::string_view inValue)
{
  ioParams.Text = Utf8ToUtf16(inValue);
  ioParams.TextIsWide = 0;
  return true;
}

// degrees[,cx,cy]
bool ApplyRotation(Parameters& ioParams, std::string_view inValue)
{
  float theDegrees = 0;
  if (!ParseFloat(inValue, theDegrees))
    return false;
  POINT theCentre{0, 0};
  if (!ParsePoint(NextListItem(inValue), theCentre))
    theCentre = {0, 0};
  ioParams.KeywordTransform.Rotate(theDegrees, static_cast<float>(theCentre.x), static_cast<float>(theCentre.y));
  return true;
}

// kx[,ky[,cx,cy]]: ky is kx when missing or not a number.
bool ReadPairAndCentre(std::string_view inValue, float& outX, float& outY, POINT& outCentre)
{
  if (!ParseFloat(inValue, outX))
    return false;
  std::string_view theSecond = NextListItem(inValue);
  if (theSecond.empty() || !ParseFloat(theSecond, outY))
    outY = outX;
  if (!ParsePoint(NextListItem(theSecond), outCentre))
    outCentre = {0, 0};
  return true;
}

bool ApplyStretch(Parameters& ioParams, std::string_view inValue)
{
  float theX = 0, theY = 0;
  POINT theCentre{};
  if (!ReadPairAndCentre(inValue, theX, theY, theCentre))
    return false;
  ioParams.KeywordTransform.Scale(theX, theY, static_cast<float>(theCentre.x), static_cast<float>(theCentre.y));
  return true;
}

bool ApplySkew(Parameters& ioParams, std::string_view inValue)
{
  float theX = 0, theY = 0;
  POINT theCentre{};
  if (!ReadPairAndCentre(inValue, theX, theY, theCentre))
    return false;
  ioParams.KeywordTransform.Skew(theX, theY, static_cast<float>(theCentre.x), static_cast<float>(theCentre.y));
  return true;
}

bool ApplyTranslate(Parameters& ioParams, std::string_view inValue)
{
  POINT theShift{};
  if (!ParsePoint(inValue, theShift))
    return false;
  ioParams.KeywordTransform.Translate(static_cast<float>(theShift.x), static_cast<float>(theShift.y));
  return true;
}

bool ApplyPoints(Parameters& ioParams, std::string_view inValue)
{
  if (!ParseFloatPoints(inValue, ioParams.Points, Parameters::kMaxPoints))
    return false;
  ioParams.RoundedPoints.clear();
  ioParams.RoundedPoints.reserve(ioParams.Points.size());
  for (const FloatPoint& thePoint : ioParams.Points)
    ioParams.RoundedPoints.push_back({RoundToLong(thePoint.x), RoundToLong(thePoint.y)});
  return true;
}

// A point, else a colour. Each attempt sets its own flag only when it succeeds.
bool ApplyTransparent(Parameters& ioParams, std::string_view inValue)
{
  if (ParsePoint(inValue, ioParams.TransparentPoint)) {
    ioParams.HasTransparentPoint = 1;
    return true;
  }
  if (ParseColor(inValue, ioParams.TransparentColor)) {
    ioParams.HasTransparentColor = 1;
    return true;
  }
  return false;
}

using Params = Parameters;

// Every keyword; two names of one field are aliases.
constexpr KeywordSetter kKeywords[] = {
  {"pencolor", Set<&Params::PenColor, ParseColor>},
  {"textcolor", Set<&Params::TextColor, ParseColor>},
  {"paintcolor", Set<&Params::PaintColor, ParseColor>},
  {"pensize", Set<&Params::PenSize, ParseLong>},
  {"textfont", Set<&Params::Font, ParseString>},
  {"textcharset", Set<&Params::Charset, ParseCharset>},
  {"textsize", Set<&Params::TextSize, ParseLong>},
  {"textstyle", Set<&Params::TextStyle, ParseTextStyle>},
  {"halign", Set<&Params::HAlign, ParseHAlign>},
  {"valign", Set<&Params::VAlign, ParseVAlign>},
  {"dither", Set<&Params::Dither, ParseBool>},
  {"rectangle", SetGiven<&Params::Rect, &Params::HasRect, ParseRect>},
  {"rect", SetGiven<&Params::Rect, &Params::HasRect, ParseRect>},
  {"position", Set<&Params::Position, ParsePoint>},
  {"pos", Set<&Params::Position, ParsePoint>},
  {"x", ApplyX},
  {"y", ApplyY},
  {"size", ApplySize},
  {"width", ApplyWidth},
  {"height", ApplyHeight},
  {"inset", SetBoth<&Params::Inset>},
  {"move", Set<&Params::Move, ParsePoint>},
  {"rotation", ApplyRotation},
  {"rotate", ApplyRotation},
  {"stretch", ApplyStretch},
  {"scale", ApplyStretch},
  {"skew", ApplySkew},
  {"translate", ApplyTranslate},
  {"pin", SetGiven<&Params::Pin, &Params::HasPin, ParsePoint>},
  {"pintl", SetGiven<&Params::Pin, &Params::HasPin, ParsePoint>},
  {"limitwidth", SetGiven<&Params::LimitWidth, &Params::HasLimitWidth, ParseLong>},
  {"limitheight", SetGiven<&Params::LimitHeight, &Params::HasLimitHeight, ParseLong>},
  {"shape", Set<&Params::Shape, ParseShape>},
  {"operation", Set<&Params::DrawOperation, ParseDrawOperation>},
  {"op", Set<&Params::DrawOperation, ParseDrawOperation>},
  {"cornersize", SetBoth<&Params::CornerSize>},
  {"points", ApplyPoints},
  {"text", ApplyText},
  {"offset", Set<&Params::Offset, ParseFloat>},
  {"kerning", Set<&Params::Kerning, ParseFloat>},
  {"quality", Set<&Params::Quality, ParseQuality>},
  {"interlace", Set<&Params::Interlace, ParseBool>},
  {"depth", Set<&Params::Depth, ParseColorCount>},
  {"type", Set<&Params::Type, ParseString>},
  {"mode", Set<&Params::Mode, ParseTransferMode>},
  {"modecolor", Set<&Params::ModeColor, ParseColor>},
  {"image", Set<&Params::Image, ParseLong>},
  {"time", Set<&Params::Time, ParseFloat>},
  {"opengl", Set<&Params::OpenGL, ParseBool>},
  {"transparent", ApplyTransparent},
  {"hres", Set<&Params::HRes, ParseLong>},
  {"vres", Set<&Params::VRes, ParseLong>},
  {"alpha", Set<&Params::Alpha, ParseBool>},
  {"palette", Set<&Params::Palette, ParsePalette>},
  {"user", SetAccount<&Params::User>},
  {"password", SetAccount<&Params::Password>},
  {"domain", SetAccount<&Params::Domain>},
  {"selectiontype", Set<&Params::SelectionType, ParseSelectionType>},
  {"keycolor", Set<&Params::KeyColor, ParseColor>},
  {"keylocation", SetGiven<&Params::KeyLocation, &Params::HasKeyLocation, ParsePoint>},
  {"tolerance", Set<&Params::Tolerance, ParseFloat>},
  {"sourcerectangle", SetGiven<&Params::SourceRect, &Params::HasSourceRect, ParseRect>},
  {"srcrect", SetGiven<&Params::SourceRect, &Params::HasSourceRect, ParseRect>},
  {"fit", Set<&Params::Fit, ParseBool>},
};

LONG Add(LONG inA, LONGLONG inB)
{
  return ClampToLong(LONGLONG{inA} + inB);
}

bool IsEmpty(const RECT& inRect)
{
  return inRect.right <= inRect.left || inRect.bottom <= inRect.top;
}

// (left, top), (right, top), (right, bottom).
void Parallelogram(const RECT& inRect, float outPoints[6])
{
  const float theLeft = static_cast<float>(inRect.left), theTop = static_cast<float>(inRect.top);
  const float theRight = static_cast<float>(inRect.right), theBottom = static_cast<float>(inRect.bottom);
  const float thePoints[6] = {theLeft, theTop, theRight, theTop, theRight, theBottom};
  std::copy(thePoints, thePoints + 6, outPoints);
}

// trunc(inNumerator / inDenominator + 0.5), the numerator a 64-bit product.
LONG ScaleRounded(LONGLONG inNumerator, LONGLONG inDenominator)
{
  return TruncToLong(static_cast<double>(inNumerator) / static_cast<double>(inDenominator) + 0.5);
}

}  // namespace

void Parameters::HandleParameter(const char* inName, const char* inValue)
{
  ApplyParameter(inName, inValue);
}

void Parameters::ApplyParameter(const char* inName, const char* inValue)
{
  for (const KeywordSetter& theKeyword : kKeywords) {
    if (EqualsIgnoringCase(theKeyword.mName, inName)) {
      if (!theKeyword.mSet(*this, inValue))
        SetError(kBadValue, inName, "=", inValue);
      return;
    }
  }
  SetError(kUnknownName, inName);
}

void Parameters::ApplyWideParameter(const char* inName, std::u16string_view inValue)
{
  if (!EqualsIgnoringCase("text", inName)) {
    SetError(kUnknownName, inName);
    return;
  }
  Text = inValue;
  TextIsWide = 1;
}

RECT Parameters::GetRect() const
{
  RECT theBase = HasRect ? Rect : RECT{Position.x, Position.y, Add(Position.x, Size.cx), Add(Position.y, Size.cy)};
  return {Add(theBase.left, LONGLONG{Inset.x} + Move.x), Add(theBase.top, LONGLONG{Inset.y} + Move.y),
          Add(theBase.right, LONGLONG{Move.x} - Inset.x), Add(theBase.bottom, LONGLONG{Move.y} - Inset.y)};
}

RECT Parameters::GetPlacement(const RECT& inItem, const RECT& inDefault) const
{
  const bool theSized = HasRect || HasSize;
  RECT thePlace = theSized ? GetRect() : OffsetRectBy(inItem, Position.x, Position.y);
  if (!Fit)
    return thePlace;
  auto theFactor = [](LONG inAlign) { return inAlign == 0 ? 0.0 : inAlign == 2 ? 1.0 : 0.5; };
  return FitRectIn(inItem, theSized ? thePlace : inDefault, theFactor(HAlign), theFactor(VAlign));
}

Transform Parameters::GetDestTransform(const RECT& inDestination, const RECT& inSource) const
{
  Transform theResult;
  if (!IsEmpty(inSource)) {
    float theSource[6], theDestination[6];
    Parallelogram(inSource, theSource);
    Parallelogram(inDestination, theDestination);
    // A degenerate destination still gives the map onto it (the source collapses).
    theResult.MapParallelogram(theSource, theDestination);
  }
  theResult.Concat(GetTransform());

  if (HasPin) {
    RECT theBounds = MapRectBounds(theResult, inSource);
    theResult.Translate(static_cast<float>(LONGLONG{Pin.x} - theBounds.left),
                        static_cast<float>(LONGLONG{Pin.y} - theBounds.top));
  }
  // A limit scales only a source side that has extent: a side of 0 would
  // divide by zero.
  const float thePinX = static_cast<float>(Pin.x), thePinY = static_cast<float>(Pin.y);
  if (HasLimitWidth) {
    RECT theBounds = MapRectBounds(theResult, inSource);
    LONGLONG theWidth = LONGLONG{theBounds.right} - theBounds.left;
    if (theWidth > 0 && theWidth > LimitWidth) {
      float theScale = static_cast<float>(LimitWidth / static_cast<double>(theWidth));
      theResult.Scale(theScale, theScale, thePinX, thePinY);
    }
  }
  if (HasLimitHeight) {
    RECT theBounds = MapRectBounds(theResult, inSource);
    LONGLONG theHeight = LONGLONG{theBounds.bottom} - theBounds.top;
    if (theHeight > 0 && theHeight > LimitHeight) {
      float theScale = static_cast<float>(LimitHeight / static_cast<double>(theHeight));
      theResult.Scale(theScale, theScale, thePinX, thePinY);
    }
  }
  return theResult;
}

Transform Parameters::GetItemTransform(LONG inWidth, LONG inHeight) const
{
  RECT theDestination = GetRect();
  if (!HasRect && !HasSize) {
    theDestination.right = Add(theDestination.right, inWidth);
    theDestination.bottom = Add(theDestination.bottom, inHeight);
  }
  return GetDestTransform(theDestination, RECT{0, 0, inWidth, inHeight});
}

Transform Parameters::GetTransform() const
{
  Transform theResult = KeywordTransform;
  theResult.Concat(ExtraTransform);
  return theResult;
}

RECT Parameters::GetSourceRect(const RECT& inDefault) const
{
  return HasSourceRect ? SourceRect : inDefault;
}

RECT MapRectBounds(const Transform& inTransform, const RECT& inRect)
{
  const POINT kCorners[] = {
    {inRect.left, inRect.top}, {inRect.right, inRect.top}, {inRect.left, inRect.bottom}, {inRect.right, inRect.bottom}};
  RECT theBounds{};
  for (std::size_t i = 0; i < std::size(kCorners); ++i) {
    POINT theMapped{};
    inTransform.MapPointRounded(kCorners[i].x, kCorners[i].y, theMapped.x, theMapped.y);
    if (i == 0) {
      theBounds = {theMapped.x, theMapped.y, theMapped.x, theMapped.y};
      continue;
    }
    theBounds.left = std::min(theBounds.left, theMapped.x);
    theBounds.top = std::min(theBounds.top, theMapped.y);
    theBounds.right = std::max(theBounds.right, theMapped.x);
    theBounds.bottom = std::max(theBounds.bottom, theMapped.y);
  }
  return theBounds;
}

RECT FitRectIn(const RECT& inItem, const RECT& inTarget, double inHorizontal, double inVertical)
{
  const LONGLONG theWidth = LONGLONG{inTarget.right} - inTarget.left;
  const LONGLONG theHeight = LONGLONG{inTarget.bottom} - inTarget.top;
  RECT theItem = inItem;
  if (theWidth < 1 || theHeight < 1) {
    theItem = {0, 0, 0, 0};
  } else {
    if (theItem.right > theWidth) {
      const LONG theOldRight = theItem.right, theOldBottom = theItem.bottom;
      theItem.right = static_cast<LONG>(theWidth);
      theItem.bottom = ScaleRounded(LONGLONG{theOldBottom} * theWidth, theOldRight);
      if (theOldBottom != 0)
        theItem.top = ScaleRounded(LONGLONG{theItem.top} * theItem.bottom, theOldBottom);
      theItem.left = ScaleRounded(LONGLONG{theItem.left} * theWidth, theOldRight);
    }
    if (theItem.bottom > theHeight) {
      const LONG theOldRight = theItem.right, theOldBottom = theItem.bottom;
      theItem.right = ScaleRounded(LONGLONG{theOldRight} * theHeight, theOldBottom);
      theItem.top = ScaleRounded(LONGLONG{theItem.top} * theHeight, theOldBottom);
      if (theOldRight != 0)
        theItem.left = ScaleRounded(LONGLONG{theItem.left} * theItem.right, theOldRight);
      theItem.bottom = static_cast<LONG>(theHeight);
    }
  }
  return AlignRectIn(theItem, inTarget, inHorizontal, inVertical);
}

RECT AlignRectIn(const RECT& inItem, const RECT& inTarget, double inHorizontal, double inVertical)
{
  const LONGLONG theSpareX = (LONGLONG{inTarget.right} - inTarget.left) - (LONGLONG{inItem.right} - inItem.left);
  const LONGLONG theSpareY = (LONGLONG{inTarget.bottom} - inTarget.top) - (LONGLONG{inItem.bottom} - inItem.top);
  const LONG theDx = Add(inTarget.left, TruncToLong(static_cast<double>(theSpareX) * inHorizontal));
  const LONG theDy = Add(inTarget.top, TruncToLong(static_cast<double>(theSpareY) * inVertical));
  return OffsetRectBy(inItem, theDx, theDy);
}
