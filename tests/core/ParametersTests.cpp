#include "core/Parameters.h"
#include "platform/base/Numbers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

std::string Describe(const RECT& inRect)
{
  return FormatRect(inRect);
}

std::string Describe(const Transform& inTransform)
{
  return FormatC("%g,%g,%g,%g,%g,%g", inTransform.eM11, inTransform.eM12, inTransform.eM21, inTransform.eM22,
                 inTransform.eDx, inTransform.eDy);
}

POINT MapRounded(const Transform& inTransform, LONG inX, LONG inY)
{
  POINT thePoint{};
  inTransform.MapPointRounded(inX, inY, thePoint.x, thePoint.y);
  return thePoint;
}

std::string MapText(const Transform& inTransform, LONG inX, LONG inY)
{
  return FormatPoint(MapRounded(inTransform, inX, inY));
}

std::string ErrorText(const Parameters& inParams)
{
  std::string theText;
  inParams.GetErrorText(theText);
  return theText;
}

}  // namespace

TEST(Parameters, StartsWithTheRecordDefaults)
{
  Parameters p;
  EXPECT_EQ(p.PenColor, ColorValue(0, 0, 0, 65535));
  EXPECT_EQ(p.TextColor, ColorValue(0, 0, 0, 65535));
  EXPECT_EQ(p.PaintColor, ColorValue(65535, 65535, 65535, 65535));
  EXPECT_EQ(p.PenSize, 1);
  EXPECT_EQ(p.Font, "");
  EXPECT_EQ(p.Charset, 1);
  EXPECT_EQ(p.TextSize, 9);
  EXPECT_EQ(p.TextStyle, FontStyle());
  EXPECT_EQ(p.DrawOperation, 3);
  EXPECT_EQ(p.Shape, kNoShapeType);
  EXPECT_EQ(p.CornerSize.x, 16);
  EXPECT_EQ(p.CornerSize.y, 16);
  EXPECT_EQ(p.Quality, 512);
  EXPECT_EQ(p.Depth, 16777216);
  EXPECT_EQ(p.Image, 1);
  EXPECT_EQ(p.Palette, 4);
  EXPECT_EQ(p.Domain, ".");
  EXPECT_EQ(p.SelectionType, 2);
  EXPECT_EQ(p.Mode, 0);
  EXPECT_EQ(p.Text, u"");
  EXPECT_EQ(p.KeywordTransform, Transform());
  EXPECT_FALSE(p.HasRect || p.HasSize || p.HasPin || p.HasLimitWidth || p.HasLimitHeight || p.HasTransparentPoint ||
               p.HasTransparentColor || p.HasKeyLocation || p.HasSourceRect || p.Fit || p.Impersonate);
  EXPECT_EQ(Describe(p.GetRect()), "0,0,0,0");
}

TEST(Parameters, KeywordsFillTheirFields)
{
  struct Case {
    const char* mString;
    std::function<bool(const Parameters&)> mCheck;
  };
  const ColorValue kRed(0xDD6B, 0x08C2, 0x06A2, 65535);
  const Case kCases[] = {
    {"pencolor=red", [&](const Parameters& p) { return p.PenColor == kRed; }},
    {"TextColor=#FF0000", [](const Parameters& p) { return p.TextColor == ColorValue(65280, 0, 0, 65535); }},
    {"paintcolor=pattern", [](const Parameters& p) { return p.PaintColor.mTag == 1 && p.PaintColor.mRed == 65535; }},
    {"pensize=4", [](const Parameters& p) { return p.PenSize == 4; }},
    {"textfont='Arial,DejaVu Sans'", [](const Parameters& p) { return p.Font == "Arial,DejaVu Sans"; }},
    {"textcharset=greek", [](const Parameters& p) { return p.Charset == 161; }},
    {"textcharset=nonsense", [](const Parameters& p) { return p.Charset == 0; }},
    {"textsize=24", [](const Parameters& p) { return p.TextSize == 24; }},
    {"textstyle=bold,italic",
     [](const Parameters& p) {
       return p.TextStyle == FontStyle{1, 700, 1, 0, 0};
     }},
    {"halign=right valign=bottom", [](const Parameters& p) { return p.HAlign == 2 && p.VAlign == 2; }},
    {"dither=yes", [](const Parameters& p) { return p.Dither == 1; }},
    {"rect=1,2,3,4", [](const Parameters& p) { return p.HasRect && Describe(p.Rect) == "1,2,3,4"; }},
    {"RECTANGLE=1,2,3,4", [](const Parameters& p) { return p.HasRect && Describe(p.Rect) == "1,2,3,4"; }},
    {"pos=5,6", [](const Parameters& p) { return p.Position.x == 5 && p.Position.y == 6; }},
    {"position=5,6 x=7", [](const Parameters& p) { return p.Position.x == 7 && p.Position.y == 6; }},
    {"y=-3", [](const Parameters& p) { return p.Position.y == -3; }},
    {"size=30,40", [](const Parameters& p) { return p.HasSize && p.Size.cx == 30 && p.Size.cy == 40; }},
    {"height=9", [](const Parameters& p) { return p.HasSize && p.Size.cx == 0 && p.Size.cy == 9; }},
    {"inset=3", [](const Parameters& p) { return p.Inset.x == 3 && p.Inset.y == 3; }},
    {"move=1,-1", [](const Parameters& p) { return p.Move.x == 1 && p.Move.y == -1; }},
    {"pin=4,5", [](const Parameters& p) { return p.HasPin && p.Pin.x == 4 && p.Pin.y == 5; }},
    {"pintl=4,5", [](const Parameters& p) { return p.HasPin && p.Pin.x == 4; }},
    {"limitwidth=50", [](const Parameters& p) { return p.HasLimitWidth && p.LimitWidth == 50 && !p.HasLimitHeight; }},
    {"limitheight=60", [](const Parameters& p) { return p.HasLimitHeight && p.LimitHeight == 60; }},
    {"shape=roundrect", [](const Parameters& p) { return p.Shape == 4; }},
    {"op=paint", [](const Parameters& p) { return p.DrawOperation == 2; }},
    {"operation=draw", [](const Parameters& p) { return p.DrawOperation == 1; }},
    {"cornersize=8", [](const Parameters& p) { return p.CornerSize.x == 8 && p.CornerSize.y == 8; }},
    {"offset=1.5 kerning=-0.5", [](const Parameters& p) { return p.Offset == 1.5f && p.Kerning == -0.5f; }},
    {"quality=high", [](const Parameters& p) { return p.Quality == 768; }},
    {"interlace=true", [](const Parameters& p) { return p.Interlace == 1; }},
    {"depth=thousands", [](const Parameters& p) { return p.Depth == 65536; }},
    {"type=image/png", [](const Parameters& p) { return p.Type == "image/png"; }},
    {"mode=blend modecolor=white",
     [](const Parameters& p) { return p.Mode == 260 && p.ModeColor == ColorValue(65535, 65535, 65535, 65535); }},
    {"image=3 time=2.5", [](const Parameters& p) { return p.Image == 3 && p.Time == 2.5f; }},
    {"opengl=1", [](const Parameters& p) { return p.OpenGL == 1; }},
    {"hres=72 vres=96", [](const Parameters& p) { return p.HRes == 72 && p.VRes == 96; }},
    {"alpha=true", [](const Parameters& p) { return p.Alpha == 1; }},
    {"palette=websafe", [](const Parameters& p) { return p.Palette == 0; }},
    {"user=someone", [](const Parameters& p) { return p.Impersonate && p.User == "someone" && p.Domain == "."; }},
    {"password=secret", [](const Parameters& p) { return p.Impersonate && p.Password == "secret"; }},
    {"domain=WORK", [](const Parameters& p) { return p.Impersonate && p.Domain == "WORK"; }},
    {"selectiontype=notcolor", [](const Parameters& p) { return p.SelectionType == 1; }},
    {"keycolor=blue", [](const Parameters& p) { return p.KeyColor == ColorValue(0, 0, 0xD400, 65535); }},
    {"keylocation=3,4", [](const Parameters& p) { return p.HasKeyLocation && p.KeyLocation.x == 3; }},
    {"tolerance=12.5", [](const Parameters& p) { return p.Tolerance == 12.5f; }},
    {"srcrect=0,0,10,10", [](const Parameters& p) { return p.HasSourceRect && Describe(p.SourceRect) == "0,0,10,10"; }},
    {"sourcerectangle=1,1,2,2", [](const Parameters& p) { return p.HasSourceRect && p.SourceRect.left == 1; }},
    {"fit=true", [](const Parameters& p) { return p.Fit == 1; }},
    {"text='caf\xC3\xA9 \xF0\x9F\x98\x80'",
     [](const Parameters& p) { return p.Text == u"caf\u00E9 \U0001F600" && p.TextIsWide == 0; }},
    {"points=1.5,2.5,-1.5,-2.5",
     [](const Parameters& p) {
       return p.Points.size() == 2 && p.RoundedPoints.size() == 2 && p.RoundedPoints[0].x == 2 &&
              p.RoundedPoints[0].y == 3 && p.RoundedPoints[1].x == -2 && p.RoundedPoints[1].y == -3;
     }},
    {"transparent=10,20",
     [](const Parameters& p) { return p.HasTransparentPoint && p.TransparentPoint.x == 10 && !p.HasTransparentColor; }},
    {"transparent=red", [&](const Parameters& p) { return p.HasTransparentColor && p.TransparentColor == kRed; }},
    {"transparent=10,20 transparent=red",
     [](const Parameters& p) { return p.HasTransparentPoint && p.HasTransparentColor; }},
    {"transparent=red transparent=10,20",
     [](const Parameters& p) { return p.HasTransparentPoint && p.HasTransparentColor; }},
  };
  for (const Case& theCase : kCases) {
    Parameters theParams;
    EXPECT_EQ(theParams.Parse(theCase.mString), 0) << theCase.mString << ": " << ErrorText(theParams);
    EXPECT_TRUE(theCase.mCheck(theParams)) << theCase.mString;
  }
}

TEST(Parameters, RefusesBadValuesAndUnknownNames)
{
  struct Case {
    const char* mString;
    LONG mCode;
    const char* mMessage;
  };
  const Case kCases[] = {
    {"colour=red", 7, "Do not recognise parameter \"colour\""},
    {"textsize=big", 6, "Could not understand value of parameter \"textsize=big\""},
    {"transparent=abc", 6, "Could not understand value of parameter \"transparent=abc\""},
    {"rect=1,2,3", 6, "Could not understand value of parameter \"rect=1,2,3\""},
    {"depth=24bits", 0, ""},  // a number of colours: 24
    {"shape=circle", 6, "Could not understand value of parameter \"shape=circle\""},
    {"points=1,2,3", 6, "Could not understand value of parameter \"points=1,2,3\""},
    {"rotate=abc", 6, "Could not understand value of parameter \"rotate=abc\""},
    {"translate=5", 6, "Could not understand value of parameter \"translate=5\""},
    {"stretch=", 3, "Could not find a parameter expected at character 8 \"stretch=^\""},
    {"offset=nan", 6, "Could not understand value of parameter \"offset=nan\""},
    {"scale=1e39", 6, "Could not understand value of parameter \"scale=1e39\""},
  };
  for (const Case& theCase : kCases) {
    Parameters theParams;
    EXPECT_EQ(theParams.Parse(theCase.mString), theCase.mCode) << theCase.mString;
    EXPECT_EQ(ErrorText(theParams), theCase.mMessage) << theCase.mString;
  }

  // 1025 pairs: too many points, and too long for a parameter string's value.
  std::string theMany;
  for (int i = 0; i < 1025; ++i)
    theMany += "1,2,";
  Parameters theTooMany;
  theTooMany.ApplyParameter("points", theMany.c_str());
  EXPECT_EQ(theTooMany.GetErrorCode(), 6);
  EXPECT_TRUE(theTooMany.Points.empty());
  Parameters theTooLong;
  EXPECT_EQ(theTooLong.Parse("points=" + theMany), 4);

  std::string theLongUser = "user=" + std::string(256, 'u');
  Parameters theUser;
  EXPECT_EQ(theUser.Parse(theLongUser), 6);
  EXPECT_EQ(theUser.Impersonate, 0);

  // Pairs before the failure keep their effect; pairs after it are not read.
  Parameters theStopped;
  EXPECT_EQ(theStopped.Parse("pensize=3 textsize=big textfont=Arial"), 6);
  EXPECT_EQ(theStopped.PenSize, 3);
  EXPECT_EQ(theStopped.Font, "");
}

TEST(Parameters, KeywordsWinOverCanvasDefaults)
{
  Parameters theParams;
  // What a canvas copies in before the string is parsed.
  theParams.PenColor = ColorValue(1, 2, 3, 4);
  theParams.TextSize = 30;
  theParams.Font = "DejaVu Sans";
  EXPECT_EQ(theParams.Parse("textsize=12 paintcolor=black"), 0);
  EXPECT_EQ(theParams.PenColor, ColorValue(1, 2, 3, 4));
  EXPECT_EQ(theParams.TextSize, 12);
  EXPECT_EQ(theParams.Font, "DejaVu Sans");
  EXPECT_EQ(theParams.PaintColor, ColorValue(0, 0, 0, 65535));
}

TEST(Parameters, TakesWideTextOnlyUnderItsName)
{
  Parameters theParams;
  theParams.ApplyWideParameter("text", u"\u00E9t\u00E9");
  EXPECT_EQ(theParams.Text, u"\u00E9t\u00E9");
  EXPECT_EQ(theParams.TextIsWide, 1);
  EXPECT_EQ(theParams.GetErrorCode(), 0);
  theParams.ApplyWideParameter("font", u"x");
  EXPECT_EQ(theParams.GetErrorCode(), 7);
  EXPECT_EQ(ErrorText(theParams), "Do not recognise parameter \"font\"");
}

TEST(Parameters, GivesTheTargetRectangleAndPlacement)
{
  struct Case {
    const char* mString;
    RECT mItem;
    RECT mDefault;
    const char* mRect;
    const char* mPlacement;
  };
  const RECT kItem{0, 0, 50, 40};
  const RECT kWorld{0, 0, 300, 200};
  const Case kCases[] = {
    {"x=5 y=6 width=100", kItem, kWorld, "5,6,105,6", "5,6,105,6"},
    {"rect=10,10,110,60 inset=5 move=1,2", kItem, kWorld, "16,17,106,57", "16,17,106,57"},
    {"x=20 y=30", kItem, kWorld, "20,30,20,30", "20,30,70,70"},
    {"x=20 y=30 inset=5 move=1,1", kItem, kWorld, "26,36,16,26", "20,30,70,70"},
    {"fit=true rect=0,0,100,100 halign=middle valign=middle", {0, 0, 200, 100}, kWorld, "0,0,100,100", "0,25,100,75"},
    {"fit=true rect=0,0,100,100", {0, 0, 200, 100}, kWorld, "0,0,100,100", "0,0,100,50"},
    {"fit=true rect=0,0,100,100", {0, 0, 100, 400}, kWorld, "0,0,100,100", "0,0,25,100"},
    {"fit=true rect=10,10,110,110 halign=right valign=bottom", kItem, kWorld, "10,10,110,110", "60,70,110,110"},
    {"fit=true rect=10,10,110,110 halign=middle valign=middle", kItem, kWorld, "10,10,110,110", "35,40,85,80"},
    // Without rect or size the default rectangle is the target, and the position is ignored.
    {"fit=true x=500 y=500", {0, 0, 600, 100}, kWorld, "500,500,500,500", "0,0,300,50"},
    {"fit=true width=0 height=10", kItem, kWorld, "0,0,0,10", "0,0,0,0"},
  };
  for (const Case& theCase : kCases) {
    Parameters theParams;
    ASSERT_EQ(theParams.Parse(theCase.mString), 0) << theCase.mString;
    EXPECT_EQ(Describe(theParams.GetRect()), theCase.mRect) << theCase.mString;
    EXPECT_EQ(Describe(theParams.GetPlacement(theCase.mItem, theCase.mDefault)), theCase.mPlacement) << theCase.mString;
  }
}

TEST(Parameters, FitsLargeItemsWithoutOverflow)
{
  // 40000 x 60000 products pass 2^31; computed in 64 bits they stay exact.
  EXPECT_EQ(Describe(FitRectIn({0, 0, 60000, 40000}, {0, 0, 40000, 40000}, 0, 0)), "0,0,40000,26667");
  EXPECT_EQ(Describe(FitRectIn({0, 0, 3, 2}, {0, 0, 2, 2}, 0, 0)), "0,0,2,1");
  EXPECT_EQ(Describe(AlignRectIn({0, 0, 10, 10}, {0, 0, 21, 21}, 0.5, 1)), "5,11,15,21");
}

TEST(Parameters, AppliesTransformKeywordsInStringOrder)
{
  Parameters theRotateFirst;
  ASSERT_EQ(theRotateFirst.Parse("rotate=90 translate=10,0"), 0);
  Parameters theTranslateFirst;
  ASSERT_EQ(theTranslateFirst.Parse("translate=10,0 rotate=90"), 0);
  EXPECT_EQ(MapText(theRotateFirst.GetTransform(), 0, 0), "10,0");
  EXPECT_EQ(MapText(theTranslateFirst.GetTransform(), 0, 0), "0,10");

  struct Case {
    const char* mString;
    LONG mX, mY;
    const char* mMapped;
  };
  const Case kCases[] = {
    {"stretch=2", 10, 5, "20,10"},           {"scale=2,3,50,50", 50, 50, "50,50"}, {"scale=2,3,50,50", 60, 60, "70,80"},
    {"stretch=2,abc", 10, 5, "20,10"},       {"skew=0.5", 0, 10, "5,10"},          {"skew=0.5,0,0,10", 0, 20, "5,20"},
    {"rotation=180,50,50", 0, 0, "100,100"}, {"rotate=90,1", 10, 0, "0,10"},  // a centre of one value is (0, 0)
    {"translate=-3,4", 1, 1, "-2,5"},
  };
  for (const Case& theCase : kCases) {
    Parameters theParams;
    ASSERT_EQ(theParams.Parse(theCase.mString), 0) << theCase.mString;
    EXPECT_EQ(MapText(theParams.GetTransform(), theCase.mX, theCase.mY), theCase.mMapped) << theCase.mString;
  }

  Parameters theExtra;
  ASSERT_EQ(theExtra.Parse("stretch=2"), 0);
  theExtra.ExtraTransform.Translate(5, 0);
  EXPECT_EQ(MapText(theExtra.GetTransform(), 1, 1), "7,2");
}

TEST(Parameters, CarriesSourcesOntoDestinations)
{
  const RECT kSource{0, 0, 100, 50};
  Parameters thePlain;
  Transform theMap = thePlain.GetDestTransform({10, 20, 210, 120}, kSource);
  EXPECT_EQ(MapText(theMap, 0, 0), "10,20");
  EXPECT_EQ(MapText(theMap, 100, 50), "210,120");
  EXPECT_EQ(MapText(theMap, 0, 50), "10,120");

  // An empty source gives the keyword transform alone.
  Parameters theRotated;
  ASSERT_EQ(theRotated.Parse("translate=3,4"), 0);
  EXPECT_EQ(theRotated.GetDestTransform({10, 20, 210, 120}, {5, 5, 5, 50}), Transform(1, 0, 0, 1, 3, 4));

  // A destination of zero width collapses the source onto that line.
  Transform theCollapsed = thePlain.GetDestTransform({20, 10, 20, 60}, kSource);
  EXPECT_EQ(MapText(theCollapsed, 100, 0), "20,10");
  EXPECT_EQ(MapText(theCollapsed, 100, 50), "20,60");
  EXPECT_EQ(MapText(theCollapsed, 0, 25), "20,35");
  RECT theBounds = MapRectBounds(theCollapsed, kSource);
  EXPECT_EQ(Describe(theBounds), "20,10,20,60");
  Transform theFlat = thePlain.GetDestTransform({20, 10, 120, 10}, kSource);
  EXPECT_EQ(Describe(MapRectBounds(theFlat, kSource)), "20,10,120,10");

  // Pin: the top-left of the transformed source's bounds sits on the pin.
  Parameters thePinned;
  ASSERT_EQ(thePinned.Parse("rotate=90 pin=5,7"), 0);
  EXPECT_EQ(Describe(MapRectBounds(thePinned.GetDestTransform({0, 0, 100, 50}, kSource), kSource)), "5,7,55,107");

  // Limits scale uniformly about the pin.
  Parameters theLimited;
  ASSERT_EQ(theLimited.Parse("stretch=4 limitwidth=100"), 0);
  Transform theQuarter = theLimited.GetDestTransform({0, 0, 100, 50}, kSource);
  EXPECT_EQ(Describe(theQuarter), "1,0,0,1,0,0");
  Parameters theLimitedAbout;
  ASSERT_EQ(theLimitedAbout.Parse("stretch=4 limitwidth=100 pin=10,10"), 0);
  EXPECT_EQ(Describe(MapRectBounds(theLimitedAbout.GetDestTransform(kSource, kSource), kSource)), "10,10,110,60");
  Parameters theTall;
  ASSERT_EQ(theTall.Parse("limitheight=25"), 0);
  EXPECT_EQ(Describe(MapRectBounds(theTall.GetDestTransform(kSource, kSource), kSource)), "0,0,50,25");
  Parameters theWithinLimit;
  ASSERT_EQ(theWithinLimit.Parse("limitwidth=1000 limitheight=1000"), 0);
  EXPECT_EQ(theWithinLimit.GetDestTransform(kSource, kSource), Transform());
}

TEST(Parameters, GivesItemTransformsAndSourceRectangles)
{
  Parameters thePositioned;
  ASSERT_EQ(thePositioned.Parse("x=10 y=20"), 0);
  EXPECT_EQ(thePositioned.GetItemTransform(50, 40), Transform(1, 0, 0, 1, 10, 20));

  Parameters theSized;
  ASSERT_EQ(theSized.Parse("rect=0,0,100,80"), 0);
  EXPECT_EQ(theSized.GetItemTransform(50, 40), Transform(2, 0, 0, 2, 0, 0));

  const RECT kDefault{1, 2, 3, 4};
  EXPECT_EQ(Describe(theSized.GetSourceRect(kDefault)), "1,2,3,4");
  Parameters theSourced;
  ASSERT_EQ(theSourced.Parse("srcrect=5,6,7,8"), 0);
  EXPECT_EQ(Describe(theSourced.GetSourceRect(kDefault)), "5,6,7,8");
}
