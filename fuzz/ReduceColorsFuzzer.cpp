// Colour reduction of a canvas as a script asks for it: a small 32-bit
// picture, a colour count and a dither flag from the input, then the first
// byte picks the palette:
// - palette bytes (the rest of the input): entries of 3 bytes when the length
//   is a multiple of 3, else of 4 when it is a multiple of 4, else of 3, at
//   most 256; the 8-bit canvas holds them first and entry 0 after them, and
//   fewer than one entry fails with "Unable to understand palette" and leaves
//   the picture as it was;
// - a palette keyword, on the picture kept at 32 bits or copied to 8, 4 or
//   1 bits first: never an error; 8 bits deep, but for undithered grey
//   levels, which stay on the pixels at their depth.

#include "core/Bitmap.h"
#include "fuzz/FuzzSupport.h"
#include "objects/GetInfo.h"
#include "objects/ReduceColors.h"

#include <vector>

namespace {

const char* const kKeywords[] = {"websafe", "windows", "macintosh", "uniform", "adaptive", "grayscale", "black&white"};

std::vector<DWORD> Words(Bitmap& inWorld)
{
  LockedPixels thePixels;
  TL_FUZZ_CHECK(inWorld.LockPixels(thePixels) && thePixels.mPixSize == 32);
  std::vector<DWORD> theWords(static_cast<std::size_t>(thePixels.mRowBytes / 4 * thePixels.mHeight));
  std::memcpy(theWords.data(), thePixels.mBase, theWords.size() * 4);
  inWorld.UnlockPixels();
  return theWords;
}

std::vector<BYTE> Palette(Bitmap& inWorld)
{
  GetInfo theOp;
  theOp.SetType("palette");
  theOp.Run(inWorld, nullptr);
  return std::vector<BYTE>(theOp.GetDataPtr(), theOp.GetDataPtr() + theOp.GetDataSize());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  Bitmap theWorld;
  theWorld.SetWidth(theInput.Between(1, 16));
  theWorld.SetHeight(theInput.Between(1, 16));
  TL_FUZZ_CHECK(theWorld.Update() == 0);
  {
    LockedPixels thePixels;
    TL_FUZZ_CHECK(theWorld.LockPixels(thePixels));
    for (LONG i = 0; i < thePixels.mRowBytes / 4 * thePixels.mHeight; ++i) {
      const auto theWord = theInput.Take<std::uint32_t>();
      std::memcpy(thePixels.mBase + 4 * i, &theWord, 4);
    }
    theWorld.UnlockPixels();
  }
  const std::vector<DWORD> theBefore = Words(theWorld);
  const auto theColors = theInput.Take<std::int32_t>();
  const bool theDither = theInput.Flag();
  const bool theKeyword = theInput.Flag();
  const std::string_view theBytes = theKeyword ? std::string_view() : theInput.Rest();
  const char* const theType = kKeywords[theInput.Between(0, std::size(kKeywords) - 1)];
  constexpr LONG kDepths[] = {32, 8, 4, 1};
  const LONG theDepth = theKeyword ? kDepths[theInput.Between(0, std::size(kDepths) - 1)] : 32;
  theWorld.SetDepth(theDepth);
  TL_FUZZ_CHECK(theWorld.Update() == 0);

  ReduceColors theOp;
  if (theKeyword)
    theOp.SetPaletteType(theType);
  else
    theOp.SetPaletteData(reinterpret_cast<const BYTE*>(theBytes.data()), static_cast<LONG>(theBytes.size()));
  theOp.SetColors(theColors);
  theOp.SetDither(theDither);
  theOp.Run(theWorld, nullptr);
  Error& theError = *theOp.GetError();

  if (theKeyword) {
    TL_FUZZ_CHECK(!theError.HasError());
    const bool theInPlace = !theDither && (theType == kKeywords[5] || theType == kKeywords[6]);
    TL_FUZZ_CHECK(theWorld.GetDepth() == (theInPlace ? theDepth : 8));
    return 0;
  }
  const std::size_t theEntrySize = theBytes.size() % 3 == 0 ? 3 : theBytes.size() % 4 == 0 ? 4 : 3;
  const std::size_t theEntries = std::min<std::size_t>(theBytes.size() / theEntrySize, 256);
  if (theEntries == 0) {
    TL_FUZZ_CHECK(theError.GetText().rfind("Unable to understand palette\n", 0) == 0);
    TL_FUZZ_CHECK(theWorld.GetDepth() == 32 && Words(theWorld) == theBefore);
    return 0;
  }
  TL_FUZZ_CHECK(!theError.HasError() && theWorld.GetDepth() == 8);
  const std::vector<BYTE> thePalette = Palette(theWorld);
  TL_FUZZ_CHECK(thePalette.size() == 768);
  for (std::size_t i = 0; i < 256; ++i) {
    const std::size_t theFrom = i < theEntries ? i * theEntrySize : 0;
    for (std::size_t c = 0; c < 3; ++c)
      TL_FUZZ_CHECK(thePalette[3 * i + c] == static_cast<BYTE>(theBytes[theFrom + c]));
  }
  return 0;
}
