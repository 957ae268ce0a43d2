#pragma once
// The ImageMagick codec: the library's general reader and writer for every
// format MagickCore 6.9 knows. MagickReader decodes a file or a memory block
// into a list of images, MagickImageToBitmap puts one of them on a Bitmap,
// MagickInfoReader describes an input without drawing it, MagickWriter
// encodes a Bitmap to a file or to memory, and MagickFormatList lists the
// formats.
//
//   MagickReader theReader;
//   theReader.ReadFile(thePath, nullptr);
//   if (const char* theError = theReader.GetError())
//     ... "ImageMagick Error - " and theError ...
//   LONG theStatus = MagickImageToBitmap(theReader.GetImage(1), &theBitmap);
//
// Start-up. The first codec object of the process points MAGICK_CONFIGURE_PATH
// at the folder of the project's policy.xml beside the folder of the module
// that holds this code: share/tessaline/ where the install puts it, else
// resources/ where the build does. It then starts ImageMagick, without
// signal handlers of its own; it is never shut down. When the policy's rules
// are not in force afterwards, every read and write is refused with
// "ImageMagick security policy not in force" and an error event says where
// the policy was looked for.
//
// Hostile input. The format is detected from the bytes alone, never from a
// name: a name only labels errors, so prefixes ("msl:", "fd:"), "|command"
// and "[scene]" suffixes mean nothing. Text, HTML, AVI, PICT and SGI inputs
// are never decoded. Reads and writes go only through the raster coders
// that the policy lists (the format list shows only those); the writer
// refuses any other name before ImageMagick could load its coder, and the
// policy bounds memory, disk and size. PNG files whose chunks would make
// libpng allocate beyond the input are refused before ImageMagick sees them
// (PNGChunks.h). Files are written by the library itself: the image is
// encoded in memory and the bytes stored under the path as it stands.
//
// Errors. Each object keeps ImageMagick's exception record: the worst
// exception met, with its reason. GetError answers the reason of an error
// (severity 400 or more); a warning fails a reader only when it left no
// image. ImageMagick reports to the handlers installed here only where it
// catches an exception itself: they write "ImageMagick Exception Error - %s"
// (or Warning) to the event log through LogFatalEvent, which ends the process
// when the preference AutoRecover is 0.
//
// Pixels. ImageMagick's 16-bit quanta become bytes; opacity counts only when
// the image has a matte. CMYK images (inks; black in the index channel)
// become RGB through ConvertCMYKToRGB with their embedded "icc" profile, else
// the CMYK profile search and the built-in profile; images in other colour
// spaces than RGB and grey are converted to sRGB first. Rows stay top row
// first.
//
// Colour-space codes reported: Undefined 0, RGB 1 (sRGB too), Gray 2 (linear
// grey and the Rec. 601 and 709 lumas too), Transparent 3, OHTA 4, XYZ 5,
// YCbCr 6, YCC 7, YIQ 8, YPbPr 9, YUV 10, CMYK 11; any other space 1.
//
// Each object belongs to one thread at a time; several may work at once.

#include "core/ExportOptions.h"
#include "core/FormatList.h"
#include "core/ImageInfoSource.h"
#include "platform/base/WinTypes.h"

#include <magick/MagickCore.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

class Bitmap;

// Releases a MagickCore record through its own destroy call.
template <auto inDestroy>
struct MagickRelease {
  template <typename T>
  void operator()(T* inRecord) const
  {
    inDestroy(inRecord);
  }
};
using MagickExceptionPtr = std::unique_ptr<ExceptionInfo, MagickRelease<DestroyExceptionInfo>>;
// An image list, released whole from its first image.
using MagickImagePtr = std::unique_ptr<Image, MagickRelease<DestroyImageList>>;

// Starts ImageMagick once per process and holds the codec's exception record.
class MagickBase {
public:
  MagickBase();
  virtual ~MagickBase() = default;
  MagickBase(const MagickBase&) = delete;
  MagickBase& operator=(const MagickBase&) = delete;

  // The reason of the worst exception when it is an error; else null.
  virtual const char* GetError();

protected:
  // The worst exception's reason, whatever its severity.
  const char* GetReason() const;
  // Forgets every exception.
  void ClearException() { ClearMagickException(mException.get()); }
  // False, with the refusal recorded against inName, when the project's
  // policy is not in force.
  bool PolicyInForce(const char* inName);

  MagickExceptionPtr mException;
};

// What a read keeps. kPixels decodes every pixel into ImageMagick's pixel
// cache. kPing asks the coders for attributes only (sizes, resolution,
// profiles), through a pixel cache that keeps no row: most skip the pixel
// data. kAttributes gives the attributes a decode gives, keeping no pixels:
// the coders' ping, with a TIFF's alpha (which its ping misses) taken from
// its directories (TIFFDirectories.h); a decode whose rows are dropped as
// they come for PSD (whose ping misses the profiles and the layers' alpha;
// its layers still take pixel caches), for a TIFF whose directories do not
// tell, and where the ping fails. Images read without pixels are marked
// pinged.
enum class MagickRead { kPixels, kPing, kAttributes };

class MagickReader : public MagickBase {
public:
  // Also a warning when no image came of the read (but never severity 315).
  const char* GetError() override;

  // Forgets the images, the reading, the frame and the exceptions.
  void Dispose();
  // Reads attributes only (sizes, resolution, profiles; no pixels).
  void SetPing(bool inPing) { mRead = inPing ? MagickRead::kPing : MagickRead::kPixels; }
  bool GetPing() const { return mRead == MagickRead::kPing; }
  void SetRead(MagickRead inRead) { mRead = inRead; }
  // Reads frame inFrame (from 1) of a file of several alone: the list then
  // holds that frame, or nothing when the file has fewer. 0: every frame.
  // A GIF frame is cut out of the file before ImageMagick sees it
  // (GIFFrames.h); other coders skip the frames before it themselves or
  // decode and drop them.
  void SetFrame(LONG inFrame) { mFrame = std::max<LONG>(inFrame, 0); }
  // Decodes the file's bytes; inName (else the path) labels the errors. A
  // read without pixels, or of one frame, maps the file whatever its size
  // (MappedFileSource.h).
  void ReadFile(const char* inPath, const char* inName);
  // Decodes the block, read in place. Errors: "No image data provided" for
  // no bytes; "Unable to detect image type" when no format knows them;
  // ImageMagick's reason when it refuses or fails; "width or height exceeds
  // limit" for a PNG larger than the policy allows, and the fault of a PNG
  // file (PNGChunks.h), without asking ImageMagick; else "Unable to decode
  // <format> image" when ImageMagick gives no reason.
  void ReadBlob(const void* inData, std::size_t inLength, const char* inName);

  LONG GetImageCount() const;
  // Image inIndex counted from 1 (below 2: the first); null past the end.
  // The image stays the reader's.
  const Image* GetImage(LONG inIndex) const;
  // The first image's size; 0 without an image.
  LONG GetWidth() const;
  LONG GetHeight() const;
  RECT GetBounds() const;
  LONGLONG GetArea() const;
  // Width x height that a PNG file's header declares, known even where
  // ImageMagick refuses the file; 0 for other inputs.
  LONGLONG GetDeclaredArea() const { return mDeclaredArea; }

private:
  // False, with the refusal recorded against inName, for an input that
  // ImageMagick must not see.
  bool Admits(const void* inData, std::size_t inLength, const char* inName);

  // The images of the bytes as mRead and mFrame ask, null when ImageMagick
  // gives none.
  Image* Decode(const void* inData, std::size_t inLength, const std::string& inFormat);

  MagickImagePtr mImages;
  MagickRead mRead = MagickRead::kPixels;
  LONG mFrame = 0;
  LONGLONG mDeclaredArea = 0;
};

// Describes a file or block: one record per image, the first image's format
// name and its IPTC block (the "8bim" profile, Photoshop's image resources).
class MagickInfoReader : public MagickBase, public ImageInfoSource {
public:
  // With inAttributesOnly the input is pinged; else described as a decode
  // describes it, without keeping pixels (MagickRead::kAttributes).
  explicit MagickInfoReader(bool inAttributesOnly)
      : mRead(inAttributesOnly ? MagickRead::kPing : MagickRead::kAttributes) {}
  explicit MagickInfoReader(MagickRead inRead) : mRead(inRead) {}

  // The error of the last read.
  const char* GetError() override;

  void Reset() override;
  void SetFile(const char* inPath) override;
  void SetData(const void* inData, LONG inLength, const char* inName) override;
  const char* GetFormatName() override { return mFormatName.c_str(); }
  const BYTE* GetIPTCData() override;
  LONG GetIPTCLength() override;

private:
  void FillRecords();

  MagickRead mRead;
  MagickReader mReader;
  std::string mFormatName;
};

// Encodes the source Bitmap in the format of the path's extension, or of the
// type when the path has none. Quality 0..1024 becomes 0..100; a resolution
// is written only when both are given; alpha only with the alpha flag.
// Write answers 0, or the severity of the error that GetError words. A write
// to memory leaves the bytes with the writer until it goes.
class MagickWriter : public MagickBase, public ExportOptions {
public:
  [[nodiscard]] LONG Write() override;

private:
  // Sets the error and answers its severity.
  LONG Fail(ExceptionType inSeverity, const char* inReason);
  LONG Status();

  std::unique_ptr<unsigned char, MagickRelease<RelinquishMagickMemory>> mBlob;
};

// The formats ImageMagick reads and writes under the policy, in its order,
// as "<name> - <description>".
class MagickFormatList : public MagickBase, public FormatList {
public:
  MagickFormatList();

  LONG GetCount() override { return static_cast<LONG>(mCount); }
  // A negative index gives the first entry; past the end the text is empty.
  void GetDescription(LONG inIndex, std::string& outText) override;

private:
  std::unique_ptr<const MagickInfo*[], MagickRelease<RelinquishMagickMemory>> mList;
  std::size_t mCount = 0;
};

// Puts inImage on inBM, made at the image's size and depth 32, in the
// layout inLayout: 32 (B, G, R, A) or kTL32RGBAPixelFormat (R, G, B, A,
// leaving the Bitmap as ToRGBA does). CMYK pixels, turned to RGB, end with
// a fourth byte 0.
// Answers the Bitmap's status, -50 for a bad argument.
[[nodiscard]] LONG MagickImageToBitmap(const Image* inImage, Bitmap* inBM, LONG inLayout = 32);
// A new image of the Bitmap's pixels, 8 bits deep (opacity from the alpha
// byte, matte off); null for a Bitmap without pixels, or when ImageMagick
// refuses the size, with its exception into ioException.
MagickImagePtr BitmapToMagickImage(Bitmap* inBM, ExceptionInfo* ioException);

// (0, 0, columns, rows); empty for no image.
RECT MagickImageBounds(const Image* inImage);
// Where the image lies on its page: with a page set (GIF frames, PSD
// layers), (page x, page y, page x + columns, page y + rows); the right edge
// stretched by the pixel aspect ratio (y / x resolution) when that is not 1.
RECT MagickImagePageRect(const Image* inImage);
// A rectangle of the page in the image's own coordinates: the page offset is
// taken off for images after the first of their file, and the aspect ratio
// taken out of left and right. inFrame is the image's number in its file
// (from 1); 0: its place in its list.
RECT MagickImageToPageRect(const Image* inImage, RECT inRect, LONG inFrame = 0);
// For a PSD list with image resources (its "8bim" profile): the resolution
// of resource 1005, in pixels per inch, into every image of the list.
void ReadPSDResolution(Image* ioImages);
