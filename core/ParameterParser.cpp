#include "core/ParameterParser.h"

#include "core/Utilities.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"

namespace {

// Blank, tab, line feed, vertical tab, form feed, carriage return. Bytes of
// 128 and above are never white space.
bool IsWhiteSpace(char inChar)
{
  return inChar == ' ' || (inChar >= '\t' && inChar <= '\r');
}

constexpr std::size_t kContextSide = 30;

bool ContainsIgnoringCase(std::string_view inText, std::string_view inPart)
{
  for (std::size_t i = 0; i < inText.size(); ++i)
    if (StartsWithIgnoringCase(inText.substr(i), inPart))
      return true;
  return false;
}

}  // namespace

LONG ParameterParser::Parse(std::string_view inText)
{
  if (mErrorCode != kNoError)
    return mErrorCode;

  // A NUL would end a name or value early where the hook reads it: refused
  // before any pair is handed on.
  if (std::size_t theNul = inText.find('\0'); theNul != std::string_view::npos) {
    mErrorCode = kNulCharacter;
    SetErrorContext(inText, theNul);
    return mErrorCode;
  }

  Cursor theCursor{inText, 0};
  std::string theName;
  std::string theValue;
  std::size_t theValueStart = 0;
  while (mErrorCode == kNoError) {
    if (LONG theCode = ReadPair(theCursor, theName, theValue, theValueStart); theCode != kNoError) {
      mErrorCode = theCode;
      break;
    }
    HandleParameter(theName.c_str(), theValue.c_str());
  }
  if (mErrorCode == kEndOfText)
    mErrorCode = kNoError;
  SetErrorContext(inText, theCursor.mAt);
  return mErrorCode;
}

ParameterParser::Ranges ParameterParser::FindValueRanges(std::string_view inText, std::string_view inName)
{
  Ranges theRanges;
  // A name is read from its own letters (a quote inside a token stays in it):
  // a text without them names it nowhere.
  if (!ContainsIgnoringCase(inText, inName))
    return theRanges;
  Cursor theCursor{inText, 0};
  std::string theName;
  std::string theValue;
  for (;;) {
    SkipWhiteSpace(theCursor);
    const std::size_t thePairStart = theCursor.mAt;
    std::size_t theValueStart = 0;
    LONG theCode = ReadPair(theCursor, theName, theValue, theValueStart);
    if (theCode == kEndOfText)
      break;
    if (theCode != kNoError) {
      if (ContainsIgnoringCase(inText.substr(thePairStart), inName))
        theRanges.emplace_back(thePairStart, inText.size());
      break;
    }
    if (EqualsIgnoringCase(theName, inName))
      theRanges.emplace_back(theValueStart, theCursor.mAt);
  }
  return theRanges;
}

std::string ParameterParser::MaskRanges(std::string_view inText, const Ranges& inRanges)
{
  std::string theMasked(inText);
  for (const auto& [theFirst, theEnd] : inRanges)
    for (std::size_t i = theFirst; i < theEnd && i < theMasked.size(); ++i)
      if (!IsWhiteSpace(theMasked[i]) && theMasked[i] != '=' && theMasked[i] != '"' && theMasked[i] != '\'' &&
          theMasked[i] != '\0')
        theMasked[i] = '*';
  return theMasked;
}

void ParameterParser::SetError(LONG inCode, const char* inName, const char* inSeparator, const char* inValue)
{
  mErrorCode = inCode;
  std::string theContext;
  for (const char* thePart : {inName, inSeparator, inValue})
    if (thePart)
      theContext += thePart;
  mErrorContext = utf8::Cut(theContext, kMaxContext);
}

void ParameterParser::SetErrorContext(std::string_view inText, std::size_t inAt)
{
  mErrorPosition = static_cast<LONG>(inAt);
  if (mErrorCode == kNoError || !mErrorContext.empty())
    return;
  std::size_t theStart = utf8::StartBefore(inText, inAt, kContextSide);
  // A NUL is shown as \0, so that the message keeps the rest of the context.
  mErrorContext = ShowNul(inText.substr(theStart, inAt - theStart)) + '^' +
                  ShowNul(utf8::Cut(inText.substr(inAt), kContextSide));
}

bool ParameterParser::GetErrorText(std::string& outText) const
{
  const char* theFormat = nullptr;
  switch (mErrorCode) {
    case kNoError:
      outText.clear();
      return false;
    case kEndOfText:
      theFormat = "Parameter string finished unexpectedly at character %d  \"%s\"";
      break;
    case kNoEquals:
      theFormat = "Could not find equals sign expected at character %d \"%s\"";
      break;
    case kNoParameter:
      theFormat = "Could not find a parameter expected at character %d \"%s\"";
      break;
    case kTokenTooLong:
      theFormat = "Gave up getting value at character %d because token was too long  \"%s\"";
      break;
    case kNoEndQuote:
      theFormat = "Gave up looking for end quote of quoted string at character %d \"%s\"";
      break;
    case kNulCharacter:
      theFormat = "Parameter string holds a NUL character at character %d \"%s\"";
      break;
    case kBadValue:
      outText = "Could not understand value of parameter \"" + mErrorContext + "\"";
      return true;
    case kUnknownName:
      outText = "Do not recognise parameter \"" + mErrorContext + "\"";
      return true;
    default:
      theFormat = "Unknown parsing error at character %d \"%s\"";
      break;
  }
  outText = FormatC(theFormat, static_cast<int>(mErrorPosition), mErrorContext.c_str());
  return true;
}

LONG ParameterParser::ReadPair(Cursor& ioCursor, std::string& outName, std::string& outValue,
                               std::size_t& outValueStart)
{
  outName.clear();
  outValue.clear();
  if (LONG theCode = SkipWhiteSpace(ioCursor); theCode != kNoError)
    return theCode;
  LONG theCode = ReadToken(ioCursor, outName, kMaxName + 1);
  if (outName.empty())
    theCode = kNoParameter;
  if (theCode != kNoError)
    return theCode;
  SkipWhiteSpace(ioCursor);
  if (theCode = ExpectEquals(ioCursor); theCode != kNoError)
    return theCode;
  SkipWhiteSpace(ioCursor);
  outValueStart = ioCursor.mAt;
  return ReadToken(ioCursor, outValue, kMaxValue + 1);
}

LONG ParameterParser::SkipWhiteSpace(Cursor& ioCursor)
{
  while (!ioCursor.AtEnd() && IsWhiteSpace(ioCursor.Peek()))
    ++ioCursor.mAt;
  return ioCursor.AtEnd() ? kEndOfText : kNoError;
}

LONG ParameterParser::ExpectEquals(Cursor& ioCursor)
{
  if (ioCursor.AtEnd() || ioCursor.Peek() != '=')
    return kNoEquals;
  ++ioCursor.mAt;
  return kNoError;
}

LONG ParameterParser::ReadToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit)
{
  if (!ioCursor.AtEnd() && (ioCursor.Peek() == '"' || ioCursor.Peek() == '\''))
    return ReadQuotedToken(ioCursor, outToken, inLimit);
  return ReadBareToken(ioCursor, outToken, inLimit);
}

LONG ParameterParser::ReadBareToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit)
{
  std::size_t theStart = ioCursor.mAt;
  while (!ioCursor.AtEnd() && !IsWhiteSpace(ioCursor.Peek()) && ioCursor.Peek() != '=') {
    if (ioCursor.mAt - theStart == inLimit - 1) {
      outToken.assign(utf8::Cut(ioCursor.mText.substr(theStart), inLimit - 1));
      ioCursor.mAt = theStart + outToken.size();
      return outToken.empty() ? kNoParameter : kTokenTooLong;
    }
    ++ioCursor.mAt;
  }
  outToken.assign(ioCursor.mText.substr(theStart, ioCursor.mAt - theStart));
  return outToken.empty() ? kNoParameter : kNoError;
}

LONG ParameterParser::ReadQuotedToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit)
{
  const char theQuote = ioCursor.Peek();
  ++ioCursor.mAt;
  outToken.clear();
  for (;;) {
    if (ioCursor.AtEnd())
      return kNoEndQuote;
    char theChar = ioCursor.Peek();
    if (theChar == theQuote) {
      ++ioCursor.mAt;
      if (ioCursor.AtEnd() || ioCursor.Peek() != theQuote)
        return kNoError;
    }
    if (outToken.size() == inLimit - 1) {
      // The cut goes back to the start of a character it would split.
      for (int theStep = 0; theStep < 3 && utf8::IsContinuation(ioCursor.Peek()) && !outToken.empty(); ++theStep) {
        outToken.pop_back();
        --ioCursor.mAt;
      }
      return kTokenTooLong;
    }
    outToken += theChar;
    ++ioCursor.mAt;
  }
}
