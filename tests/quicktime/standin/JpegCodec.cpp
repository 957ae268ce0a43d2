// JPEG reading. libjpeg reports errors by longjmp: every C++ object lives in
// the callers of the functions that call setjmp, never in them.

#include "tests/quicktime/standin/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr mPublic;
  std::jmp_buf mJump;
};

void ErrorExit(j_common_ptr inInfo)
{
  std::longjmp(reinterpret_cast<ErrorManager*>(inInfo->err)->mJump, 1);
}

void OutputMessage(j_common_ptr) {}

// Everything a decode holds, owned by the caller's frame.
struct Decoder {
  jpeg_decompress_struct mInfo{};
  ErrorManager mError{};

  Decoder()
  {
    mInfo.err = jpeg_std_error(&mError.mPublic);
    mError.mPublic.error_exit = ErrorExit;
    mError.mPublic.output_message = OutputMessage;
    jpeg_create_decompress(&mInfo);
  }
  ~Decoder() { jpeg_destroy_decompress(&mInfo); }
};

// Even naming the source can fail (an empty one), so it is done here. With
// inKeepProfile the APP2 markers that carry an ICC profile are kept.
bool ReadHeader(Decoder& ioDecoder, std::string_view inBytes, bool inKeepProfile = false)
{
  if (setjmp(ioDecoder.mError.mJump))
    return false;
  jpeg_mem_src(&ioDecoder.mInfo, reinterpret_cast<const unsigned char*>(inBytes.data()),
               static_cast<unsigned long>(inBytes.size()));
  if (inKeepProfile)
    jpeg_save_markers(&ioDecoder.mInfo, JPEG_APP0 + 2, 0xFFFF);
  return jpeg_read_header(&ioDecoder.mInfo, TRUE) == JPEG_HEADER_OK;
}

// The profile libjpeg joins from the kept markers, in memory the caller
// frees; false when there is none.
bool JoinProfile(Decoder& ioDecoder, JOCTET*& outData, unsigned int& outLength)
{
  if (setjmp(ioDecoder.mError.mJump))
    return false;
  return jpeg_read_icc_profile(&ioDecoder.mInfo, &outData, &outLength);
}

// Decodes into outPixels (sized by the caller) as BGRA or CMYK.
bool ReadPixels(Decoder& ioDecoder, unsigned char* outPixels, std::size_t inRowBytes)
{
  jpeg_decompress_struct& theInfo = ioDecoder.mInfo;
  if (setjmp(ioDecoder.mError.mJump))
    return false;
  jpeg_start_decompress(&theInfo);
  while (theInfo.output_scanline < theInfo.output_height) {
    JSAMPROW theRow = outPixels + theInfo.output_scanline * inRowBytes;
    jpeg_read_scanlines(&theInfo, &theRow, 1);
  }
  jpeg_finish_decompress(&theInfo);
  return ioDecoder.mError.mPublic.num_warnings == 0;
}

bool IsCMYK(const jpeg_decompress_struct& inInfo)
{
  return inInfo.jpeg_color_space == JCS_CMYK || inInfo.jpeg_color_space == JCS_YCCK;
}

}  // namespace

bool JpegCodec::Validate(std::string_view inBytes)
{
  if (inBytes.size() < 3 || static_cast<unsigned char>(inBytes[0]) != 0xFF ||
      static_cast<unsigned char>(inBytes[1]) != 0xD8)
    return false;
  Decoder theDecoder;
  return ReadHeader(theDecoder, inBytes);
}

OSErr JpegCodec::ReadInfo(std::string_view inBytes, ImageInfo& outInfo)
{
  Decoder theDecoder;
  if (!ReadHeader(theDecoder, inBytes))
    return kQTInvalidImageErr;
  const jpeg_decompress_struct& theInfo = theDecoder.mInfo;
  if (theInfo.image_width > kMaxImageSide || theInfo.image_height > kMaxImageSide)
    return kQTParamErr;
  outInfo = {};
  outInfo.mWidth = static_cast<int>(theInfo.image_width);
  outInfo.mHeight = static_cast<int>(theInfo.image_height);
  outInfo.mCodecType = MakeOSType("jpeg");
  outInfo.mCompressorName = "JPEG";
  if (IsCMYK(theInfo)) {
    outInfo.mDepth = 32;
    outInfo.mColorSpace = kQTCMYKPixelFormat;
  } else if (theInfo.num_components == 1) {
    outInfo.mDepth = kQTGray8Depth;
    outInfo.mColorSpace = MakeOSType("b16g");  // the code callers read as grey
  } else {
    outInfo.mDepth = 24;
  }
  if (theInfo.saw_JFIF_marker && theInfo.X_density > 0) {
    if (theInfo.density_unit == 1)
      outInfo.mResolution = theInfo.X_density;
    else if (theInfo.density_unit == 2)
      outInfo.mResolution = theInfo.X_density * 2.54;
  }
  return kQTNoErr;
}

OSErr JpegCodec::Decode(std::string_view inBytes, DecodedImage& outImage)
{
  outImage = {};
  Decoder theDecoder;
  if (!ReadHeader(theDecoder, inBytes))
    return kQTInvalidImageErr;
  jpeg_decompress_struct& theInfo = theDecoder.mInfo;
  if (theInfo.image_width > kMaxImageSide || theInfo.image_height > kMaxImageSide)
    return kQTParamErr;
  bool theCMYK = IsCMYK(theInfo);
  theInfo.out_color_space = theCMYK ? JCS_CMYK : JCS_EXT_BGRA;

  DecodedImage theImage;
  theImage.mWidth = static_cast<int>(theInfo.image_width);
  theImage.mHeight = static_cast<int>(theInfo.image_height);
  theImage.mFormat = theCMYK ? kQTCMYKPixelFormat : 32;
  std::size_t theRowBytes = static_cast<std::size_t>(theImage.mWidth) * 4;
  auto theBytes = static_cast<long long>(theRowBytes) * theImage.mHeight;
  if (theBytes > kMaxImageBytes)
    return kQTMemFullErr;
  theImage.mPixels.resize(static_cast<std::size_t>(theBytes));
  if (!ReadPixels(theDecoder, theImage.mPixels.data(), theRowBytes))
    return kQTBadImageDataErr;
  // Adobe writes CMYK inverted (0 = full ink).
  if (theCMYK && theInfo.saw_Adobe_marker)
    for (unsigned char& theByte : theImage.mPixels)
      theByte = static_cast<unsigned char>(255 - theByte);
  outImage = std::move(theImage);
  return kQTNoErr;
}

OSErr JpegCodec::ReadProfile(std::string_view inBytes, std::string& outProfile)
{
  outProfile.clear();
  Decoder theDecoder;
  if (!ReadHeader(theDecoder, inBytes, true))
    return kQTInvalidImageErr;
  JOCTET* theData = nullptr;
  unsigned int theLength = 0;
  if (JoinProfile(theDecoder, theData, theLength))
    outProfile.assign(reinterpret_cast<const char*>(theData), theLength);
  std::free(theData);
  return kQTNoErr;
}
