#pragma once
// What every fuzz target shares: values taken off the front of libFuzzer's
// input, a check that stops the run naming what failed (libFuzzer then keeps
// the input as a crash file to replay), and a store of its own.

#include "platform/base/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <unistd.h>

#define TL_FUZZ_CHECK(inCondition) ((inCondition) ? static_cast<void>(0) : FuzzFail(#inCondition, __FILE__, __LINE__))

[[noreturn]] inline void FuzzFail(const char* inWhat, const char* inFile, int inLine)
{
  std::fprintf(stderr, "%s:%d: check failed: %s\n", inFile, inLine, inWhat);
  std::abort();
}

// Points TESSALINE_HOME at a new temporary folder (in memory where the
// machine has /dev/shm, since the registry syncs every write), so that what a
// target's code writes never reaches the machine's own store.
inline void UseScratchHome()
{
  const char* theTemp = std::getenv("TMPDIR");
  std::string theFolder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : theTemp && *theTemp ? theTemp : "/tmp";
  theFolder += "/tlfuzz-XXXXXX";
  if (!mkdtemp(theFolder.data()))
    FuzzFail("mkdtemp", __FILE__, __LINE__);
  setenv("TESSALINE_HOME", theFolder.c_str(), 1);
}

// Text that is well-formed UTF-8 of characters outside the surrogates.
inline bool IsValidUtf8(std::string_view inText)
{
  while (!inText.empty()) {
    const utf8::Decoded theChar = utf8::Decode(inText);
    if (!theChar.mValid || utf8::IsSurrogate(theChar.mCode))
      return false;
    inText.remove_prefix(theChar.mUsed);
  }
  return true;
}

// Past the end of the input every number is 0 and every text empty.
class FuzzInput {
public:
  FuzzInput(const std::uint8_t* inData, std::size_t inSize) : mData(inData), mSize(inSize) {}

  template <typename T>
  T Take()
  {
    static_assert(std::is_trivially_copyable_v<T>);
    T theValue{};
    const std::size_t theCount = std::min(sizeof(T), mSize - mAt);
    std::memcpy(&theValue, mData + mAt, theCount);
    mAt += theCount;
    return theValue;
  }
  // A number from inLow to inHigh (inclusive), from one or two bytes.
  int Between(int inLow, int inHigh)
  {
    const unsigned theSpan = static_cast<unsigned>(inHigh - inLow) + 1;
    const unsigned theRaw = theSpan <= 256 ? Take<std::uint8_t>() : Take<std::uint16_t>();
    return inLow + static_cast<int>(theRaw % theSpan);
  }
  bool Flag() { return Take<std::uint8_t>() & 1; }
  // Text of a length given by one byte (at most inMax).
  std::string_view Text(std::size_t inMax = 255)
  {
    const std::size_t theLength = std::min<std::size_t>({Take<std::uint8_t>(), inMax, mSize - mAt});
    std::string_view theText(reinterpret_cast<const char*>(mData + mAt), theLength);
    mAt += theLength;
    return theText;
  }
  std::string_view Rest()
  {
    std::string_view theText(reinterpret_cast<const char*>(mData + mAt), mSize - mAt);
    mAt = mSize;
    return theText;
  }
  bool AtEnd() const { return mAt == mSize; }

private:
  const std::uint8_t* mData;
  std::size_t mSize;
  std::size_t mAt = 0;
};
