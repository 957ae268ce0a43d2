#include "objects/DrawGDIShape.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/FontNames.h"
#include "core/GDIAccess.h"
#include "core/SystemUtilities.h"
#include "platform/automation/Bstr.h"
#include "platform/base/LastError.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr LONG kTextShape = 5;
constexpr double kTenthsOfDegreePerRadian = 572.9577950560105;

COLORREF ToColorRef(const ColorValue& inColor)
{
  return RGB(static_cast<BYTE>(inColor.mRed >> 8), static_cast<BYTE>(inColor.mGreen >> 8),
             static_cast<BYTE>(inColor.mBlue >> 8));
}

LONG Add(LONG inValue, LONG inDelta)
{
  return ClampToLong(LONGLONG{inValue} + inDelta);
}

double Distance(FloatPoint inFrom, FloatPoint inTo)
{
  return std::hypot(double{inTo.x} - inFrom.x, double{inTo.y} - inFrom.y);
}

FloatPoint Between(FloatPoint inFrom, FloatPoint inTo, double inFraction)
{
  return FloatPoint{static_cast<float>(inFrom.x + (double{inTo.x} - inFrom.x) * inFraction),
                    static_cast<float>(inFrom.y + (double{inTo.y} - inFrom.y) * inFraction)};
}

// One character of the text: where it starts, its UTF-16 units, its advance.
struct PathCharacter {
  std::size_t mStart;
  std::size_t mLength;
  double mWidth;
};

// The index of the character at which the running width (each advance and
// the kerning after it) first reaches half the text's width; the count when
// it never does.
std::size_t MiddleCharacter(const std::vector<PathCharacter>& inCharacters, double inKerning)
{
  double theTotal = (static_cast<double>(inCharacters.size()) - 1) * inKerning;
  for (const PathCharacter& theCharacter : inCharacters)
    theTotal += theCharacter.mWidth;
  double theRunning = 0;
  for (std::size_t i = 0; i < inCharacters.size(); ++i) {
    theRunning += inCharacters[i].mWidth + inKerning;
    if (theRunning >= theTotal / 2)
      return i;
  }
  return inCharacters.size();
}

// The point at half the length of a path of at least two points, and the
// index of the point that ends its segment.
FloatPoint MiddleOfPath(const std::vector<FloatPoint>& inPoints, std::ptrdiff_t& outEnd)
{
  double theLength = 0;
  for (std::size_t i = 1; i < inPoints.size(); ++i)
    theLength += Distance(inPoints[i - 1], inPoints[i]);
  double theTravelled = 0;
  for (std::size_t i = 1; i < inPoints.size(); ++i) {
    const double theSegment = Distance(inPoints[i - 1], inPoints[i]);
    if (theTravelled + theSegment >= theLength / 2) {
      outEnd = static_cast<std::ptrdiff_t>(i);
      return Between(inPoints[i - 1], inPoints[i], theSegment > 0 ? (theLength / 2 - theTravelled) / theSegment : 0);
    }
    theTravelled += theSegment;
  }
  outEnd = static_cast<std::ptrdiff_t>(inPoints.size()) - 1;
  return inPoints.back();
}

}  // namespace

// One run of characters along the points, forward or backward from a start.
struct DrawGDIShape::PathRun {
  const std::vector<FloatPoint>& mPoints;
  std::vector<PathCharacter> mCharacters;  // in the run's order
  FloatPoint mAt;                          // where the next character starts
  std::ptrdiff_t mNext;                    // the next point to visit
  std::ptrdiff_t mStep;                    // +1 forward, -1 backward

  // The point inDistance away from mAt in a straight line: on the segment
  // that ends at the first point visited that lies at least that far away.
  // A distance of 0 or less stays at mAt. False when the points run out.
  bool Travel(double inDistance, FloatPoint& outEnd)
  {
    outEnd = mAt;
    if (inDistance <= 0)
      return true;
    FloatPoint thePrevious = mAt;
    double thePreviousDistance = 0;
    for (; mNext >= 0 && mNext < static_cast<std::ptrdiff_t>(mPoints.size()); mNext += mStep) {
      const FloatPoint thePoint = mPoints[static_cast<std::size_t>(mNext)];
      const double theDistance = Distance(mAt, thePoint);
      if (theDistance >= inDistance) {
        const double theFraction = (inDistance - thePreviousDistance) / (theDistance - thePreviousDistance);
        outEnd = Between(thePrevious, thePoint, theFraction);
        return true;
      }
      thePrevious = thePoint;
      thePreviousDistance = theDistance;
    }
    return false;
  }
};

DrawGDIShape::DrawGDIShape(const char* inLabel, bool inDrawDirect) : Operation(inLabel), mDrawDirect(inDrawDirect)
{
  AllowImpersonation(false);
  if (mParams)
    mParams->DrawOperation = 3;
}

DrawGDIShape::~DrawGDIShape()
{
  CleanupGDI();
}

void DrawGDIShape::SetShape(const char* inShape)
{
  if (mParams)
    mParams->ApplyParameter("shape", inShape);
  AddLogParam("Shape", inShape);
}

void DrawGDIShape::SetText(std::u16string_view inText)
{
  if (mParams) {
    mParams->Shape = kTextShape;
    mParams->ApplyWideParameter("text", inText);
  }
  AddLogParam("Text", Utf16ToUtf8(inText).c_str());
}

void DrawGDIShape::SetDrawMode(LONG inMode)
{
  if (mParams)
    mParams->DrawOperation = inMode;
}

LONG DrawGDIShape::DoIt(Bitmap& inWorld)
{
  TL_ASSERT_TEXT(mParams->Shape != kNoShapeType, "mParams->Shape != kNoShapeType");
  if (SetupGDI(inWorld) && !mError->HasError()) {
    if (mParams->DrawOperation != 2)
      InsetForPen(mParams->PenSize);
    static_cast<void>(DrawShapePath());
  }
  CleanupGDI();
  mError->AddContext("Unable to draw shape");
  return 0;
}

bool DrawGDIShape::Failed()
{
  if (const DWORD theCode = GetLastError(); theCode != 0)
    mError->mWindowsCode = static_cast<LONG>(theCode);
  return false;
}

bool DrawGDIShape::Select(HGDIOBJ inObject, HGDIOBJ& ioOld)
{
  HGDIOBJ thePrevious = SelectObject(mHDC, inObject);
  if (!thePrevious)
    return Failed();
  if (!ioOld)
    ioOld = thePrevious;
  return true;
}

bool DrawGDIShape::SetupGDI(Bitmap& inWorld)
{
  if (const LONG theStatus = inWorld.Create(256, 256, -1, nullptr); theStatus != 0) {
    mError->mWindowsCode = theStatus;
    return false;
  }
  mHDC = inWorld.GetHDC();
  TL_ASSERT(mHDC);
  mUndo.Enter([](void* inOwner) { static_cast<DrawGDIShape*>(inOwner)->CleanupGDI(); }, this);

  mOldMapMode = SetMapMode(mHDC, MM_TEXT);
  if (mOldMapMode == 0)
    return Failed();

  const RECT theBounds = inWorld.GetBounds();
  mShapeRect = mParams->GetPlacement(theBounds, theBounds);
  const Transform theTransform = mParams->GetDestTransform(mShapeRect, mShapeRect);
  mOldGraphicsMode = SetGraphicsMode(mHDC, GM_ADVANCED);
  if (mOldGraphicsMode == 0)
    SetLastError(0);
  else if (!SetWorldTransform(mHDC, &theTransform))
    return Failed();

  if (mParams->PenColor.IsPattern()) {
    mError->AddMessage("You can paint using patterns but you cannot draw using them.");
    return false;
  }
  mPen = CreatePen(PS_SOLID, mParams->PenSize, ToColorRef(mParams->PenColor));
  if (!mPen || !Select(mPen, mOldPen))
    return Failed();

  if (mParams->PaintColor.IsPattern()) {
    GDIAccess thePattern(mParams->Pattern);
    HBITMAP theBitmap = thePattern.GetHBITMAP();
    if (!theBitmap) {
      mError->AddMessage("Cannot access pattern.");
      return false;
    }
    mBrush = CreatePatternBrush(theBitmap);
  } else {
    mBrush = CreateSolidBrush(ToColorRef(mParams->PaintColor));
  }
  if (!mBrush || !Select(mBrush, mOldBrush))
    return Failed();

  mOldTextColor = SetTextColor(mHDC, ToColorRef(mParams->TextColor));
  mTextColorSet = true;
  mOldBkMode = SetBkMode(mHDC, TRANSPARENT);

  // Only text needs a font: a shape's path is drawn with the pen and brush.
  if (mParams->Shape != kTextShape)
    return true;
  TL_ASSERT_TEXT(mParams->Font.size() < 32, "_tcslen(mParams->Font) < 32");
  std::string theFace;
  PickInstalledFont(mParams->Charset, mParams->Font, theFace);
  const FontStyle& theStyle = mParams->TextStyle;
  mFont = CreateFontA(-MulDiv(mParams->TextSize, GetDeviceCaps(mHDC, LOGPIXELSY), 72), 0, 0, 0, theStyle.mWeight,
                      static_cast<DWORD>(theStyle.mItalic), static_cast<DWORD>(theStyle.mUnderline),
                      static_cast<DWORD>(theStyle.mStrikethrough), static_cast<DWORD>(mParams->Charset),
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, theFace.c_str());
  if (!mFont || !Select(mFont, mOldFont))
    return Failed();
  return true;
}

void DrawGDIShape::CleanupGDI()
{
  if (!mHDC)
    return;
  mUndo.Leave();
  for (HGDIOBJ* theOld : {&mOldBrush, &mOldPen, &mOldFont}) {
    if (*theOld)
      SelectObject(mHDC, *theOld);
    *theOld = nullptr;
  }
  for (HGDIOBJ theMade : {HGDIOBJ(mBrush), HGDIOBJ(mPen), HGDIOBJ(mFont), HGDIOBJ(mRotatedFont)})
    if (theMade)
      DeleteObject(theMade);
  mBrush = nullptr;
  mPen = nullptr;
  mFont = nullptr;
  mRotatedFont = nullptr;
  mEscapement = 0;
  if (mOldMapMode)
    SetMapMode(mHDC, mOldMapMode);
  if (mOldBkMode)
    SetBkMode(mHDC, mOldBkMode);
  if (mTextColorSet)
    SetTextColor(mHDC, mOldTextColor);
  mOldMapMode = mOldBkMode = 0;
  mTextColorSet = false;
  ModifyWorldTransform(mHDC, nullptr, MWT_IDENTITY);
  if (mOldGraphicsMode)
    SetGraphicsMode(mHDC, mOldGraphicsMode);
  mOldGraphicsMode = 0;
  mHDC = nullptr;
}

void DrawGDIShape::InsetForPen(LONG inPen)
{
  const LONG h = inPen / 2;
  const LONG u = Add(inPen, 1) / 2;
  const LONG d = Add(inPen, -1) / 2;
  RECT& r = mShapeRect;
  switch (mParams->Shape) {
    case 1:
    case 4:
      r = RECT{Add(r.left, h), Add(r.top, h), Add(r.right, -u), Add(r.bottom, -u)};
      break;
    case 2:
      r = RECT{Add(r.left, d), Add(r.top, d), Add(r.right, -u), Add(r.bottom, -u)};
      break;
    case 3:
    case 6:
      for (POINT& thePoint : mParams->RoundedPoints)
        thePoint = POINT{Add(thePoint.x, h), Add(thePoint.y, h)};
      break;
    default:
      break;
  }
}

bool DrawGDIShape::DrawShapePath()
{
  const RECT& r = mShapeRect;
  const std::vector<POINT>& thePoints = mParams->RoundedPoints;
  const int theCount = static_cast<int>(thePoints.size());
  if (mParams->DrawOperation == 0 && mParams->Shape != kTextShape) {
    // Measuring draws nothing, and only text has lines to measure.
    mShapeRect.right = mShapeRect.left;
    mShapeRect.bottom = mShapeRect.top;
    return true;
  }
  if (!mDrawDirect && !BeginPath(mHDC))
    return Failed();
  bool ok = true;
  switch (mParams->Shape) {
    case 1:
      ok = Rectangle(mHDC, r.left, r.top, r.right, r.bottom) || Failed();
      break;
    case 2:
      ok = Ellipse(mHDC, r.left, r.top, r.right, r.bottom) || Failed();
      break;
    case 3:
      ok = Polygon(mHDC, thePoints.data(), theCount) || Failed();
      break;
    case 4:
      ok = RoundRect(mHDC, r.left, r.top, r.right, r.bottom, mParams->CornerSize.x, mParams->CornerSize.y) || Failed();
      break;
    case kTextShape:
      ok = DrawTextShape();
      break;
    case 6:
      ok = Polyline(mHDC, thePoints.data(), theCount) || Failed();
      break;
    default:
      TL_ASSERT_TEXT(false, "FALSE");
      break;
  }
  if (!mDrawDirect) {
    ok = (EndPath(mHDC) || Failed()) && ok;
    if (ok) {
      switch (mParams->DrawOperation) {
        case 1:
          ok = StrokePath(mHDC) || Failed();
          break;
        case 2:
          ok = FillPath(mHDC) || Failed();
          break;
        case 3:
          ok = StrokeAndFillPath(mHDC) || Failed();
          break;
        default:
          TL_ASSERT_TEXT(false, "FALSE");
          break;
      }
    }
  }
  if (ok)
    GdiFlush();
  return ok;
}

bool DrawGDIShape::DrawTextShape()
{
  if (!mParams->Points.empty() && mParams->DrawOperation != 0)
    return DrawTextOnPath();
  return LayoutText();
}

bool DrawGDIShape::LayoutText()
{
  const LPCWSTR theText = mParams->Text.c_str();
  UINT theFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
  if (mParams->HAlign == 1)
    theFlags |= DT_CENTER;
  else if (mParams->HAlign == 2)
    theFlags |= DT_RIGHT;
  if (mParams->DrawOperation == 0)
    theFlags |= DT_CALCRECT;

  RECT theWork{mShapeRect.left, mShapeRect.top, mShapeRect.right, mShapeRect.top};
  LONGLONG theTextHeight = DrawTextW(mHDC, theText, -1, &theWork, theFlags | DT_CALCRECT);
  if (theTextHeight == 0)
    return Failed();
  mLineHeight = DrawTextW(mHDC, theText, -1, &theWork, theFlags | DT_CALCRECT | DT_SINGLELINE);
  if (mLineHeight == 0)
    return Failed();

  const LONGLONG theBoxHeight = LONGLONG{mShapeRect.bottom} - mShapeRect.top;
  theTextHeight = std::min(theTextHeight, theBoxHeight);
  if (mParams->VAlign == 1)
    mShapeRect.top = ClampToLong(mShapeRect.top + (theBoxHeight - theTextHeight) / 2);
  else if (mParams->VAlign == 2)
    mShapeRect.top = ClampToLong(mShapeRect.top + theBoxHeight - theTextHeight);

  DRAWTEXTPARAMS theDrawing{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
  // A rectangle too short for one line lays out nothing without a last error.
  SetLastError(0);
  if (DrawTextExW(mHDC, theText, -1, &mShapeRect, theFlags, &theDrawing) == 0)
    return Failed();
  mCharsDrawn = static_cast<LONG>(theDrawing.uiLengthDrawn);
  return !mError->HasError();
}

bool DrawGDIShape::DrawTextOnPath()
{
  const std::vector<FloatPoint>& thePoints = mParams->Points;
  const std::u16string_view theText = mParams->Text;
  if (thePoints.size() < 2 || theText.empty())
    return true;
  TEXTMETRICW theMetrics;
  if (!GetTextMetricsW(mHDC, &theMetrics))
    return Failed();

  std::vector<PathCharacter> theCharacters;
  for (std::size_t i = 0; i < theText.size();) {
    char32_t theCode = theText[i];
    std::size_t theLength = 1;
    if (theCode >= 0xD800 && theCode < 0xDC00 && i + 1 < theText.size() && theText[i + 1] >= 0xDC00 &&
        theText[i + 1] < 0xE000) {
      theCode = 0x10000 + ((theCode - 0xD800) << 10) + (theText[i + 1] - 0xDC00);
      theLength = 2;
    }
    INT theWidth = 0;
    if (!GetCharWidthW(mHDC, theCode, theCode, &theWidth))
      return Failed();
    theCharacters.push_back(PathCharacter{i, theLength, static_cast<double>(theWidth)});
    i += theLength;
  }

  const double theKerning = mParams->Kerning * 0.001 * theMetrics.tmMaxCharWidth;
  const double theShare = mParams->Offset * 0.01;
  double theOffset = 0;
  if (mParams->VAlign == 0)
    theOffset = theMetrics.tmHeight * (1 + theShare);
  else if (mParams->VAlign == 1)
    theOffset = theShare * theMetrics.tmHeight + theMetrics.tmAscent;
  else if (mParams->VAlign == 2)
    theOffset = theShare * theMetrics.tmHeight;

  using Characters = std::vector<PathCharacter>;
  const auto theBegin = theCharacters.begin();
  std::vector<PathRun> theRuns;
  if (mParams->HAlign == 0) {
    theRuns.push_back(PathRun{thePoints, theCharacters, thePoints.front(), 1, 1});
  } else if (mParams->HAlign == 2) {
    theRuns.push_back(PathRun{thePoints, Characters(theCharacters.rbegin(), theCharacters.rend()), thePoints.back(),
                              static_cast<std::ptrdiff_t>(thePoints.size()) - 2, -1});
  } else if (mParams->HAlign == 1) {
    const auto theSplit = theBegin + static_cast<std::ptrdiff_t>(MiddleCharacter(theCharacters, theKerning));
    std::ptrdiff_t theEnd = 0;
    const FloatPoint theMiddle = MiddleOfPath(thePoints, theEnd);
    theRuns.push_back(PathRun{thePoints, Characters(theSplit, theCharacters.end()), theMiddle, theEnd, 1});
    theRuns.push_back(PathRun{thePoints, Characters(std::make_reverse_iterator(theSplit), theCharacters.rend()),
                              theMiddle, theEnd - 1, -1});
  }
  mCharsDrawn = 0;
  for (PathRun& theRun : theRuns)
    mCharsDrawn += PlaceTextOnPath(theRun, theKerning, theOffset);
  return !mError->HasError();
}

LONG DrawGDIShape::PlaceTextOnPath(PathRun& ioRun, double inKerning, double inOffset)
{
  const std::u16string_view theText = mParams->Text;
  LONG thePlaced = 0;
  for (const PathCharacter& theCharacter : ioRun.mCharacters) {
    FloatPoint theEnd;
    if (!ioRun.Travel(theCharacter.mWidth, theEnd))
      break;
    PlaceChar(ioRun.mAt, theEnd, theText.substr(theCharacter.mStart, theCharacter.mLength), ioRun.mStep > 0,
              inOffset);
    thePlaced += static_cast<LONG>(theCharacter.mLength);
    ioRun.mAt = theEnd;
    if (inKerning != 0) {
      if (!ioRun.Travel(inKerning, theEnd))
        break;
      ioRun.mAt = theEnd;
    }
  }
  return thePlaced;
}

void DrawGDIShape::PlaceChar(FloatPoint inStart, FloatPoint inEnd, std::u16string_view inCharacter, bool inForward,
                             double inOffset)
{
  const double dx = double{inEnd.x} - inStart.x;
  const double dy = double{inEnd.y} - inStart.y;
  const bool theVertical = -0.01 < dx && dx < 0.01;
  double theAngle;
  LONG theEscapement;
  if (theVertical) {
    // Up the canvas (900) or down it (2700), in the direction of reading.
    const bool theUp = inForward ? dy <= 0 : dy > 0;
    theAngle = theUp ? std::numbers::pi / 2 : 3 * std::numbers::pi / 2;
    theEscapement = theUp ? 900 : 2700;
  } else {
    theAngle = std::atan(-dy / dx);
    theEscapement = RoundToLong(theAngle * kTenthsOfDegreePerRadian);
  }
  if (theEscapement % 900 == 0)
    ++theEscapement;
  if (!theVertical && (inForward ? dx < 0 : dx > 0)) {
    theEscapement = (theEscapement + 1800) % 3600;
    theAngle += 3.141592654;
  }

  if (theEscapement != mEscapement) {
    LOGFONTA theFont;
    if (GetObjectA(mFont, sizeof theFont, &theFont) != static_cast<int>(sizeof theFont))
      return;
    theFont.lfEscapement = theFont.lfOrientation = theEscapement;
    HFONT theTurned = CreateFontIndirectA(&theFont);
    if (!theTurned)
      return;
    if (!SelectObject(mHDC, theTurned)) {
      DeleteObject(theTurned);
      return;
    }
    if (mRotatedFont)
      DeleteObject(mRotatedFont);
    mRotatedFont = theTurned;
    mEscapement = theEscapement;
  }

  const FloatPoint theBase = inForward ? inStart : inEnd;
  if (!TextOutW(mHDC, RoundToLong(theBase.x - std::sin(theAngle) * inOffset),
                RoundToLong(theBase.y - std::cos(theAngle) * inOffset), inCharacter.data(),
                static_cast<int>(inCharacter.size())))
    Failed();
}
