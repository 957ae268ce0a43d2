// Seeded random and mutated parameter and value strings through the parsers:
// nothing crashes, the sanitizers stay quiet, and every failure is one of the
// defined messages. A failure prints its seed and input.

#include "core/Parameters.h"
#include "core/Utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr unsigned kSeeds = 40;
constexpr int kCasesPerSeed = 500;

const std::vector<std::string> kParameterCorpus = {
  "rect=10,10,110,60 inset=5 move=1,2",
  "x=20 y=30 width=100 height=50 fit=true halign=middle valign=bottom",
  "text='It''s' textfont=\"DejaVu Sans,Arial\" textsize=12 textstyle=bold,italic",
  "pencolor=#FF000080 paintcolor=50,50,50,100 modecolor=0x10,0x20,0x30 transparent=10,20",
  "rotate=45,50,50 stretch=2,3,10,10 skew=0.5 translate=-5,5 pin=1,1 limitwidth=100 limitheight=80",
  "points=1.5,2.5,-3,4,100.25,-7 shape=poly op=both cornersize=8",
  "quality=high depth=thousands type=image/gif interlace=yes palette=websafe dither=1",
  "user=someone password=secret domain=. selectiontype=notcolor keycolor=white keylocation=3,4",
  "srcrect=0,0,10,10 tolerance=12.5 image=2 time=0.5 opengl=false alpha=true hres=72 vres=72",
  "mode=blend textcharset=greek offset=1.5 kerning=-0.25 pensize=3 sourcerectangle=1,2,3,4",
};

const std::vector<std::string> kValueCorpus = {
  "#FF0000",  "#ff00ff80", "100,0,0", "150,-5,0,50", "0x10,0x20,0x30", "0d300,0,0", "pattern", "lightgray",
  "1,2,3,4,", "-2147483648", "0X1f", "12abc", "3.4028234e38", "1e-39", "bold, italic", "strikethru,underline",
  "75", "lossless", "238", "EASTEUROPE", "0,0,32766.5,-32767.5",
};

// Characters that matter to the grammars, and some that do not.
constexpr std::string_view kAlphabet = "=='\"\"  \t\r\n,,,,#%-+.0123456789xXdDeEabfFrRtTwWpP^\\\x01\x7F\xC3\xA9\xFF";

class Generator {
public:
  explicit Generator(unsigned inSeed) : mRandom(inSeed) {}

  std::size_t Below(std::size_t inLimit) { return std::uniform_int_distribution<std::size_t>(0, inLimit - 1)(mRandom); }

  std::string RandomText(std::size_t inMaxLength)
  {
    std::string theText(Below(inMaxLength + 1), ' ');
    for (char& theChar : theText)
      theChar = Below(8) == 0 ? static_cast<char>(Below(256)) : kAlphabet[Below(kAlphabet.size())];
    return theText;
  }

  std::string Mutated(const std::vector<std::string>& inCorpus)
  {
    std::string theText = inCorpus[Below(inCorpus.size())];
    const std::size_t theEdits = 1 + Below(6);
    for (std::size_t i = 0; i < theEdits; ++i) {
      const std::size_t theAt = Below(theText.size() + 1);
      const std::size_t theKind = Below(4);
      if (theKind == 0)
        theText.insert(theAt, RandomText(4));
      else if (theKind == 3)
        theText.insert(theAt, inCorpus[Below(inCorpus.size())].substr(0, Below(20)));
      else if (theAt < theText.size() && theKind == 1)
        theText.erase(theAt, 1 + Below(8));
      else if (theAt < theText.size())
        theText[theAt] = kAlphabet[Below(kAlphabet.size())];
    }
    return theText;
  }

  RECT RandomRect()
  {
    auto theCoordinate = [this] {
      return Below(10) == 0 ? static_cast<LONG>(mRandom()) : static_cast<LONG>(Below(2001)) - 1000;
    };
    return {theCoordinate(), theCoordinate(), theCoordinate(), theCoordinate()};
  }

private:
  std::mt19937 mRandom;
};

bool IsDefinedMessage(LONG inCode, const std::string& inMessage)
{
  static const char* const kPrefixes[] = {
    "",
    "Parameter string finished unexpectedly at character ",
    "Could not find equals sign expected at character ",
    "Could not find a parameter expected at character ",
    "Gave up getting value at character ",
    "Gave up looking for end quote of quoted string at character ",
    "Could not understand value of parameter \"",
    "Do not recognise parameter \"",
    "Parameter string holds a NUL character at character ",
  };
  return inCode >= 2 && inCode <= 8 && inMessage.rfind(kPrefixes[inCode], 0) == 0 && inMessage.back() == '"';
}

void CheckParameterString(const std::string& inText, Generator& ioGenerator)
{
  Parameters theParams;
  const LONG theCode = theParams.Parse(inText);
  std::string theMessage;
  const bool theHasMessage = theParams.GetErrorText(theMessage);
  ASSERT_EQ(theHasMessage, theCode != 0);
  if (theCode != 0) {
    ASSERT_TRUE(IsDefinedMessage(theCode, theMessage))
      << "code " << theCode << ": " << testing::PrintToString(theMessage);
    ASSERT_LE(theParams.GetErrorContext().size(), ParameterParser::kMaxContext);
  }
  ASSERT_GE(theParams.GetErrorPosition(), 0);
  ASSERT_LE(static_cast<std::size_t>(theParams.GetErrorPosition()), inText.size());
  ASSERT_LE(theParams.Points.size(), Parameters::kMaxPoints);
  ASSERT_EQ(theParams.Points.size(), theParams.RoundedPoints.size());

  // The geometry answers for any record and any rectangles.
  const RECT theItem = ioGenerator.RandomRect();
  const RECT theOther = ioGenerator.RandomRect();
  theParams.GetRect();
  theParams.GetPlacement(theItem, theOther);
  MapRectBounds(theParams.GetDestTransform(theOther, theItem), theItem);
  theParams.GetItemTransform(theItem.right, theItem.bottom);
}

void CheckValue(const std::string& inText)
{
  ColorValue theColor;
  if (ParseColor(inText, theColor)) {
    ColorValue theBack;
    ASSERT_TRUE(ParseColor(FormatColor(theColor), theBack)) << FormatColor(theColor);
  }
  RECT theRect{};
  if (ParseRect(inText, theRect)) {
    RECT theBack{};
    ASSERT_TRUE(ParseRect(FormatRect(theRect), theBack));
    ASSERT_EQ(FormatRect(theBack), FormatRect(theRect));
  }
  FontStyle theStyle;
  if (ParseTextStyle(inText, theStyle)) {
    FontStyle theBack;
    ASSERT_TRUE(ParseTextStyle(FormatTextStyle(theStyle), theBack));
    ASSERT_EQ(theBack, theStyle);
  }
  LONG theLong = 0;
  if (ParseLong(inText, theLong)) {
    LONG theBack = 0;
    ASSERT_TRUE(ParseLong(FormatLong(theLong), theBack));
    ASSERT_EQ(theBack, theLong);
  }
  float theFloat = 0;
  if (ParseFloat(inText, theFloat)) {
    ASSERT_TRUE(std::isfinite(theFloat));
  }
  LONG theQuality = -1;
  ASSERT_TRUE(ParseQuality(inText, theQuality));
  ASSERT_GE(theQuality, 0);
  ASSERT_LE(theQuality, 1024);
  std::vector<FloatPoint> thePoints;
  ParseFloatPoints(inText, thePoints, 8);
  ASSERT_LE(thePoints.size(), 8u);
  LONG theCharset = -1;
  ASSERT_TRUE(ParseCharset(inText, theCharset));
  POINT thePoint{};
  ParsePoint(inText, thePoint);
  std::string theItem;
  CopyListItem(inText, theItem, 16);
  ASSERT_LE(theItem.size(), 15u);
}

// Runs inCheck over kCasesPerSeed texts of every seed, alternately random and
// mutated from inCorpus; stops at the first fatal failure.
template <typename Check>
void RunSeeds(const std::vector<std::string>& inCorpus, std::size_t inRandomLength, Check inCheck)
{
  for (unsigned theSeed = 1; theSeed <= kSeeds; ++theSeed) {
    Generator theGenerator(theSeed);
    for (int i = 0; i < kCasesPerSeed; ++i) {
      const std::string theText = i % 2 ? theGenerator.Mutated(inCorpus) : theGenerator.RandomText(inRandomLength);
      SCOPED_TRACE("seed " + std::to_string(theSeed) + " case " + std::to_string(i) + ": " +
                   testing::PrintToString(theText));
      inCheck(theText, theGenerator);
      if (testing::Test::HasFatalFailure())
        return;
    }
  }
}

}  // namespace

TEST(Fuzz, ParameterStringsFailOnlyWithDefinedMessages)
{
  RunSeeds(kParameterCorpus, 120, CheckParameterString);
}

TEST(Fuzz, ValueStringsParseAndFormatConsistently)
{
  RunSeeds(kValueCorpus, 40, [](const std::string& inText, Generator&) { CheckValue(inText); });
}
