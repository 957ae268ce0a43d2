#pragma once
// The parameters record of one canvas operation: everything an operation may
// be told (colours, pen, font, the target rectangle and how to reach it,
// transforms, points, text, export settings, transparency, impersonation and
// selection settings). It is made with the defaults below, the canvas then
// copies its own defaults in, and the method's parameter string is parsed in
// last, so keywords win over canvas defaults, which win over these.
//
// The record also answers the questions every drawing operation asks: the
// target rectangle (GetRect), where an item of a given size goes
// (GetPlacement), and the transform that carries a source rectangle onto the
// target (GetDestTransform). Operations read the fields directly.

#include "core/ColorValue.h"
#include "core/ParameterParser.h"
#include "core/Transform.h"
#include "core/Utilities.h"
#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

class Parameters : public ParameterParser {
public:
  // At most this many points from the "points" keyword.
  static constexpr std::size_t kMaxPoints = 1024;

  Parameters() = default;
  ~Parameters() override = default;

  // Stores one keyword's value through its parser; an unreadable value
  // records code 6 (context name=value), an unknown name code 7 (context the
  // name). Either stops a parse in progress.
  virtual void ApplyParameter(const char* inName, const char* inValue);
  // Only "text" is accepted: the wide text is taken as it is.
  virtual void ApplyWideParameter(const char* inName, std::u16string_view inValue);

  // The target rectangle: Rect, or Position and Size; shrunk by Inset on every
  // side and shifted by Move.
  RECT GetRect() const;
  // Where an item with the natural rectangle inItem goes; with Fit it is
  // shrunk to the target (inDefault when neither rect nor size was given) and
  // aligned by HAlign and VAlign.
  RECT GetPlacement(const RECT& inItem, const RECT& inDefault) const;
  // The transform that carries inSource's corners onto inDestination's,
  // followed by GetTransform, then pinned and limited. A destination of zero
  // width or height collapses the source onto it.
  Transform GetDestTransform(const RECT& inDestination, const RECT& inSource) const;
  // GetDestTransform of (0, 0, inWidth, inHeight) onto GetRect; without rect
  // and size the item keeps its size at Position.
  Transform GetItemTransform(LONG inWidth, LONG inHeight) const;
  // KeywordTransform followed by ExtraTransform.
  Transform GetTransform() const;
  RECT GetSourceRect(const RECT& inDefault) const;

  ColorValue PenColor{0, 0, 0, 65535};
  ColorValue TextColor{0, 0, 0, 65535};
  ColorValue PaintColor{65535, 65535, 65535, 65535};
  LONG PenSize = 1;
  std::string Font;  // a list of family names
  LONG Charset = 1;
  LONG TextSize = 9;
  FontStyle TextStyle;
  LONG HAlign = 0;
  LONG VAlign = 0;
  LONG Dither = 0;
  RECT Rect{0, 0, 0, 0};
  LONG HasRect = 0;
  POINT Position{0, 0};
  SIZE Size{0, 0};
  LONG HasSize = 0;
  POINT Inset{0, 0};
  POINT Move{0, 0};
  Transform KeywordTransform;
  Transform ExtraTransform;  // set by the owning operation
  LONG HasPin = 0;
  POINT Pin{0, 0};
  LONG HasLimitWidth = 0;
  LONG LimitWidth = 0;
  LONG HasLimitHeight = 0;
  LONG LimitHeight = 0;
  LONG Shape = kNoShapeType;
  LONG DrawOperation = 3;  // 1 outline, 2 fill, 3 both
  POINT CornerSize{16, 16};
  std::vector<FloatPoint> Points;    // at most kMaxPoints
  std::vector<POINT> RoundedPoints;  // Points rounded half away from zero
  std::u16string Text;
  LONG TextIsWide = 0;
  float Offset = 0;
  float Kerning = 0;
  HBITMAP Pattern = nullptr;
  LONG Quality = 512;  // 0..1024
  LONG Interlace = 0;
  LONG Depth = 16777216;  // a number of colours
  std::string Type;
  WORD Mode = 0;  // transfer mode
  ColorValue ModeColor{0, 0, 0, 65535};
  LONG Image = 1;
  float Time = 0;
  LONG OpenGL = 0;
  POINT TransparentPoint{0, 0};
  LONG HasTransparentPoint = 0;
  ColorValue TransparentColor{0, 0, 0, 65535};
  LONG HasTransparentColor = 0;
  LONG HRes = 0;
  LONG VRes = 0;
  LONG Alpha = 0;
  LONG Palette = 4;  // adaptive
  LONG Impersonate = 0;
  std::string User;
  std::string Password;
  std::string Domain = ".";
  LONG SelectionType = 2;  // all
  ColorValue KeyColor{0, 0, 0, 65535};
  POINT KeyLocation{0, 0};
  LONG HasKeyLocation = 0;
  float Tolerance = 0;
  RECT SourceRect{0, 0, 0, 0};
  LONG HasSourceRect = 0;
  LONG Fit = 0;

protected:
  void HandleParameter(const char* inName, const char* inValue) override;
};

// The four corners of inRect through inTransform, rounded half away from
// zero: their smallest x and y and largest x and y.
RECT MapRectBounds(const Transform& inTransform, const RECT& inRect);
// Shrinks inItem (normally at the origin) to fit inTarget keeping its
// proportions (never growing it), then aligns it (AlignRectIn).
RECT FitRectIn(const RECT& inItem, const RECT& inTarget, double inHorizontal, double inVertical);
// Moves inItem by target.left + (target width - item width) x inHorizontal and
// likewise vertically, truncated toward zero.
RECT AlignRectIn(const RECT& inItem, const RECT& inTarget, double inHorizontal, double inVertical);
