// Image data through the ImageMagick codec, under the project's policy. The
// input is the file. What a run holds to:
// - a read answers an error, or images; the describing reader finds as many
//   images and a format name;
// - every image goes on a Bitmap of its own size in both layouts;
// - the first image, written as PNG by the writer and read again, comes back
//   with the same colours (and alpha, with a matte).
// The policy's size bounds are lowered here (1 megapixel, 64 images) so that
// each input takes milliseconds; its refusals stay as they are.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr LONG kMaxImages = 64;

// The red, green, blue and (with inAlpha) alpha bytes of a 32-bit Bitmap.
std::string Channels(Bitmap& inBM, bool inAlpha)
{
  std::string theBytes;
  LockedPixels thePixels;
  TL_FUZZ_CHECK(inBM.LockPixels(thePixels));
  const LONG theWidth = RectWidth(inBM.GetBounds());
  for (LONG y = 0; y < thePixels.mHeight; ++y)
    for (LONG x = 0; x < theWidth; ++x)
      theBytes.append(reinterpret_cast<const char*>(thePixels.mBase + y * thePixels.mRowBytes + 4 * x), inAlpha ? 4 : 3);
  inBM.UnlockPixels();
  return theBytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  MagickFormatList theStart;
  TL_FUZZ_CHECK(!IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, "MVG"));
  SetMagickResourceLimit(AreaResource, 1 << 20);
  SetMagickResourceLimit(WidthResource, 4096);
  SetMagickResourceLimit(HeightResource, 4096);
  SetMagickResourceLimit(ListLengthResource, kMaxImages);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  MagickReader theReader;
  theReader.ReadBlob(inData, inSize, "fuzz");
  const LONG theCount = theReader.GetImageCount();
  TL_FUZZ_CHECK(theReader.GetError() || theCount > 0);
  MagickInfoReader theDescription(false);
  theDescription.SetData(inData, static_cast<LONG>(inSize), "fuzz");
  TL_FUZZ_CHECK(theDescription.GetCount() == theCount);
  TL_FUZZ_CHECK((theCount > 0) == (*theDescription.GetFormatName() != '\0'));

  for (LONG i = 1; i <= std::min(theCount, kMaxImages); ++i)
    for (LONG theLayout : {LONG{32}, kTL32RGBAPixelFormat}) {
      Bitmap theBitmap;
      TL_FUZZ_CHECK(MagickImageToBitmap(theReader.GetImage(i), &theBitmap, theLayout) == 0);
      TL_FUZZ_CHECK(FormatRect(theBitmap.GetBounds()) == FormatRect(MagickImageBounds(theReader.GetImage(i))));
    }
  if (theCount == 0)
    return 0;

  const bool theMatte = theReader.GetImage(1)->matte;
  Bitmap theBitmap;
  TL_FUZZ_CHECK(MagickImageToBitmap(theReader.GetImage(1), &theBitmap) == 0);
  MagickWriter theWriter;
  theWriter.SetBitmap(&theBitmap);
  theWriter.SetType("PNG");
  theWriter.SetAlpha(theMatte);
  TL_FUZZ_CHECK(theWriter.Write() == 0);
  MagickReader theAgain;
  theAgain.ReadBlob(theWriter.GetData(), static_cast<std::size_t>(theWriter.GetLength()), "again.png");
  Bitmap theCopy;
  TL_FUZZ_CHECK(MagickImageToBitmap(theAgain.GetImage(1), &theCopy) == 0);
  TL_FUZZ_CHECK(Channels(theCopy, theMatte) == Channels(theBitmap, theMatte));
  return 0;
}
