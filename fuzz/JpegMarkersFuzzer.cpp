// The JPEG marker parser against libjpeg-turbo. The first byte picks the road:
// - a stream that libjpeg writes from the input (size, components,
//   progression and an ICC profile of any length): the parser reads the same
//   size and components and the same profile as libjpeg reads back;
// - the input itself: the walk ends in 0 or 1 or in one of its own failures,
//   and where libjpeg and the parser both assemble an ICC profile it is the
//   same one. (Sizes are not compared here: the walk goes on past the first
//   scan, where libjpeg stops, and keeps the last frame header it meets.)

#include "core/ByteSource.h"
#include "core/JPEGParser.h"
#include "fuzz/FuzzSupport.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <string>
#include <vector>

namespace {

struct Header {
  LONG mWidth = 0;
  LONG mHeight = 0;
  LONG mComponents = 0;
  std::vector<BYTE> mProfile;
};

struct JpegError {
  jpeg_error_mgr mManager;
  std::jmp_buf mJump;
};

void LeaveOnError(j_common_ptr inInfo)
{
  std::longjmp(reinterpret_cast<JpegError*>(inInfo->err)->mJump, 1);
}

void SayNothing(j_common_ptr) {}

// What libjpeg reads of a stream's header; false when it refuses the stream.
bool ReadWithLibjpeg(const BYTE* inData, std::size_t inSize, Header& outHeader)
{
  jpeg_decompress_struct theInfo{};
  JpegError theError{};
  theInfo.err = jpeg_std_error(&theError.mManager);
  theError.mManager.error_exit = LeaveOnError;
  theError.mManager.output_message = SayNothing;
  jpeg_create_decompress(&theInfo);
  if (setjmp(theError.mJump)) {
    jpeg_destroy_decompress(&theInfo);
    return false;
  }
  jpeg_mem_src(&theInfo, inData, static_cast<unsigned long>(inSize));
  jpeg_save_markers(&theInfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&theInfo, TRUE);
  outHeader.mWidth = static_cast<LONG>(theInfo.image_width);
  outHeader.mHeight = static_cast<LONG>(theInfo.image_height);
  outHeader.mComponents = theInfo.num_components;
  JOCTET* theProfile = nullptr;
  unsigned theLength = 0;
  if (jpeg_read_icc_profile(&theInfo, &theProfile, &theLength)) {
    outHeader.mProfile.assign(theProfile, theProfile + theLength);
    std::free(theProfile);
  }
  jpeg_destroy_decompress(&theInfo);
  return true;
}

std::vector<BYTE> WriteWithLibjpeg(int inWidth, int inHeight, int inComponents, bool inProgressive,
                                   std::string_view inProfile)
{
  jpeg_compress_struct theInfo{};
  jpeg_error_mgr theErrors{};
  theInfo.err = jpeg_std_error(&theErrors);
  jpeg_create_compress(&theInfo);
  unsigned char* theBuffer = nullptr;
  unsigned long theSize = 0;
  jpeg_mem_dest(&theInfo, &theBuffer, &theSize);
  theInfo.image_width = static_cast<JDIMENSION>(inWidth);
  theInfo.image_height = static_cast<JDIMENSION>(inHeight);
  theInfo.input_components = inComponents;
  theInfo.in_color_space = inComponents == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&theInfo);
  if (inProgressive)
    jpeg_simple_progression(&theInfo);
  jpeg_start_compress(&theInfo, TRUE);
  if (!inProfile.empty())
    jpeg_write_icc_profile(&theInfo, reinterpret_cast<const JOCTET*>(inProfile.data()),
                           static_cast<unsigned>(inProfile.size()));
  std::vector<JSAMPLE> theRow(static_cast<std::size_t>(inWidth * inComponents), 0x80);
  for (int theY = 0; theY < inHeight; ++theY) {
    JSAMPROW theRows[] = {theRow.data()};
    jpeg_write_scanlines(&theInfo, theRows, 1);
  }
  jpeg_finish_compress(&theInfo);
  jpeg_destroy_compress(&theInfo);
  std::vector<BYTE> theBytes(theBuffer, theBuffer + theSize);
  std::free(theBuffer);
  return theBytes;
}

// The parser's reading of a stream; false when the walk failed.
bool ReadWithParser(const BYTE* inData, std::size_t inSize, Header& outHeader)
{
  static const std::string kFailures[] = {"JPEG file too short", "Bad JPEG marker length", "Bad SOF marker length",
                                          "Bad SOS marker length"};
  ByteSource theSource(inData, static_cast<DWORD>(inSize));
  JPEGParser theParser;
  theParser.SetSource(&theSource);
  try {
    outHeader.mProfile = theParser.TakeICC();
    JPEGParser theWalk;
    ByteSource theAgain(inData, static_cast<DWORD>(inSize));
    theWalk.SetSource(&theAgain);
    const LONG theResult = theWalk.Parse();
    TL_FUZZ_CHECK(theResult == 0 || theResult == 1);
    TL_FUZZ_CHECK(theResult == 0 || theWalk.GetErrorText() == "JPEG header missing");
    outHeader.mWidth = theWalk.GetWidth();
    outHeader.mHeight = theWalk.GetHeight();
    outHeader.mComponents = theWalk.GetComponents();
    return theResult == 0;
  } catch (const JPEGParserFailure& inFailure) {
    TL_FUZZ_CHECK(std::find(std::begin(kFailures), std::end(kFailures), inFailure.GetText()) != std::end(kFailures));
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  if (theInput.Flag()) {
    const int theWidth = theInput.Between(1, 40);
    const int theHeight = theInput.Between(1, 40);
    const int theComponents = theInput.Flag() ? 3 : 1;
    const bool theProgressive = theInput.Flag();
    const std::vector<BYTE> theStream =
      WriteWithLibjpeg(theWidth, theHeight, theComponents, theProgressive, theInput.Rest());
    Header theLibjpeg, theParsed;
    TL_FUZZ_CHECK(ReadWithLibjpeg(theStream.data(), theStream.size(), theLibjpeg));
    TL_FUZZ_CHECK(ReadWithParser(theStream.data(), theStream.size(), theParsed));
    TL_FUZZ_CHECK(theParsed.mWidth == theWidth && theLibjpeg.mWidth == theWidth);
    TL_FUZZ_CHECK(theParsed.mHeight == theHeight && theLibjpeg.mHeight == theHeight);
    TL_FUZZ_CHECK(theParsed.mComponents == theComponents && theLibjpeg.mComponents == theComponents);
    TL_FUZZ_CHECK(theParsed.mProfile == theLibjpeg.mProfile);
    return 0;
  }
  const std::string_view theRaw = theInput.Rest();
  const BYTE* theBytes = reinterpret_cast<const BYTE*>(theRaw.data());
  Header theLibjpeg, theParsed;
  const bool theLibjpegRead = ReadWithLibjpeg(theBytes, theRaw.size(), theLibjpeg);
  ReadWithParser(theBytes, theRaw.size(), theParsed);
  if (theLibjpegRead && !theLibjpeg.mProfile.empty() && !theParsed.mProfile.empty())
    TL_FUZZ_CHECK(theParsed.mProfile == theLibjpeg.mProfile);
  return 0;
}
