// The JPEG library stand-in and the CMYK conversion against hostile input.
// The first byte picks the road:
// - the input as a JPEG stream, read from memory: a header read, then (for a
//   frame small enough) an image read at the scale and into the DIB colour
//   that the next bytes pick. Every result is IJL_OK or one of the library's
//   codes, worded without a final full stop; a header read gives the frame
//   libjpeg reads; an image that decodes gives libjpeg's own pixels, row
//   padding untouched.
// - a stream that libjpeg writes from the input (size, channels, sampling,
//   progression): the header and every scale read, with libjpeg's pixels.
// - the rest of the input as the embedded ICC profile of a CMYK block: a
//   transform that runs gives R, G, B, 0; one that cannot run leaves the
//   block as it was, and ConvertCMYKToRGB then gives the plain formula.

#include "core/ColorSpace.h"
#include "fuzz/FuzzSupport.h"
#include "platform/jpeg/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// DIBs of at most this many bytes are decoded.
constexpr std::size_t kMaxPixelBytes = 1u << 22;
constexpr LONG kPad = 3;

struct JpegError {
  jpeg_error_mgr mManager;
  std::jmp_buf mJump;
};

void LeaveOnError(j_common_ptr inInfo)
{
  std::longjmp(reinterpret_cast<JpegError*>(inInfo->err)->mJump, 1);
}

void SayNothing(j_common_ptr, int) {}

struct Decoded {
  bool mRead = false;
  LONG mWidth = 0, mHeight = 0, mChannels = 0;
  Bytes mPixels;  // rows of mWidth x channels, no padding
};

// libjpeg's own reading: the header only, or the image at 1 / inScale.
Decoded ReadWithLibjpeg(const Bytes& inStream, bool inImage, int inScale, J_COLOR_SPACE inOutput)
{
  Decoded theResult;
  jpeg_decompress_struct theInfo{};
  JpegError theError{};
  theInfo.err = jpeg_std_error(&theError.mManager);
  theError.mManager.error_exit = LeaveOnError;
  theError.mManager.emit_message = SayNothing;
  jpeg_create_decompress(&theInfo);
  if (setjmp(theError.mJump)) {
    jpeg_destroy_decompress(&theInfo);
    return Decoded{};
  }
  jpeg_mem_src(&theInfo, inStream.data(), static_cast<unsigned long>(inStream.size()));
  jpeg_read_header(&theInfo, TRUE);
  theResult.mWidth = static_cast<LONG>(theInfo.image_width);
  theResult.mHeight = static_cast<LONG>(theInfo.image_height);
  theResult.mChannels = theInfo.num_components;
  if (inImage) {
    if (inOutput == JCS_UNKNOWN)
      theInfo.jpeg_color_space = JCS_UNKNOWN;
    theInfo.out_color_space = inOutput;
    theInfo.scale_num = 1;
    theInfo.scale_denom = static_cast<unsigned>(inScale);
    jpeg_start_decompress(&theInfo);
    const std::size_t theRowBytes = static_cast<std::size_t>(theInfo.output_width) * theInfo.output_components;
    theResult.mPixels.resize(theRowBytes * theInfo.output_height);
    while (theInfo.output_scanline < theInfo.output_height) {
      JSAMPROW theRow = theResult.mPixels.data() + theInfo.output_scanline * theRowBytes;
      jpeg_read_scanlines(&theInfo, &theRow, 1);
    }
  }
  jpeg_destroy_decompress(&theInfo);
  theResult.mRead = true;
  return theResult;
}

IJLIOTYPE MemoryMode(int inScale)
{
  return inScale == 1 ? IJL_MEMORY_READ_IMAGE
         : inScale == 2 ? IJL_MEMORY_READ_HALF
         : inScale == 4 ? IJL_MEMORY_READ_QUARTER
                        : IJL_MEMORY_READ_EIGHTH;
}

void CheckCode(IJLERR inCode)
{
  TL_FUZZ_CHECK(inCode <= IJL_OK && inCode >= IJL_BUFFER_TOO_SMALL);
  const std::string_view theText = ijlErrorStr(inCode);
  TL_FUZZ_CHECK(!theText.empty() && theText.back() != '.');
}

// Reads inStream through the library and holds it to libjpeg's reading.
// With inMustDecode, every step has to succeed.
void ReadAndCompare(const Bytes& inStream, int inScale, IJL_COLOR inColor, bool inMustDecode)
{
  JPEG_CORE_PROPERTIES theProps;
  TL_FUZZ_CHECK(ijlInit(&theProps) == IJL_OK);
  theProps.JPGBytes = const_cast<BYTE*>(inStream.data());
  theProps.JPGSizeBytes = static_cast<LONG>(inStream.size());
  const IJLERR theHeader = ijlRead(&theProps, IJL_MEMORY_READ_HEADER);
  CheckCode(theHeader);
  TL_FUZZ_CHECK(!inMustDecode || theHeader == IJL_OK);
  if (theHeader == IJL_OK) {
    const Decoded theOracle = ReadWithLibjpeg(inStream, false, 1, JCS_UNKNOWN);
    TL_FUZZ_CHECK(theOracle.mRead && theOracle.mWidth == theProps.JPGWidth &&
                  theOracle.mHeight == theProps.JPGHeight && theOracle.mChannels == theProps.JPGChannels);
  }
  const LONG theChannels = inColor == IJL_G ? 1 : inColor == IJL_OTHER ? theProps.JPGChannels : 3;
  const LONG theWidth = (theProps.JPGWidth + inScale - 1) / inScale;
  const LONG theHeight = (theProps.JPGHeight + inScale - 1) / inScale;
  const std::size_t theRowBytes = static_cast<std::size_t>(theWidth) * theChannels + kPad;
  if (theHeader != IJL_OK || theRowBytes * theHeight > kMaxPixelBytes) {
    ijlFree(&theProps);
    return;
  }
  Bytes theDIB(theRowBytes * theHeight, 0xEE);
  theProps.DIBBytes = theDIB.data();
  theProps.DIBWidth = theWidth;
  theProps.DIBHeight = -theHeight;
  theProps.DIBPadBytes = kPad;
  theProps.DIBChannels = theChannels;
  theProps.DIBColor = inColor;
  theProps.JPGColor = inColor == IJL_OTHER ? IJL_OTHER : IJL_YCBCR;
  const IJLERR theImage = ijlRead(&theProps, MemoryMode(inScale));
  CheckCode(theImage);
  TL_FUZZ_CHECK(!inMustDecode || theImage == IJL_OK);
  if (theImage == IJL_OK) {
    const J_COLOR_SPACE theOutput = inColor == IJL_RGB ? JCS_RGB
                                    : inColor == IJL_BGR ? JCS_EXT_BGR
                                    : inColor == IJL_G   ? JCS_GRAYSCALE
                                                         : JCS_UNKNOWN;
    const Decoded theOracle = ReadWithLibjpeg(inStream, true, inScale, theOutput);
    TL_FUZZ_CHECK(theOracle.mRead);
    const std::size_t thePixelBytes = theRowBytes - kPad;
    TL_FUZZ_CHECK(theOracle.mPixels.size() == thePixelBytes * theHeight);
    for (LONG theY = 0; theY < theHeight; ++theY) {
      const BYTE* theRow = theDIB.data() + theY * theRowBytes;
      TL_FUZZ_CHECK(std::equal(theRow, theRow + thePixelBytes, theOracle.mPixels.data() + theY * thePixelBytes));
      TL_FUZZ_CHECK(std::all_of(theRow + thePixelBytes, theRow + theRowBytes, [](BYTE inByte) { return inByte == 0xEE; }));
    }
  }
  TL_FUZZ_CHECK(ijlFree(&theProps) == IJL_OK);
}

Bytes WriteWithLibjpeg(FuzzInput& ioInput)
{
  const int theWidth = ioInput.Between(1, 70);
  const int theHeight = ioInput.Between(1, 70);
  const int theChannels = ioInput.Between(0, 2) == 0 ? 1 : ioInput.Flag() ? 4 : 3;
  jpeg_compress_struct theInfo{};
  jpeg_error_mgr theErrors{};
  theInfo.err = jpeg_std_error(&theErrors);
  jpeg_create_compress(&theInfo);
  unsigned char* theBuffer = nullptr;
  unsigned long theSize = 0;
  jpeg_mem_dest(&theInfo, &theBuffer, &theSize);
  theInfo.image_width = static_cast<JDIMENSION>(theWidth);
  theInfo.image_height = static_cast<JDIMENSION>(theHeight);
  theInfo.input_components = theChannels;
  theInfo.in_color_space = theChannels == 1 ? JCS_GRAYSCALE : theChannels == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&theInfo);
  if (theChannels == 4 && ioInput.Flag())
    jpeg_set_colorspace(&theInfo, JCS_YCCK);
  jpeg_set_quality(&theInfo, ioInput.Between(1, 100), TRUE);
  theInfo.comp_info[0].h_samp_factor = ioInput.Between(1, 2);
  theInfo.comp_info[0].v_samp_factor = ioInput.Between(1, 2);
  if (ioInput.Flag())
    jpeg_simple_progression(&theInfo);
  jpeg_start_compress(&theInfo, TRUE);
  std::vector<JSAMPLE> theRow(static_cast<std::size_t>(theWidth * theChannels));
  for (int theY = 0; theY < theHeight; ++theY) {
    for (JSAMPLE& theSample : theRow)
      theSample = ioInput.Take<std::uint8_t>();
    JSAMPROW theRows[] = {theRow.data()};
    jpeg_write_scanlines(&theInfo, theRows, 1);
  }
  jpeg_finish_compress(&theInfo);
  jpeg_destroy_compress(&theInfo);
  Bytes theStream(theBuffer, theBuffer + theSize);
  std::free(theBuffer);
  return theStream;
}

void ConvertWithProfile(FuzzInput& ioInput)
{
  Bytes theBlock(4 * 3 * 2);
  for (BYTE& theByte : theBlock)
    theByte = ioInput.Take<std::uint8_t>();
  const std::string_view theRest = ioInput.Rest();
  const BYTE* theProfile = reinterpret_cast<const BYTE*>(theRest.data());
  const DWORD theLength = static_cast<DWORD>(theRest.size());

  Bytes theConverted = theBlock;
  if (ConvertCMYKToRGBWithICC(theConverted.data(), 3, 2, 12, theProfile, theLength)) {
    for (std::size_t theIndex = 3; theIndex < theConverted.size(); theIndex += 4)
      TL_FUZZ_CHECK(theConverted[theIndex] == 0);
    return;
  }
  TL_FUZZ_CHECK(theConverted == theBlock);
  ConvertCMYKToRGB(theConverted.data(), 3, 2, 12, theProfile, theLength);
  Bytes theFormula = theBlock;
  ConvertCMYKToRGBByFormula(theFormula.data(), 3, 2, 12);
  TL_FUZZ_CHECK(theConverted == theFormula);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  static const IJL_COLOR kColors[] = {IJL_BGR, IJL_RGB, IJL_G, IJL_OTHER};
  static const int kScales[] = {1, 2, 4, 8};
  FuzzInput theInput(inData, inSize);
  switch (theInput.Between(0, 2)) {
    case 0: {
      const int theScale = kScales[theInput.Between(0, 3)];
      const IJL_COLOR theColor = kColors[theInput.Between(0, 3)];
      const std::string_view theRest = theInput.Rest();
      ReadAndCompare(Bytes(theRest.begin(), theRest.end()), theScale, theColor, false);
      break;
    }
    case 1: {
      const Bytes theStream = WriteWithLibjpeg(theInput);
      const bool theFourChannels = ReadWithLibjpeg(theStream, false, 1, JCS_UNKNOWN).mChannels == 4;
      for (int theScale : kScales)
        ReadAndCompare(theStream, theScale, theFourChannels ? IJL_OTHER : IJL_BGR, true);
      break;
    }
    default:
      ConvertWithProfile(theInput);
  }
  return 0;
}
