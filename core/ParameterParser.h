#pragma once
// The reader of parameter strings: a run of name=value pairs such as
//   rect=10,10,110,60 textfont="Arial" text='It''s'
// Names and values are bare tokens (ended by white space, "=" or the end) or
// quoted with " or ' (the quote doubled stands for itself). Each pair goes to
// HandleParameter in string order (a string holding a NUL byte is refused
// whole, before any pair); the first failure stops the parse and keeps
// one error code, the byte offset where parsing stopped and a short context,
// from which GetErrorText composes the message a script receives.

#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ParameterParser {
public:
  // Error codes. kEndOfText never remains after Parse.
  static constexpr LONG kNoError = 0;
  static constexpr LONG kEndOfText = 1;
  static constexpr LONG kNoEquals = 2;
  static constexpr LONG kNoParameter = 3;
  static constexpr LONG kTokenTooLong = 4;
  static constexpr LONG kNoEndQuote = 5;
  static constexpr LONG kBadValue = 6;
  static constexpr LONG kUnknownName = 7;
  static constexpr LONG kNulCharacter = 8;  // the string holds a NUL byte

  // Longest name and value, in bytes.
  static constexpr std::size_t kMaxName = 255;
  static constexpr std::size_t kMaxValue = 4095;
  // Longest error context, in bytes.
  static constexpr std::size_t kMaxContext = 255;

  ParameterParser() = default;
  virtual ~ParameterParser() = default;
  ParameterParser(const ParameterParser&) = delete;
  ParameterParser& operator=(const ParameterParser&) = delete;

  // Reads the whole string and answers the error code (0 = success). An
  // earlier error is kept: the string is then not read at all.
  LONG Parse(std::string_view inText);

  // For HandleParameter: records inCode with a context made of those of
  // inName, inSeparator and inValue that are not null (at most kMaxContext bytes).
  void SetError(LONG inCode, const char* inName, const char* inSeparator = nullptr, const char* inValue = nullptr);

  // The message of the error; false (and an empty text) when there is none.
  bool GetErrorText(std::string& outText) const;

  // Byte ranges [first, second) of a text.
  using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
  // The value tokens, quotes included, of the pairs named inName (without
  // regard to case), read as Parse reads inText. Where the text stops being
  // readable and the rest still holds inName, that rest is one more range.
  static Ranges FindValueRanges(std::string_view inText, std::string_view inName);
  // inText with every byte of inRanges written as '*' except white space,
  // '=', quotes and NUL: Parse reads the copy as it reads inText (the same pairs,
  // the same error at the same place) without seeing those bytes.
  static std::string MaskRanges(std::string_view inText, const Ranges& inRanges);

  LONG GetErrorCode() const { return mErrorCode; }
  LONG GetErrorPosition() const { return mErrorPosition; }
  const std::string& GetErrorContext() const { return mErrorContext; }

protected:
  // Called once per pair, in string order; stops the parse by SetError.
  virtual void HandleParameter(const char* inName, const char* inValue) = 0;

private:
  // The cursor of one parse.
  struct Cursor {
    std::string_view mText;
    std::size_t mAt = 0;
    bool AtEnd() const { return mAt >= mText.size(); }
    char Peek() const { return mText[mAt]; }
  };

  // Records the position inAt and, for a code without context, the text
  // around it: up to 30 bytes before, "^", up to 30 bytes after.
  void SetErrorContext(std::string_view inText, std::size_t inAt);

  // One name=value pair; kEndOfText when only white space is left, else the
  // error code. outValueStart is where the value token begins.
  static LONG ReadPair(Cursor& ioCursor, std::string& outName, std::string& outValue, std::size_t& outValueStart);
  static LONG SkipWhiteSpace(Cursor& ioCursor);
  static LONG ExpectEquals(Cursor& ioCursor);
  static LONG ReadToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit);
  static LONG ReadBareToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit);
  static LONG ReadQuotedToken(Cursor& ioCursor, std::string& outToken, std::size_t inLimit);

  LONG mErrorCode = kNoError;
  LONG mErrorPosition = 0;
  std::string mErrorContext;
};
