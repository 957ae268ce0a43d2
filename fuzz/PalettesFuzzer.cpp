// Palette files and colour reduction. The first byte picks the road:
// - a palette file (the rest of the input): one entry per whole R, G, B
//   triple, at most 256, each entry the file's bytes;
// - a small 32-bit picture from the input, a table of one of the kinds for
//   a count from the input, and its reduction with and without dithering:
//   no more entries than the kind can make, and every pixel an entry's index.

#include "core/ColorReducer.h"
#include "core/Paleteer.h"
#include "fuzz/FuzzSupport.h"

#include <fstream>
#include <string>

namespace {

// A DIB section of its own, deleted at the end of its scope.
class Dib {
public:
  Dib(LONG inWidth, LONG inHeight, WORD inBits)
  {
    IndexedBitmapInfo theInfo;
    theInfo.DescribeTopDown(inWidth, inHeight, inBits);
    mBitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&theInfo), DIB_RGB_COLORS, &mBits,
                               nullptr, 0);
    TL_FUZZ_CHECK(mBitmap && GetObjectA(mBitmap, sizeof mSection, &mSection) == sizeof mSection);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;
  ~Dib() { DeleteObject(mBitmap); }

  HBITMAP Get() const { return mBitmap; }
  const DIBSECTION& Section() const { return mSection; }
  BYTE* Row(LONG inY) const { return static_cast<BYTE*>(mBits) + inY * mSection.dsBm.bmWidthBytes; }

private:
  HBITMAP mBitmap = nullptr;
  void* mBits = nullptr;
  DIBSECTION mSection{};
};

void CheckPaletteFile(std::string_view inBytes)
{
  static const std::string gPath = std::string(std::getenv("TESSALINE_HOME")) + "/palette.act";
  std::ofstream(gPath, std::ios::binary | std::ios::trunc).write(inBytes.data(), static_cast<std::streamsize>(inBytes.size()));
  Paleteer thePaleteer;
  thePaleteer.SetKind(Paleteer::kPaletteFile);
  thePaleteer.SetPalettePath(gPath);
  RGBQUAD theTable[Paleteer::kMaxColors];
  const LONG theCount = thePaleteer.BuildColorTable(theTable);
  TL_FUZZ_CHECK(theCount == static_cast<LONG>(std::min<std::size_t>(inBytes.size() / 3, 256)));
  for (LONG i = 0; i < theCount; ++i) {
    const auto* theTriple = reinterpret_cast<const BYTE*>(inBytes.data()) + 3 * i;
    TL_FUZZ_CHECK(theTable[i].rgbRed == theTriple[0] && theTable[i].rgbGreen == theTriple[1] &&
                  theTable[i].rgbBlue == theTriple[2]);
  }
}

void CheckReduction(FuzzInput& ioInput)
{
  static constexpr LONG kKinds[] = {Paleteer::kWebSafe,   Paleteer::kMacintosh, Paleteer::kUniform,
                                    Paleteer::kAdaptive,  Paleteer::kGrayscale, Paleteer::kBlackAndWhite};
  const LONG theKind = kKinds[ioInput.Between(0, std::size(kKinds) - 1)];
  const LONG theWanted = ioInput.Between(2, 256);
  const LONG theWidth = ioInput.Between(1, 24);
  const LONG theHeight = ioInput.Between(1, 24);
  Dib theSource(theWidth, theHeight, 32);
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x) {
      const auto thePixel = ioInput.Take<std::uint32_t>();
      std::memcpy(theSource.Row(y) + 4 * x, &thePixel, 4);
    }

  Paleteer thePaleteer;
  thePaleteer.SetKind(theKind);
  thePaleteer.SetColorCount(theWanted);
  thePaleteer.SetSource(theSource.Get());
  RGBQUAD theTable[Paleteer::kMaxColors];
  const LONG theCount = thePaleteer.BuildColorTable(theTable);
  TL_FUZZ_CHECK(theCount >= 1 && theCount <= Paleteer::kMaxColors);
  if (theKind == Paleteer::kAdaptive)
    TL_FUZZ_CHECK(theCount <= theWanted && theCount <= theWidth * theHeight);
  if (theKind == Paleteer::kGrayscale)
    TL_FUZZ_CHECK(theCount == theWanted);

  for (bool theDither : {false, true}) {
    Dib theReduced(theWidth, theHeight, 8);
    ColorReducer theReducer;
    theReducer.SetPaletteKind(theKind);
    TL_FUZZ_CHECK(theReducer.Reduce(&theSource.Section(), &theReduced.Section(), theTable, theCount, theDither));
    for (LONG y = 0; y < theHeight; ++y)
      for (LONG x = 0; x < theWidth; ++x)
        TL_FUZZ_CHECK(theReduced.Row(y)[x] < theCount);
  }
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
  if (theInput.Flag())
    CheckPaletteFile(theInput.Rest());
  else
    CheckReduction(theInput);
  return 0;
}
