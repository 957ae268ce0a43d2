#include "core/Parameters.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

namespace {

std::string Describe(const RECT& inRect)
{
  return FormatRect(inRect);
}

std::string MapText(const Transform& inTransform, LONG inX, LONG inY)
{
  POINT thePoint{};
  inTransform.MapPointRounded(inX, inY, thePoint.x, thePoint.y);
  return FormatPoint(thePoint);
}

std::string ErrorText(const Parameters& inParams)
{
  std::string theText;
  inParams.GetErrorText(theText);
  return theText;
}

}  // namespace

TEST(Parameters, KeywordsFillTheirFields)
{
  const ColorValue kRed(0xDD6B, 0x08C2, 0x06A2, 65535);
  const std::pair<const char*, std::function<bool(const Parameters&)>> kCases[] = {
    {"pencolor=red TextColor=#FF0000 paintcolor=pattern keycolor=blue modecolor=white", [&](const Parameters& p) {
       return p.PenColor == kRed && p.TextColor == ColorValue(65280, 0, 0, 65535) && p.PaintColor.mTag == 1 &&
              p.PaintColor.mRed == 65535 && p.KeyColor == ColorValue(0, 0, 0xD400, 65535) &&
              p.ModeColor == ColorValue(65535, 65535, 65535, 65535);
     }},
    {"pensize=4 textsize=24 textcharset=greek textstyle=bold,italic halign=right valign=bottom dither=yes",
     [](const Parameters& p) {
       return p.PenSize == 4 && p.TextSize == 24 && p.Charset == 161 && p.TextStyle == FontStyle{1, 700, 1, 0, 0} &&
              p.HAlign == 2 && p.VAlign == 2 && p.Dither == 1;
     }},
    {"textfont='Arial,DejaVu Sans' textcharset=nonsense", [](const Parameters& p) {
       return p.Font == "Arial,DejaVu Sans" && p.Charset == 0;
     }},
    {"RECTANGLE=1,2,3,4 position=5,6 x=7 inset=3 move=1,-1 pintl=4,5", [](const Parameters& p) {
       return p.HasRect && Describe(p.Rect) == "1,2,3,4" && p.Position.x == 7 && p.Position.y == 6 && p.Inset.y == 3 &&
              p.Move.y == -1 && p.HasPin && p.Pin.x == 4 && p.Pin.y == 5;
     }},
    {"rect=1,2,3,4 pos=5,6 y=-3 pin=4,5", [](const Parameters& p) {
       return p.HasRect && p.Position.y == -3 && p.Pin.y == 5;
     }},
    {"height=9 limitwidth=50", [](const Parameters& p) {
       return p.HasSize && p.Size.cx == 0 && p.Size.cy == 9 && p.HasLimitWidth && p.LimitWidth == 50 &&
              !p.HasLimitHeight;
     }},
    {"size=30,40 limitheight=60", [](const Parameters& p) {
       return p.HasSize && p.Size.cx == 30 && p.Size.cy == 40 && p.HasLimitHeight && p.LimitHeight == 60;
     }},
    {"shape=roundrect op=paint cornersize=8 offset=1.5 kerning=-0.5", [](const Parameters& p) {
       return p.Shape == 4 && p.DrawOperation == 2 && p.CornerSize.x == 8 && p.CornerSize.y == 8 && p.Offset == 1.5f &&
              p.Kerning == -0.5f;
     }},
    {"operation=draw quality=high interlace=true depth=thousands type=image/png mode=blend", [](const Parameters& p) {
       return p.DrawOperation == 1 && p.Quality == 768 && p.Interlace == 1 && p.Depth == 65536 &&
              p.Type == "image/png" && p.Mode == 260;
     }},
    {"image=3 time=2.5 opengl=1 hres=72 vres=96 alpha=true palette=websafe fit=true", [](const Parameters& p) {
       return p.Image == 3 && p.Time == 2.5f && p.OpenGL == 1 && p.HRes == 72 && p.VRes == 96 && p.Alpha == 1 &&
              p.Palette == 0 && p.Fit == 1;
     }},
    {"user=someone password=secret", [](const Parameters& p) {
       return p.Impersonate && p.User == "someone" && p.Password == "secret" && p.Domain == ".";
     }},
    {"domain=WORK", [](const Parameters& p) { return p.Impersonate && p.Domain == "WORK"; }},
    {"selectiontype=notcolor keylocation=3,4 tolerance=12.5 srcrect=0,0,10,10", [](const Parameters& p) {
       return p.SelectionType == 1 && p.HasKeyLocation && p.KeyLocation.x == 3 && p.Tolerance == 12.5f &&
              p.HasSourceRect && Describe(p.SourceRect) == "0,0,10,10";
     }},
    {"sourcerectangle=1,1,2,2", [](const Parameters& p) { return p.HasSourceRect && p.SourceRect.left == 1; }},
    {"text='caf\xC3\xA9 \xF0\x9F\x98\x80'", [](const Parameters& p) {
       return p.Text == u"caf\u00E9 \U0001F600" && p.TextIsWide == 0;
     }},
    {"points=1.5,2.5,-1.5,-2.5", [](const Parameters& p) {
       return p.Points.size() == 2 && p.RoundedPoints.size() == 2 && p.RoundedPoints[0].x == 2 &&
              p.RoundedPoints[0].y == 3 && p.RoundedPoints[1].x == -2 && p.RoundedPoints[1].y == -3;
     }},
    // "transparent" tries a point, then a colour; a later one never clears the other's flag.
    {"transparent=10,20", [](const Parameters& p) {
       return p.HasTransparentPoint && p.TransparentPoint.x == 10 && !p.HasTransparentColor;
     }},
    {"transparent=red", [&](const Parameters& p) {
       return p.HasTransparentColor && p.TransparentColor == kRed && !p.HasTransparentPoint;
     }},
    {"transparent=10,20 transparent=red", [](const Parameters& p) { return p.HasTransparentPoint && p.HasTransparentColor; }},
    {"transparent=red transparent=10,20", [](const Parameters& p) { return p.HasTransparentPoint && p.HasTransparentColor; }},
  };
  for (const auto& [theString, theCheck] : kCases) {
    Parameters theParams;
    EXPECT_EQ(theParams.Parse(theString), 0) << theString << ": " << ErrorText(theParams);
    EXPECT_TRUE(theCheck(theParams)) << theString;
  }
}

TEST(Parameters, RefusesBadValuesAndUnknownNames)
{
  const std::tuple<const char*, LONG, const char*> kCases[] = {
    {"colour=red", 7, "Do not recognise parameter \"colour\""},
    {"textsize=big", 6, "Could not understand value of parameter \"textsize=big\""},
    {"transparent=abc", 6, "Could not understand value of parameter \"transparent=abc\""},
    {"rect=1,2,3", 6, "Could not understand value of parameter \"rect=1,2,3\""},
    {"depth=24bits", 0, ""},  // a number of colours: 24
    {"shape=circle", 6, "Could not understand value of parameter \"shape=circle\""},
    {"points=1,2,3", 6, "Could not understand value of parameter \"points=1,2,3\""},
    {"translate=5", 6, "Could not understand value of parameter \"translate=5\""},
    {"stretch=", 3, "Could not find a parameter expected at character 8 \"stretch=^\""},
    {"offset=nan", 6, "Could not understand value of parameter \"offset=nan\""},
    {"scale=1e39", 6, "Could not understand value of parameter \"scale=1e39\""},
  };
  for (const auto& [theString, theCode, theMessage] : kCases) {
    Parameters theParams;
    EXPECT_EQ(theParams.Parse(theString), theCode) << theString;
    EXPECT_EQ(ErrorText(theParams), theMessage) << theString;
  }

  // 1025 pairs, too many points, can only come through ApplyParameter.
  std::string theMany;
  for (int i = 0; i < 1025; ++i)
    theMany += "1,2,";
  Parameters theTooMany;
  theTooMany.ApplyParameter("points", theMany.c_str());
  EXPECT_EQ(theTooMany.GetErrorCode(), 6);
  EXPECT_TRUE(theTooMany.Points.empty());
  Parameters theUser;
  EXPECT_EQ(theUser.Parse("user=" + std::string(256, 'u')), 6);
  EXPECT_EQ(theUser.Impersonate, 0);
  Parameters theWide;
  theWide.ApplyWideParameter("font", u"x");
  EXPECT_EQ(ErrorText(theWide), "Do not recognise parameter \"font\"") << "wide text only under its name";

  // Pairs before the failure keep their effect; pairs after it are not read.
  Parameters theStopped;
  EXPECT_EQ(theStopped.Parse("pensize=3 textsize=big textfont=Arial"), 6);
  EXPECT_EQ(theStopped.PenSize, 3);
  EXPECT_EQ(theStopped.Font, "");
}

TEST(Parameters, KeywordsWinOverCanvasDefaults)
{
  Parameters theParams;
  theParams.PenColor = ColorValue(1, 2, 3, 4);  // what a canvas copies in first
  theParams.TextSize = 30;
  EXPECT_EQ(theParams.Parse("textsize=12 paintcolor=black"), 0);
  EXPECT_EQ(theParams.PenColor, ColorValue(1, 2, 3, 4));
  EXPECT_EQ(theParams.TextSize, 12);
  EXPECT_EQ(theParams.PaintColor, ColorValue(0, 0, 0, 65535));
  theParams.ApplyWideParameter("text", u"\u00E9t\u00E9");
  EXPECT_EQ(theParams.Text, u"\u00E9t\u00E9");
  EXPECT_EQ(theParams.TextIsWide, 1);
}

TEST(Parameters, GivesTheTargetRectangleAndPlacement)
{
  const RECT kItem{0, 0, 50, 40};
  const std::tuple<const char*, RECT, const char*, const char*> kCases[] = {
    {"x=5 y=6 width=100", kItem, "5,6,105,6", "5,6,105,6"},
    {"rect=10,10,110,60 inset=5 move=1,2", kItem, "16,17,106,57", "16,17,106,57"},
    {"x=20 y=30", kItem, "20,30,20,30", "20,30,70,70"},
    {"x=20 y=30 inset=5 move=1,1", kItem, "26,36,16,26", "20,30,70,70"},
    {"fit=true rect=0,0,100,100 halign=middle valign=middle", {0, 0, 200, 100}, "0,0,100,100", "0,25,100,75"},
    {"fit=true rect=0,0,100,100", {0, 0, 200, 100}, "0,0,100,100", "0,0,100,50"},
    {"fit=true rect=0,0,100,100", {0, 0, 100, 400}, "0,0,100,100", "0,0,25,100"},
    {"fit=true rect=10,10,110,110 halign=right valign=bottom", kItem, "10,10,110,110", "60,70,110,110"},
    {"fit=true rect=10,10,110,110 halign=middle valign=middle", kItem, "10,10,110,110", "35,40,85,80"},
    // Without rect or size the default rectangle is the target, and the position is ignored.
    {"fit=true x=500 y=500", {0, 0, 600, 100}, "500,500,500,500", "0,0,300,50"},
    {"fit=true width=0 height=10", kItem, "0,0,0,10", "0,0,0,0"},
  };
  for (const auto& [theString, theItem, theRect, thePlacement] : kCases) {
    Parameters theParams;
    ASSERT_EQ(theParams.Parse(theString), 0) << theString;
    EXPECT_EQ(Describe(theParams.GetRect()), theRect) << theString;
    EXPECT_EQ(Describe(theParams.GetPlacement(theItem, {0, 0, 300, 200})), thePlacement) << theString;
  }
  // Products past 2^31 are computed in 64 bits.
  EXPECT_EQ(Describe(FitRectIn({0, 0, 60000, 40000}, {0, 0, 40000, 40000}, 0, 0)), "0,0,40000,26667");
  EXPECT_EQ(Describe(AlignRectIn({0, 0, 10, 10}, {0, 0, 21, 21}, 0.5, 1)), "5,11,15,21");
  // An item away from the origin keeps its proportions on both sides of each cut.
  EXPECT_EQ(Describe(FitRectIn({0, 10, 200, 110}, {0, 0, 100, 100}, 0, 0)), "0,5,100,55");
  EXPECT_EQ(Describe(FitRectIn({10, 20, 50, 220}, {0, 0, 100, 100}, 0, 0)), "5,9,23,100");
}

TEST(Parameters, AppliesTransformKeywordsInStringOrder)
{
  const std::tuple<const char*, LONG, LONG, const char*> kCases[] = {
    {"rotate=90 translate=10,0", 0, 0, "10,0"}, {"translate=10,0 rotate=90", 0, 0, "0,10"},
    {"stretch=2", 10, 5, "20,10"},              {"scale=2,3,50,50", 50, 50, "50,50"},
    {"scale=2,3,50,50", 60, 60, "70,80"},       {"stretch=2,abc", 10, 5, "20,10"},
    {"skew=0.5", 0, 10, "5,10"},                {"skew=0.5", 10, 0, "10,5"},  // ky defaults to kx
    {"skew=0.5,0,0,10", 0, 20, "5,20"},         {"skew=0.5,0.25", 8, 4, "10,6"},
    {"rotation=180,50,50", 0, 0, "100,100"},    {"rotate=90,1", 10, 0, "0,10"},  // a centre of one value is (0, 0)
    {"translate=-3,4", 1, 1, "-2,5"},
  };
  for (const auto& [theString, theX, theY, theMapped] : kCases) {
    Parameters theParams;
    ASSERT_EQ(theParams.Parse(theString), 0) << theString;
    EXPECT_EQ(MapText(theParams.GetTransform(), theX, theY), theMapped) << theString;
  }
  Parameters theExtra;
  ASSERT_EQ(theExtra.Parse("stretch=2"), 0);
  theExtra.ExtraTransform.Translate(5, 0);
  EXPECT_EQ(MapText(theExtra.GetTransform(), 1, 1), "7,2");
  Parameters theSized;
  ASSERT_EQ(theSized.Parse("rect=0,0,100,80"), 0);
  EXPECT_EQ(theSized.GetItemTransform(50, 40), Transform(2, 0, 0, 2, 0, 0));
  // Without rect or size the item keeps its size at the position.
  Parameters thePlaced;
  ASSERT_EQ(thePlaced.Parse("x=20 y=30"), 0);
  EXPECT_EQ(thePlaced.GetItemTransform(50, 40), Transform(1, 0, 0, 1, 20, 30));
}

TEST(Parameters, CarriesSourcesOntoDestinations)
{
  const RECT kSource{0, 0, 100, 50};
  const Parameters thePlain;
  auto Bounds = [&](const char* inString, const RECT& inDest) {
    Parameters theParams;
    EXPECT_EQ(theParams.Parse(inString), 0) << inString;
    return Describe(MapRectBounds(theParams.GetDestTransform(inDest, kSource), kSource));
  };
  Transform theMap = thePlain.GetDestTransform({10, 20, 210, 120}, kSource);
  EXPECT_EQ(MapText(theMap, 0, 0), "10,20");
  EXPECT_EQ(MapText(theMap, 100, 50), "210,120");
  // An empty source gives the keyword transform alone.
  Parameters theMoved;
  ASSERT_EQ(theMoved.Parse("translate=3,4"), 0);
  EXPECT_EQ(theMoved.GetDestTransform({10, 20, 210, 120}, {5, 5, 5, 50}), Transform(1, 0, 0, 1, 3, 4));

  // A destination of zero width or height collapses the source onto that line.
  Transform theCollapsed = thePlain.GetDestTransform({20, 10, 20, 60}, kSource);
  EXPECT_EQ(MapText(theCollapsed, 100, 0), "20,10");
  EXPECT_EQ(MapText(theCollapsed, 0, 25), "20,35");
  EXPECT_EQ(Bounds("", {20, 10, 20, 60}), "20,10,20,60");
  EXPECT_EQ(Bounds("", {20, 10, 120, 10}), "20,10,120,10");

  // The pin holds the top-left of the bounds; limits scale uniformly about it.
  EXPECT_EQ(Bounds("rotate=90 pin=5,7", {0, 0, 100, 50}), "5,7,55,107");
  EXPECT_EQ(Bounds("stretch=4 limitwidth=100", {0, 0, 100, 50}), "0,0,100,50");
  EXPECT_EQ(Bounds("stretch=4 limitwidth=100 pin=10,10", kSource), "10,10,110,60");
  EXPECT_EQ(Bounds("limitheight=25", kSource), "0,0,50,25");
  EXPECT_EQ(Bounds("limitwidth=1000 limitheight=1000", kSource), "0,0,100,50");

  // A source side of 0 is left alone by its limit, whatever the limit.
  const std::tuple<const char*, LONG, LONG> kFlat[] = {
    {"limitwidth=-1", 0, 10}, {"limitheight=-1", 10, 0}, {"limitwidth=-5 limitheight=-5", 0, 0}};
  for (const auto& [theLimits, theWidth, theHeight] : kFlat) {
    Parameters theParams;
    ASSERT_EQ(theParams.Parse(theLimits), 0) << theLimits;
    EXPECT_EQ(theParams.GetItemTransform(theWidth, theHeight), Transform()) << theLimits << " " << theWidth << "x"
                                                                            << theHeight;
  }
}
