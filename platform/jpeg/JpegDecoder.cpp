// ijlRead: header reads and decoding.

#include "platform/files/Files.h"
#include "platform/jpeg/JpegSession.h"

#include <cstdlib>
#include <new>
#include <vector>

namespace {

constexpr DWORD kFileChunk = 64 * 1024;

// Where libjpeg reads the stream: a memory block, handed over at once, or a
// file, read in chunks. At the end of the data it supplies an end-of-image
// marker, as libjpeg's own sources do (the rest of the image then decodes
// grey), and remembers that the data ran out, so that an error that follows
// is reported as a truncated stream.
class StreamSource {
public:
  void Attach(jpeg_decompress_struct& ioInfo, const BYTE* inData, LONG inLength, HANDLE inFile)
  {
    mManager.init_source = [](j_decompress_ptr) {};
    mManager.fill_input_buffer = Fill;
    mManager.skip_input_data = Skip;
    mManager.resync_to_restart = jpeg_resync_to_restart;
    mManager.term_source = [](j_decompress_ptr) {};
    mFile = inFile;
    if (!mFile) {
      mManager.next_input_byte = inData;
      mManager.bytes_in_buffer = static_cast<std::size_t>(inLength);
    }
    ioInfo.src = &mManager;
    ioInfo.client_data = this;
  }

  bool Ended() const { return mEnded; }

private:
  static StreamSource& Of(j_decompress_ptr inInfo) { return *static_cast<StreamSource*>(inInfo->client_data); }

  static boolean Fill(j_decompress_ptr inInfo)
  {
    static const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
    StreamSource& theSource = Of(inInfo);
    if (theSource.mFile && !theSource.mEnded) {
      theSource.mChunk.resize(kFileChunk);
      DWORD theRead = 0;
      if (!ReadFile(theSource.mFile, theSource.mChunk.data(), kFileChunk, &theRead, nullptr))
        throw JpegFailure{IJL_CANNOT_READ_FILE};
      if (theRead > 0) {
        theSource.mSawData = true;
        theSource.mManager.next_input_byte = theSource.mChunk.data();
        theSource.mManager.bytes_in_buffer = theRead;
        return TRUE;
      }
      if (!theSource.mSawData)
        throw JpegFailure{IJL_EMPTY_INPUT};
    }
    theSource.mEnded = true;
    theSource.mManager.next_input_byte = kEndOfImage;
    theSource.mManager.bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
  }

  static void Skip(j_decompress_ptr inInfo, long inCount)
  {
    jpeg_source_mgr& theManager = Of(inInfo).mManager;
    if (inCount <= 0)
      return;
    while (static_cast<unsigned long>(inCount) > theManager.bytes_in_buffer) {
      inCount -= static_cast<long>(theManager.bytes_in_buffer);
      Fill(inInfo);
    }
    theManager.next_input_byte += inCount;
    theManager.bytes_in_buffer -= static_cast<std::size_t>(inCount);
  }

  jpeg_source_mgr mManager{};
  HANDLE mFile = nullptr;
  std::vector<BYTE> mChunk;
  bool mSawData = false;
  bool mEnded = false;
};

void LimitScans(j_common_ptr inInfo)
{
  if (reinterpret_cast<j_decompress_ptr>(inInfo)->input_scan_number > kIJLMaxScans)
    throw JpegFailure{IJL_TOO_LARGE};
}

// libjpeg's state for one read, released whatever happens.
struct Decompression {
  ~Decompression() { jpeg_destroy_decompress(&mInfo); }

  jpeg_error_mgr mErrors{};
  jpeg_progress_mgr mProgress{};
  StreamSource mSource;
  jpeg_decompress_struct mInfo{};
};

// The memory libjpeg needs for a frame whatever the output size: a frame of
// several scans keeps every coefficient of the image until its last scan.
ULONGLONG WorkingMemory(jpeg_decompress_struct& inInfo)
{
  if (!jpeg_has_multiple_scans(&inInfo))
    return 0;
  ULONGLONG theBytes = 0;
  for (int theIndex = 0; theIndex < inInfo.num_components; ++theIndex) {
    const jpeg_component_info& theComponent = inInfo.comp_info[theIndex];
    auto RoundUp = [](ULONGLONG inValue, int inMultiple) { return (inValue + inMultiple - 1) / inMultiple * inMultiple; };
    theBytes += RoundUp(theComponent.width_in_blocks, theComponent.h_samp_factor) *
                RoundUp(theComponent.height_in_blocks, theComponent.v_samp_factor) * DCTSIZE2 * sizeof(JCOEF);
  }
  return theBytes;
}

// The output colour for the DIB fields; false when they do not suit the frame.
bool ChooseOutput(jpeg_decompress_struct& ioInfo, const JPEG_CORE_PROPERTIES& inProps)
{
  if (inProps.DIBColor == IJL_OTHER || inProps.JPGColor == IJL_OTHER) {
    if (inProps.DIBColor != inProps.JPGColor || inProps.DIBChannels != ioInfo.num_components)
      return false;
    ioInfo.jpeg_color_space = JCS_UNKNOWN;
    ioInfo.out_color_space = JCS_UNKNOWN;
    return true;
  }
  if (ioInfo.num_components == 4)
    return false;
  if (inProps.DIBChannels == 3 && (inProps.DIBColor == IJL_RGB || inProps.DIBColor == IJL_BGR)) {
    ioInfo.out_color_space = inProps.DIBColor == IJL_RGB ? JCS_RGB : JCS_EXT_BGR;
    return true;
  }
  if (inProps.DIBChannels == 1 && inProps.DIBColor == IJL_G) {
    ioInfo.out_color_space = JCS_GRAYSCALE;
    return true;
  }
  return false;
}

bool DIBFits(const jpeg_decompress_struct& inInfo, const JPEG_CORE_PROPERTIES& inProps)
{
  return inProps.DIBBytes && inProps.DIBPadBytes >= 0 && inProps.DIBWidth == static_cast<LONG>(inInfo.output_width) &&
         std::llabs(static_cast<LONGLONG>(inProps.DIBHeight)) == static_cast<LONGLONG>(inInfo.output_height);
}

IJLERR Decode(Decompression& ioJpeg, JPEG_CORE_PROPERTIES& ioProps, HANDLE inFile, bool inHeaderOnly, int inScale)
{
  jpeg_decompress_struct& theInfo = ioJpeg.mInfo;
  theInfo.err = UseThrowingErrors(ioJpeg.mErrors);
  jpeg_create_decompress(&theInfo);
  theInfo.mem->max_memory_to_use = static_cast<long>(kIJLMaxWorkingMemory);
  ioJpeg.mProgress.progress_monitor = LimitScans;
  theInfo.progress = &ioJpeg.mProgress;
  ioJpeg.mSource.Attach(theInfo, ioProps.JPGBytes, ioProps.JPGSizeBytes, inFile);

  jpeg_read_header(&theInfo, TRUE);
  if (theInfo.num_components != 1 && theInfo.num_components != 3 && theInfo.num_components != 4)
    return IJL_UNSUPPORTED_CHANNELS;
  if (WorkingMemory(theInfo) > kIJLMaxWorkingMemory)
    return IJL_TOO_LARGE;
  if (inHeaderOnly)
    return IJL_OK;

  if (!ChooseOutput(theInfo, ioProps))
    return IJL_INVALID_DIB;
  theInfo.scale_num = 1;
  theInfo.scale_denom = static_cast<unsigned>(inScale);
  jpeg_calc_output_dimensions(&theInfo);
  if (!DIBFits(theInfo, ioProps))
    return IJL_INVALID_DIB;

  jpeg_start_decompress(&theInfo);
  const LONGLONG theRowBytes =
    static_cast<LONGLONG>(ioProps.DIBWidth) * ioProps.DIBChannels + ioProps.DIBPadBytes;
  while (theInfo.output_scanline < theInfo.output_height) {
    JSAMPROW theRow = ioProps.DIBBytes + theInfo.output_scanline * theRowBytes;
    if (jpeg_read_scanlines(&theInfo, &theRow, 1) != 1)
      return IJL_CORRUPT;
  }
  // The pixels are all there: whatever follows the image is not read.
  return IJL_OK;
}

}  // namespace

IJLERR ReadJpeg(JPEG_CORE_PROPERTIES& ioProps, bool inFromFile, bool inHeaderOnly, int inScale)
{
  ioProps.JPGWidth = 0;
  ioProps.JPGHeight = 0;
  ioProps.JPGChannels = 0;
  ioProps.JPGAdobeTransform = -1;
  ScopedFile theFile;
  if (inFromFile) {
    if (!ioProps.JPGFile)
      return IJL_INVALID_POINTER;
    theFile = OpenJpegFile(ioProps.JPGFile, false);
    if (!theFile)
      return IJL_CANNOT_OPEN_FILE;
  } else {
    if (!ioProps.JPGBytes)
      return IJL_INVALID_POINTER;
    if (ioProps.JPGSizeBytes <= 0)
      return ioProps.JPGSizeBytes == 0 ? IJL_EMPTY_INPUT : IJL_INVALID_JPEG_PARAMETERS;
  }

  Decompression theJpeg;
  IJLERR theResult = IJL_OK;
  try {
    theResult = Decode(theJpeg, ioProps, theFile.get(), inHeaderOnly, inScale);
  } catch (const JpegFailure& inFailure) {
    theResult = inFailure.mCode == IJL_CORRUPT && theJpeg.mSource.Ended() ? IJL_TRUNCATED : inFailure.mCode;
  } catch (const std::bad_alloc&) {
    theResult = IJL_OUT_OF_MEMORY;
  }
  // What the frame header said, when it was read.
  ioProps.JPGWidth = static_cast<LONG>(theJpeg.mInfo.image_width);
  ioProps.JPGHeight = static_cast<LONG>(theJpeg.mInfo.image_height);
  ioProps.JPGChannels = theJpeg.mInfo.num_components;
  ioProps.JPGAdobeTransform = theJpeg.mInfo.saw_Adobe_marker ? theJpeg.mInfo.Adobe_transform : -1;
  return theResult;
}
