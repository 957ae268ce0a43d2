// Image data through the ImageMagick codec, under the project's policy. The
// input is the file. What a run holds to:
// - a read answers an error, or images; the describing reader finds a format
//   name exactly when it finds images;
// - where the whole read succeeds and a ping sees the same frames (pages,
//   sizes, a GIF's colours and transparency), a description that keeps no pixels finds
//   as many images, with the records and the IPTC block of a description
//   that decodes, and each frame read alone (a GIF frame cut out of the
//   file) is the whole read's frame: the same page, bounds and pixels;
// - every image goes on a Bitmap of its own size in both layouts;
// - the first image, written as PNG by the writer and read again, comes back
//   with the same colours (and alpha, with a matte).
// The policy's size bounds are lowered here (1 megapixel, 64 images) so that
// each input takes milliseconds; its refusals stay as they are.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

namespace {

constexpr LONG kMaxImages = 64;
constexpr LONG kMaxFramesAlone = 8;

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

// The records and IPTC block of a description, as bytes.
std::string Records(MagickInfoReader& inReader)
{
  std::string theBytes = inReader.GetFormatName();
  for (LONG i = 0; i < inReader.GetCount(); ++i) {
    const ImageInfoRecord theRecord = inReader.GetRecord(i);
    theBytes.append(reinterpret_cast<const char*>(&theRecord), sizeof theRecord);
  }
  if (const BYTE* theIPTC = inReader.GetIPTCData())
    theBytes.append(reinterpret_cast<const char*>(theIPTC), static_cast<std::size_t>(inReader.GetIPTCLength()));
  return theBytes;
}

// Every frame's page and bounds; a GIF frame's colours and transparency
// too, which the extensions before it set.
std::string Pages(const MagickReader& inReader)
{
  std::string theText;
  for (LONG i = 1; i <= inReader.GetImageCount(); ++i) {
    const Image* theImage = inReader.GetImage(i);
    theText += FormatRect(MagickImagePageRect(theImage)) + FormatRect(MagickImageBounds(theImage)) + " ";
    if (std::strcmp(theImage->magick, "GIF") == 0)
      theText += std::to_string(theImage->colors) + (theImage->matte ? "+" : "-");
  }
  return theText;
}

// A frame's page, bounds and B, G, R, A bytes.
std::string FrameBytes(const Image* inImage)
{
  Bitmap theBitmap;
  TL_FUZZ_CHECK(MagickImageToBitmap(inImage, &theBitmap) == 0);
  return FormatRect(MagickImagePageRect(inImage)) + FormatRect(MagickImageBounds(inImage)) + Channels(theBitmap, true);
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
  TL_FUZZ_CHECK((theDescription.GetCount() > 0) == (*theDescription.GetFormatName() != '\0'));
  // Without pixels, a file whose pixel data a decode refuses may still be
  // described from its headers.
  // A GIF frame's LZW data may end before its sub-blocks do, and the decoder
  // then reads what follows as blocks: a ping, and a frame cut out by its
  // sub-blocks, see other frames. Where a ping and the decode see the same
  // frames, the rest must agree.
  MagickReader thePinged;
  thePinged.SetPing(true);
  thePinged.ReadBlob(inData, inSize, "fuzz");
  if (!theReader.GetError() && Pages(thePinged) == Pages(theReader)) {
    TL_FUZZ_CHECK(theDescription.GetCount() == theCount);
    MagickInfoReader theDecoded(MagickRead::kPixels);
    theDecoded.SetData(inData, static_cast<LONG>(inSize), "fuzz");
    TL_FUZZ_CHECK(Records(theDescription) == Records(theDecoded));
    // Some damaged files decode to other pixels each time (libjpeg leaves
    // what it cannot decode as it found it): only a frame that a second
    // whole read gives again is held to.
    MagickReader theAgain;
    theAgain.ReadBlob(inData, inSize, "fuzz");
    for (LONG i = 1; i <= std::min(theCount, kMaxFramesAlone); ++i) {
      MagickReader theAlone;
      theAlone.SetFrame(i);
      theAlone.ReadBlob(inData, inSize, "fuzz");
      TL_FUZZ_CHECK(theAlone.GetImageCount() == 1);
      const std::string theWhole = FrameBytes(theReader.GetImage(i));
      if (theWhole == FrameBytes(theAgain.GetImage(i)))
        TL_FUZZ_CHECK(FrameBytes(theAlone.GetImage(1)) == theWhole);
    }
  }

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
