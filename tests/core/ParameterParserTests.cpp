#include "core/ParameterParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Records every pair; refuses the value of "bad" (code 6) and does not know
// "colour" (code 7).
class RecordingParser : public ParameterParser {
public:
  Pairs mPairs;

protected:
  void HandleParameter(const char* inName, const char* inValue) override
  {
    mPairs.emplace_back(inName, inValue);
    if (std::string(inName) == "bad")
      SetError(kBadValue, inName, "=", inValue);
    else if (std::string(inName) == "colour")
      SetError(kUnknownName, inName);
  }
};

struct Case {
  std::string mText;
  LONG mCode;
  LONG mPosition;
  std::string mMessage;  // empty: no error
  Pairs mPairs;
};

void Check(const Case& inCase)
{
  RecordingParser theParser;
  SCOPED_TRACE("parameter string: [" + inCase.mText + "]");
  EXPECT_EQ(theParser.Parse(inCase.mText), inCase.mCode);
  EXPECT_EQ(theParser.GetErrorCode(), inCase.mCode);
  EXPECT_EQ(theParser.GetErrorPosition(), inCase.mPosition);
  std::string theMessage = "left over";
  EXPECT_EQ(theParser.GetErrorText(theMessage), inCase.mCode != 0);
  EXPECT_EQ(theMessage, inCase.mMessage);
  EXPECT_EQ(theParser.mPairs, inCase.mPairs);
}

}  // namespace

TEST(ParameterParser, ReadsPairsAndReportsEachFailureWithPositionAndCaret)
{
  const Case kCases[] = {
    {"", 0, 0, "", {}}, {" \t\r\n\v\f", 0, 6, "", {}},
    {"width=10 height=20", 0, 18, "", {{"width", "10"}, {"height", "20"}}},
    {"width = 10", 0, 10, "", {{"width", "10"}}}, {"text='It''s'", 0, 12, "", {{"text", "It's"}}},
    {"text=\"say 'hi' \"\"now\"\"\"", 0, 23, "", {{"text", "say 'hi' \"now\""}}}, {"a=''", 0, 4, "", {{"a", ""}}},
    {"a=\"\"b=2", 0, 7, "", {{"a", ""}, {"b", "2"}}}, {"a='x'b=2", 0, 8, "", {{"a", "x"}, {"b", "2"}}},
    {"'my name'=1", 0, 11, "", {{"my name", "1"}}}, {"a=it's", 0, 6, "", {{"a", "it's"}}},
    {"caf\xC3\xA9=na\xC3\xAFve", 0, 12, "", {{"caf\xC3\xA9", "na\xC3\xAFve"}}},
    {"a=\xA0\x85", 0, 4, "", {{"a", "\xA0\x85"}}},
    {"text=\"abc", 5, 9, "Gave up looking for end quote of quoted string at character 9 \"text=\"abc^\"", {}},
    {"a='It''", 5, 7, "Gave up looking for end quote of quoted string at character 7 \"a='It''^\"", {}},
    {"abc", 2, 3, "Could not find equals sign expected at character 3 \"abc^\"", {}},
    {"a b=1", 2, 2, "Could not find equals sign expected at character 2 \"a ^b=1\"", {}},
    {"abc=", 3, 4, "Could not find a parameter expected at character 4 \"abc=^\"", {}},
    {"=5", 3, 0, "Could not find a parameter expected at character 0 \"^=5\"", {}},
    {"''=5", 3, 2, "Could not find a parameter expected at character 2 \"''^=5\"", {}},
    {"\"", 3, 1, "Could not find a parameter expected at character 1 \"\"^\"", {}},
    {"a=1 b=", 3, 6, "Could not find a parameter expected at character 6 \"a=1 b=^\"", {{"a", "1"}}},
    {"a= b=2", 3, 4, "Could not find a parameter expected at character 4 \"a= b^=2\"", {{"a", "b"}}},
    {"a=1b=2", 3, 4, "Could not find a parameter expected at character 4 \"a=1b^=2\"", {{"a", "1b"}}},
    {"a=1 bad=2 c=3", 6, 9, "Could not understand value of parameter \"bad=2\"", {{"a", "1"}, {"bad", "2"}}},
    {"colour=red x=1", 7, 10, "Do not recognise parameter \"colour\"", {{"colour", "red"}}},
    // Thirty bytes either side of the caret.
    {"first=0123456789012345678901234567890123456789 second 0123456789012345678901234567890123456789",
     2, 54, "Could not find equals sign expected at character 54 \"8901234567890123456789 second "
     "^012345678901234567890123456789\"", {{"first", "0123456789012345678901234567890123456789"}}},
  };
  for (const Case& theCase : kCases)
    Check(theCase);
}

// The caret context holds as many whole characters as fit in 30 bytes on
// either side of the caret: here 14 two-byte letters and one more byte.
TEST(ParameterParser, CaretContextNeverSplitsACharacter)
{
  std::string theLetters;
  for (int i = 0; i < 15; ++i)
    theLetters += "\xC3\xA9";
  RecordingParser theTrailing;
  ASSERT_EQ(theTrailing.Parse("n=x " + theLetters + "a"), ParameterParser::kNoEquals);
  EXPECT_EQ(theTrailing.GetErrorContext(), theLetters.substr(2) + "a^");
  RecordingParser theLeading;
  ASSERT_EQ(theLeading.Parse("=" + theLetters), ParameterParser::kNoParameter);
  EXPECT_EQ(theLeading.GetErrorContext(), "^=" + theLetters.substr(2));
}

TEST(ParameterParser, LimitsTokensToTheirLengths)
{
  for (const std::string& theText : {"a=" + std::string(4095, 'v'), "a='" + std::string(4095, 'v') + "'",
                                     std::string(255, 'n') + "=1"})
    EXPECT_EQ(RecordingParser().Parse(theText), 0) << theText.size();
  EXPECT_EQ(RecordingParser().Parse("a=\"" + std::string(4096, 'v') + "\""), ParameterParser::kTokenTooLong);
  Check({"a=" + std::string(4096, 'v'), 4, 4097,
         "Gave up getting value at character 4097 because token was too long  \"" + std::string(30, 'v') + "^v\"", {}});
  Check({std::string(256, 'n') + "=1", 4, 255,
         "Gave up getting value at character 255 because token was too long  \"" + std::string(30, 'n') + "^n=1\"", {}});
}

// A cut at a token's limit falls before a character it would split, so the
// position and the caret stand on a character boundary.
TEST(ParameterParser, CutsLongTokensAtCharacterBoundaries)
{
  const std::string kEmoji = "\xF0\x9F\x98\x80";
  const std::string kTooLong = "Gave up getting value at character ";
  Check({"\"" + std::string(254, 'a') + kEmoji + "\"=1", 4, 255,
         kTooLong + "255 because token was too long  \"" + std::string(30, 'a') + "^" + kEmoji + "\"=1\"", {}});
  Check({std::string(254, 'n') + "\xC3\xA9=1", 4, 254,
         kTooLong + "254 because token was too long  \"" + std::string(30, 'n') + "^\xC3\xA9=1\"", {}});
  Check({"a=" + std::string(4094, 'v') + kEmoji, 4, 4096,
         kTooLong + "4096 because token was too long  \"" + std::string(30, 'v') + "^" + kEmoji + "\"", {}});
}

// A NUL byte would cut a name or value short where the hook reads it: the
// whole string is refused, and the context shows the NUL as \0.
TEST(ParameterParser, RefusesStringsHoldingNul)
{
  using namespace std::string_literals;
  Check({"textfont='Ar\0ial'"s, 8, 12,
         "Parameter string holds a NUL character at character 12 \"textfont='Ar^\\0ial'\"", {}});
  Check({"width=10\0height=20"s, 8, 8,
         "Parameter string holds a NUL character at character 8 \"width=10^\\0height=20\"", {}});
  Check({"\0"s, 8, 0, "Parameter string holds a NUL character at character 0 \"^\\0\"", {}});
}

TEST(ParameterParser, KeepsTheFirstError)
{
  RecordingParser theParser;
  EXPECT_EQ(theParser.Parse("x y"), ParameterParser::kNoEquals);
  EXPECT_EQ(theParser.Parse("a=1"), ParameterParser::kNoEquals);
  EXPECT_TRUE(theParser.mPairs.empty());
  EXPECT_EQ(theParser.GetErrorPosition(), 2);
  EXPECT_EQ(theParser.GetErrorContext(), "x ^y");
}

TEST(ParameterParser, WordsEveryCode)
{
  struct Worded {
    LONG mCode;
    const char* mMessage;
  };
  const Worded kCases[] = {
    {1, "Parameter string finished unexpectedly at character 0  \"ctx\""},
    {2, "Could not find equals sign expected at character 0 \"ctx\""},
    {3, "Could not find a parameter expected at character 0 \"ctx\""},
    {4, "Gave up getting value at character 0 because token was too long  \"ctx\""},
    {5, "Gave up looking for end quote of quoted string at character 0 \"ctx\""},
    {6, "Could not understand value of parameter \"ctx\""}, {7, "Do not recognise parameter \"ctx\""},
    {8, "Parameter string holds a NUL character at character 0 \"ctx\""},
    {9, "Unknown parsing error at character 0 \"ctx\""}, {-1, "Unknown parsing error at character 0 \"ctx\""},
  };
  for (const Worded& theCase : kCases) {
    RecordingParser theParser;
    theParser.SetError(theCase.mCode, "ctx");
    std::string theText;
    EXPECT_TRUE(theParser.GetErrorText(theText));
    EXPECT_EQ(theText, theCase.mMessage) << "code " << theCase.mCode;
  }
}

TEST(ParameterParser, HoldsAHookContextTo255Bytes)
{
  RecordingParser theParser;
  std::string theValue;
  for (int i = 0; i < 2000; ++i)
    theValue += "\xC3\xA9";
  theParser.SetError(ParameterParser::kBadValue, "text", "=", ("x" + theValue).c_str());
  EXPECT_EQ(theParser.GetErrorContext(), "text=x" + theValue.substr(0, 248));
  theParser.SetError(ParameterParser::kBadValue, "text", "=", theValue.c_str());
  const std::string& theContext = theParser.GetErrorContext();
  EXPECT_EQ(theContext.size(), 255u);  // "text=" and 125 whole two-byte letters
  EXPECT_EQ(theContext, "text=" + theValue.substr(0, 250));
}
