// The GIF encoder's inputs: size, colour count, palette, transparent index,
// interlace, compression, row length and pixel data, all from the input.
// What a run holds to:
// - arguments the encoder refuses (a side outside 1..65535, more than 256
//   colours, a transparent index above 255, a pixel past the colour table)
//   give null with size 0, and every other picture gives a file;
// - a file's bytes end with the trailer, and ImageMagick reads it back as the
//   picture: each pixel its palette entry's colour (black past the colour
//   count), transparent exactly where it holds the transparent index.
// Sides stay small (at most 96 x 96) so that each input takes milliseconds.

#include "core/GifEncode.h"
#include "core/ImageMagick.h"
#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"

#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  MagickFormatList theStart;  // starts ImageMagick under the project's policy
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const LONG theWidth = theInput.Between(0, 96);
  const LONG theHeight = theInput.Between(0, 96);
  const LONG theColors = theInput.Between(0, 257);
  const LONG theTransparent = theInput.Between(-1, 256);
  const bool theInterlace = theInput.Flag();
  const bool theUseLZW = theInput.Flag();
  const LONG theRowBytes = theWidth + theInput.Between(0, 3);
  RGBQUAD thePalette[256];
  for (RGBQUAD& theEntry : thePalette)
    theEntry = RGBQUAD{theInput.Take<BYTE>(), theInput.Take<BYTE>(), theInput.Take<BYTE>(), theInput.Take<BYTE>()};
  // The pixels: the input's rest, repeated, each byte held below a limit the
  // input also gives (so that small tables get pixels inside them).
  const LONG theLimit = theInput.Between(1, 256);
  const std::string_view theRest = theInput.Rest();
  std::vector<BYTE> thePixels(static_cast<std::size_t>(theRowBytes) * std::max<LONG>(theHeight, 1));
  for (std::size_t i = 0; i < thePixels.size(); ++i)
    thePixels[i] = theRest.empty() ? 0 : static_cast<BYTE>(static_cast<BYTE>(theRest[i % theRest.size()]) % theLimit);

  std::size_t theSize = 1;
  std::unique_ptr<BYTE[]> theFile = GifEncode(theWidth, theHeight, theColors, thePalette, theTransparent,
                                              theInterlace, theUseLZW, theRowBytes, thePixels.data(), theSize);
  const LONG theTableSize = LONG{1} << BitsForColorCount(theColors);
  bool thePastTable = false;
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x)
      thePastTable = thePastTable || thePixels[y * theRowBytes + x] >= theTableSize;
  const bool theRefused = theWidth < 1 || theHeight < 1 || theColors > 256 || theTransparent > 255 || thePastTable;
  TL_FUZZ_CHECK(theRefused == !theFile);
  TL_FUZZ_CHECK((theSize == 0) == !theFile);
  if (!theFile)
    return 0;
  TL_FUZZ_CHECK(theFile[theSize - 1] == 0x3B);

  MagickReader theReader;
  theReader.ReadBlob(theFile.get(), theSize, "fuzz.gif");
  const Image* theImage = theReader.GetImage(1);
  TL_FUZZ_CHECK(theImage && theReader.GetWidth() == theWidth && theReader.GetHeight() == theHeight);
  std::vector<BYTE> theDecoded(static_cast<std::size_t>(theWidth) * theHeight * 4);
  MagickExceptionPtr theException(AcquireExceptionInfo());
  TL_FUZZ_CHECK(ExportImagePixels(theImage, 0, 0, theWidth, theHeight, "RGBA", CharPixel, theDecoded.data(),
                                  theException.get()));
  for (LONG y = 0; y < theHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x) {
      const BYTE theIndex = thePixels[y * theRowBytes + x];
      const RGBQUAD theEntry = theIndex < theColors ? thePalette[theIndex] : RGBQUAD{};
      const BYTE* thePixel = &theDecoded[(static_cast<std::size_t>(y) * theWidth + x) * 4];
      TL_FUZZ_CHECK(thePixel[3] == (theIndex == theTransparent ? 0 : 255));
      if (theIndex != theTransparent)
        TL_FUZZ_CHECK(thePixel[0] == theEntry.rgbRed && thePixel[1] == theEntry.rgbGreen &&
                      thePixel[2] == theEntry.rgbBlue);
    }
  return 0;
}
