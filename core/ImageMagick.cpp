#include "core/ImageMagick.h"

#include "core/Bitmap.h"
#include "core/ColorSpace.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/GIFFrames.h"
#include "core/IPTCUtils.h"
#include "core/MagickLibrary.h"
#include "core/MappedFileSource.h"
#include "core/PNGChunks.h"
#include "core/SystemUtilities.h"
#include "core/TIFFDirectories.h"
#include "core/Utilities.h"
#include "platform/base/WinError.h"
#include "platform/kernel/Modules.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace {

using MagickImageInfoPtr = std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>>;
using MagickCacheViewPtr = std::unique_ptr<CacheView, MagickRelease<DestroyCacheView>>;

constexpr const char* kNoPolicyText = "ImageMagick security policy not in force";
// Coders that the project's policy refuses and ImageMagick's own default
// policy allows: while they are refused, the project's policy was read.
constexpr std::array kPolicySentinels = {"MSL", "MVG", "SVG", "TEXT"};
// Formats never decoded, whatever their bytes.
constexpr std::array<std::string_view, 7> kRefusedFormats = {"TXT", "TEXT", "HTM", "HTML", "AVI", "PICT", "SGI"};
// As many leading bytes as ImageMagick itself reads to tell a format.
constexpr std::size_t kMagicBytes = 2 * MaxTextExtent;
// Reasons shorter than this are quoted in the event log.
constexpr std::size_t kMaxLoggedReason = 128;
constexpr const char* kUndefinedError = "ImageMagick Undefined Error";

std::once_flag gStartOnce;
bool gPolicyInForce = false;

// The exception record of every codec object when MagickCore cannot be
// loaded: an error that says so. It stays as it is, since every MagickCore
// call then does nothing (releasing it included).
ExceptionInfo* NotLoadedException()
{
  static ExceptionInfo gRecord = [] {
    ExceptionInfo theRecord{};
    theRecord.severity = ErrorException;
    theRecord.reason = const_cast<char*>("ImageMagick cannot be loaded");
    return theRecord;
  }();
  return &gRecord;
}

void ReportException(const char* inKind, WORD inType, const char* inReason)
{
  std::string theMessage = kUndefinedError;
  if (inReason && std::strlen(inReason) < kMaxLoggedReason)
    theMessage = std::string("ImageMagick Exception ") + inKind + " - " + inReason;
  LogFatalEvent(theMessage.c_str(), inType);
}

void MagickErrorHandler(ExceptionType, const char* inReason, const char*)
{
  ReportException("Error", EVENTLOG_ERROR_TYPE, inReason);
}

void MagickWarningHandler(ExceptionType, const char* inReason, const char*)
{
  ReportException("Warning", EVENTLOG_WARNING_TYPE, inReason);
}

// The path of the executable or library that holds this code.
std::string ModulePath()
{
  HMODULE theModule = nullptr;
  char thePath[MAX_PATH] = "";
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ModulePath), &theModule))
    GetModuleFileNameA(theModule, thePath, MAX_PATH);
  return thePath;
}

// The folder of the project's policy.xml, beside the module's own folder:
// share/tessaline/ of an installed tree when it holds one, else resources/ of
// the build tree. ImageMagick opens the file itself, so it is looked for
// directly, as ImageMagick will, and not through the file stand-in.
std::string PolicyFolder(const std::string& inModule)
{
  const std::string theBase = inModule.substr(0, inModule.rfind('/') + 1) + "../";
  const std::string theInstalled = theBase + "share/tessaline/";
  return access((theInstalled + "policy.xml").c_str(), F_OK) == 0 ? theInstalled : theBase + "resources/";
}

// Runs once, from the first codec object, before any other thread of the
// process can read the environment on ImageMagick's behalf.
void StartImageMagick()
{
  const std::string theModule = ModulePath();
  const std::string theFolder = PolicyFolder(theModule);
  setenv("MAGICK_CONFIGURE_PATH", theFolder.c_str(), 1);
  MagickCoreGenesis(theModule.c_str(), MagickFalse);
  SetErrorHandler(MagickErrorHandler);
  SetWarningHandler(MagickWarningHandler);
  // ImageMagick's own fatal handler would end the host.
  SetFatalErrorHandler(MagickErrorHandler);
  gPolicyInForce = std::none_of(kPolicySentinels.begin(), kPolicySentinels.end(), [](const char* inCoder) {
    return IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, inCoder);
  });
  if (!gPolicyInForce)
    LogEvent("%s: no policy.xml in \"%s\"", EVENTLOG_ERROR_TYPE, kNoPolicyText, theFolder.c_str());
}

// MagickCore keeps this one to itself; the build is Q16 (16-bit quanta).
static_assert(QuantumRange == 65535);
Quantum ScaleCharToQuantum(BYTE inValue)
{
  return static_cast<Quantum>(inValue * 257u);
}

// A count of pixels as a side of a RECT or a Bitmap.
LONG Side(std::size_t inCount)
{
  return static_cast<LONG>(std::min<std::size_t>(inCount, INT32_MAX));
}

// The format that the leading bytes show: ImageMagick's table of magic
// numbers first, then the coders' own tests. Empty when none knows them.
std::string DetectFormat(const void* inData, std::size_t inLength)
{
  const auto* theBytes = static_cast<const unsigned char*>(inData);
  const std::size_t theLength = std::min(inLength, kMagicBytes);
  MagickExceptionPtr theIgnored(AcquireExceptionInfo());
  if (const MagicInfo* theMagic = GetMagicInfo(theBytes, theLength, theIgnored.get()); theMagic && GetMagicName(theMagic))
    return GetMagicName(theMagic);
  char theFormat[MaxTextExtent] = "";
  return GetImageMagick(theBytes, theLength, theFormat) ? theFormat : "";
}

// The formats whose coders' ping leaves out what their decode gives: TIFF
// alpha (which its directories tell), PSD the profiles and the layers' alpha.
constexpr std::array<std::string_view, 4> kTIFFNames = {"TIFF", "TIFF64", "TIF", "PTIF"};
constexpr std::array<std::string_view, 2> kPSDNames = {"PSD", "PSB"};

template <std::size_t N>
bool IsOneOf(const std::array<std::string_view, N>& inNames, const std::string& inName)
{
  return std::find(inNames.begin(), inNames.end(), inName) != inNames.end();
}

// Gives the pinged pages of a TIFF file the alpha that a decode gives them;
// false when the file's directories do not tell it for every page.
bool AddTIFFAlpha(Image* ioImages, const void* inData, std::size_t inLength)
{
  const TIFFPages thePages = ReadTIFFPages(static_cast<const BYTE*>(inData), inLength);
  if (thePages.mLayers || thePages.mAlpha.size() != GetImageListLength(ioImages))
    return false;
  std::size_t i = 0;
  for (Image* theImage = ioImages; theImage; theImage = GetNextImageInList(theImage))
    theImage->matte = thePages.mAlpha[i++] ? MagickTrue : MagickFalse;
  return true;
}

// Drops the rows a read without pixels hands over.
std::size_t DropRows(const Image*, const void*, const std::size_t inColumns)
{
  return inColumns;
}

bool HasEmptyImage(const Image* inImages)
{
  for (const Image* theImage = inImages; theImage; theImage = GetNextImageInList(theImage))
    if (theImage->columns == 0 || theImage->rows == 0)
      return true;
  return false;
}

// The system's colour-space code of an ImageMagick 6.9 colour space.
LONG ColorSpaceCode(ColorspaceType inSpace)
{
  switch (inSpace) {
    case UndefinedColorspace:
      return 0;
    case GRAYColorspace:
    case LinearGRAYColorspace:
    case Rec601LumaColorspace:
    case Rec709LumaColorspace:
      return 2;
    case TransparentColorspace:
      return 3;
    case OHTAColorspace:
      return 4;
    case XYZColorspace:
      return 5;
    case YCbCrColorspace:
      return 6;
    case YCCColorspace:
      return 7;
    case YIQColorspace:
      return 8;
    case YPbPrColorspace:
      return 9;
    case YUVColorspace:
      return 10;
    case CMYKColorspace:
      return 11;
    default:
      return 1;
  }
}

// Spaces whose red, green and blue quanta are shown as they are.
bool IsShownAsIs(ColorspaceType inSpace)
{
  const LONG theCode = ColorSpaceCode(inSpace);
  return inSpace == RGBColorspace || inSpace == sRGBColorspace || theCode == 0 || theCode == 2 || theCode == 3;
}

// Bits per pixel: from the palette's size, else 32 for grey, OHTA, CMYK and
// images with a matte, else 24. JPEG images always 32.
LONG ImageDepth(const Image* inImage)
{
  if (std::strcmp(inImage->magick, "JPEG") == 0)
    return 32;
  if (inImage->storage_class == PseudoClass && inImage->colors > 0)
    return BitsForColorCount(Side(inImage->colors));
  const LONG theSpace = ColorSpaceCode(inImage->colorspace);
  return theSpace == 2 || theSpace == 4 || theSpace == 11 || inImage->matte ? 32 : 24;
}

// Pixels per inch, truncated; 72 when unknown.
LONG ImageResolution(const Image* inImage)
{
  LONG theResolution = 0;
  if (inImage->units == PixelsPerInchResolution)
    theResolution = TruncToLong(inImage->x_resolution);
  else if (inImage->units == PixelsPerCentimeterResolution)
    theResolution = TruncToLong(inImage->x_resolution * 2.54 + 0.5);
  return theResolution == 0 ? 72 : theResolution;
}

// Height over width of a pixel; 1 without two resolutions.
double PixelAspectRatio(const Image* inImage)
{
  if (!inImage || inImage->x_resolution <= 0 || inImage->y_resolution <= 0)
    return 1.0;
  return inImage->y_resolution / inImage->x_resolution;
}

// Copies inWidth x inHeight pixels into the locked 32-bit rows as B, G, R, A
// or R, G, B, A, a CMYK image as C, M, Y, K. False when a row of the image
// cannot be read.
bool CopyMagickPixels(const Image* inImage, const LockedPixels& inPixels, LONG inWidth, LONG inHeight, bool inRGBA)
{
  MagickExceptionPtr theException(AcquireExceptionInfo());
  MagickCacheViewPtr theView(AcquireVirtualCacheView(inImage, theException.get()));
  const bool theCMYK = inImage->colorspace == CMYKColorspace;
  const bool theMatte = inImage->matte != MagickFalse;
  for (LONG y = 0; y < inHeight; ++y) {
    const PixelPacket* thePix = GetCacheViewVirtualPixels(theView.get(), 0, y, static_cast<std::size_t>(inWidth), 1,
                                                          theException.get());
    TL_ASSERT(thePix);
    if (!thePix)
      return false;
    const IndexPacket* theBlack = theCMYK ? GetCacheViewVirtualIndexQueue(theView.get()) : nullptr;
    BYTE* theOut = inPixels.mBase + std::ptrdiff_t{y} * inPixels.mRowBytes;
    for (LONG x = 0; x < inWidth; ++x, ++thePix, theOut += 4) {
      const BYTE theRed = ScaleQuantumToChar(thePix->red);
      const BYTE theGreen = ScaleQuantumToChar(thePix->green);
      const BYTE theBlue = ScaleQuantumToChar(thePix->blue);
      const BYTE theAlpha = theMatte ? 255 - ScaleQuantumToChar(thePix->opacity) : 255;
      theOut[0] = inRGBA || theCMYK ? theRed : theBlue;
      theOut[1] = theGreen;
      theOut[2] = inRGBA || theCMYK ? theBlue : theRed;
      theOut[3] = theCMYK ? (theBlack ? ScaleQuantumToChar(theBlack[x]) : 0) : theAlpha;
    }
  }
  return true;
}

// The inks that CopyMagickPixels left (C, M, Y, K) as R, G, B, 0, or B, G,
// R, 0 without inRGBA, through the image's embedded profile when it has one.
void InksToRGB(const Image* inImage, const LockedPixels& inPixels, LONG inWidth, LONG inHeight, bool inRGBA)
{
  const StringInfo* theProfile = GetImageProfile(inImage, "icc");
  const bool theUsable = theProfile && GetStringInfoLength(theProfile) <= UINT32_MAX;
  ConvertCMYKToRGB(inPixels.mBase, inWidth, inHeight, inPixels.mRowBytes,
                   theUsable ? GetStringInfoDatum(theProfile) : nullptr,
                   theUsable ? static_cast<DWORD>(GetStringInfoLength(theProfile)) : 0);
  if (!inRGBA)
    ConvertRGBXToBGRA(inPixels.mBase, inWidth, inHeight, inPixels.mRowBytes);
}

// A new image of 32-bit pixels in the layout inFormat (32 or 'BGRA': B, G,
// R, A; 'RGBA': R, G, B, A), 8 bits deep; null when ImageMagick refuses it.
MagickImagePtr PixelsToMagickImage(const BYTE* inBase, LONG inWidth, LONG inHeight, LONG inRowBytes, LONG inFormat,
                                   ExceptionInfo* ioException)
{
  if (!inBase || inWidth <= 0 || inHeight <= 0 || inRowBytes <= 0)
    return nullptr;
  const bool theRGBA = inFormat == kTL32RGBAPixelFormat;
  const bool theKnown = theRGBA || inFormat == 32 || inFormat == kTL32BGRAPixelFormat;
  const bool theRowsFit = inRowBytes >= LONGLONG{4} * inWidth;
  TL_ASSERT_TEXT(theKnown, "FALSE");
  TL_ASSERT_TEXT(theRowsFit, "pad >= 0");
  if (!theKnown || !theRowsFit)
    return nullptr;
  MagickImagePtr theImage(AcquireImage(nullptr));
  if (!SetImageExtent(theImage.get(), static_cast<std::size_t>(inWidth), static_cast<std::size_t>(inHeight))) {
    InheritException(ioException, &theImage->exception);
    return nullptr;
  }
  theImage->depth = 8;
  MagickCacheViewPtr theView(AcquireAuthenticCacheView(theImage.get(), ioException));
  for (LONG y = 0; y < inHeight; ++y) {
    PixelPacket* thePix =
        QueueCacheViewAuthenticPixels(theView.get(), 0, y, static_cast<std::size_t>(inWidth), 1, ioException);
    if (!thePix)
      return nullptr;
    const BYTE* theIn = inBase + std::ptrdiff_t{y} * inRowBytes;
    for (LONG x = 0; x < inWidth; ++x, ++thePix, theIn += 4) {
      thePix->red = ScaleCharToQuantum(theRGBA ? theIn[0] : theIn[2]);
      thePix->green = ScaleCharToQuantum(theIn[1]);
      thePix->blue = ScaleCharToQuantum(theRGBA ? theIn[2] : theIn[0]);
      thePix->opacity = ScaleCharToQuantum(static_cast<BYTE>(255 - theIn[3]));
    }
    if (!SyncCacheViewAuthenticPixels(theView.get(), ioException))
      return nullptr;
  }
  return theImage;
}

// Quality 0..1024 as ImageMagick's 1..100 (0 would mean its own default).
std::size_t MagickQuality(LONG inQuality)
{
  if (inQuality < 0)
    return 100;
  return static_cast<std::size_t>(std::clamp<LONGLONG>(LONGLONG{inQuality} * 100 / 1024, 1, 100));
}

// "%f" in the "C" locale.
std::string FormatFixed(double inValue)
{
  char theText[64];
  const auto theEnd = std::to_chars(theText, theText + sizeof theText, inValue, std::chars_format::fixed, 6).ptr;
  return std::string(theText, theEnd);
}

}  // namespace

// ---- MagickBase

MagickBase::MagickBase()
{
  if (!LoadMagickCore()) {
    mException.reset(NotLoadedException());
    return;
  }
  std::call_once(gStartOnce, StartImageMagick);
  mException.reset(AcquireExceptionInfo());
}

const char* MagickBase::GetError()
{
  return mException->severity >= ErrorException ? GetReason() : nullptr;
}

const char* MagickBase::GetReason() const
{
  TL_ASSERT_TEXT(mException->reason, "mException.reason");
  return mException->reason ? mException->reason : kUndefinedError;
}

bool MagickBase::PolicyInForce(const char* inName)
{
  if (!gPolicyInForce)
    ThrowException(mException.get(), PolicyError, kNoPolicyText, inName);
  return gPolicyInForce;
}

// ---- MagickReader

const char* MagickReader::GetError()
{
  const ExceptionType theSeverity = mException->severity;
  const bool theWarningLeftNothing = theSeverity >= WarningException && theSeverity != DelegateWarning && !mImages;
  return theSeverity >= ErrorException || theWarningLeftNothing ? GetReason() : nullptr;
}

void MagickReader::Dispose()
{
  mImages.reset();
  mRead = MagickRead::kPixels;
  mFrame = 0;
  mDeclaredArea = 0;
  ClearException();
}

void MagickReader::ReadFile(const char* inPath, const char* inName)
{
  TL_ASSERT_TEXT(inPath, "inFile");
  // A read that keeps no pixels, or one frame's, looks at a part of the file.
  MappedFileSource theFile;
  if (inPath)
    (void)theFile.Open(inPath, mRead != MagickRead::kPixels || mFrame > 0);
  ReadBlob(theFile.GetView(), theFile.GetLength(), inName && *inName ? inName : inPath);
}

void MagickReader::ReadBlob(const void* inData, std::size_t inLength, const char* inName)
{
  const char* theName = inName ? inName : "";
  mImages.reset();
  if (!inData || inLength == 0) {
    ThrowException(mException.get(), BlobWarning, "No image data provided", theName);
    return;
  }
  if (!PolicyInForce(theName))
    return;
  const std::string theFormat = DetectFormat(inData, inLength);
  const bool theKnown =
    !theFormat.empty() && std::find(kRefusedFormats.begin(), kRefusedFormats.end(), theFormat) == kRefusedFormats.end();
  if (theKnown && Admits(inData, inLength, theName)) {
    mImages.reset(Decode(inData, inLength, theFormat));
    if (HasEmptyImage(mImages.get()))
      mImages.reset();
    ReadPSDResolution(mImages.get());
  }
  // ImageMagick's coders drop some of their reasons (libpng's, for one).
  if (!mImages && !GetError() && theKnown)
    ThrowException(mException.get(), CorruptImageError, ("Unable to decode " + theFormat + " image").c_str(), theName);
  if (!mImages && !GetError())
    ThrowException(mException.get(), BlobWarning, "Unable to detect image type", theName);
}

Image* MagickReader::Decode(const void* inData, std::size_t inLength, const std::string& inFormat)
{
  MagickImageInfoPtr theInfo(CloneImageInfo(nullptr));
  CopyMagickString(theInfo->magick, inFormat.c_str(), MaxTextExtent);
  std::vector<BYTE> theCut;
  const bool theCutFrame = mFrame > 0 && inFormat == "GIF";
  if (theCutFrame) {
    theCut = CutGIFFrame(static_cast<const BYTE*>(inData), inLength, mFrame);
    if (theCut.empty())
      return nullptr;
    inData = theCut.data();
    inLength = theCut.size();
  } else if (mFrame > 0) {
    // As ImageMagick reads a "[scene]" suffix: the coder may skip the frames
    // before it and stop after it.
    theInfo->scene = static_cast<std::size_t>(mFrame - 1);
    theInfo->number_scenes = 1;
  }
  MagickImagePtr theImages;
  if (mRead == MagickRead::kPixels) {
    theImages.reset(BlobToImage(theInfo.get(), inData, inLength, mException.get()));
  } else {
    // What BlobToImage does for a coder that reads memory, through a pixel
    // cache that keeps no row: a ping, or a decode whose rows are dropped.
    SetImageInfoBlob(theInfo.get(), inData, inLength);
    CopyMagickString(theInfo->filename, (inFormat + ":").c_str(), MaxTextExtent);
    const auto theRead = [&](bool inPing) {
      theInfo->ping = inPing ? MagickTrue : MagickFalse;
      return MagickImagePtr(ReadStream(theInfo.get(), DropRows, mException.get()));
    };
    const bool theAttributes = mRead == MagickRead::kAttributes;
    const bool thePing = !theAttributes || !IsOneOf(kPSDNames, inFormat);
    theImages = theRead(thePing);
    // A ping that fails where a decode may not (a GIF whose LZW data ends
    // before its sub-blocks do), or that cannot tell a TIFF's alpha, gives
    // way to a decode.
    const bool thePingFailed = thePing && (mException->severity >= ErrorException || !theImages);
    if (theAttributes && (thePingFailed || (IsOneOf(kTIFFNames, inFormat) &&
                                            !AddTIFFAlpha(theImages.get(), inData, inLength)))) {
      ClearException();
      theImages = theRead(false);
    }
    for (Image* theImage = theImages.get(); theImage; theImage = GetNextImageInList(theImage))
      theImage->ping = MagickTrue;
  }
  if (mFrame == 0 || theCutFrame || !theImages)
    return theImages.release();
  // The frame alone, its pixels shared with the list's.
  const Image* theFrame = GetImageFromList(theImages.get(), mFrame - 1);
  return theFrame ? CloneImage(theFrame, 0, 0, MagickTrue, mException.get()) : nullptr;
}

bool MagickReader::Admits(const void* inData, std::size_t inLength, const char* inName)
{
  const PNGFacts theFacts = CheckPNGStream(static_cast<const BYTE*>(inData), inLength);
  mDeclaredArea = static_cast<LONGLONG>(std::min<ULONGLONG>(ULONGLONG{theFacts.mWidth} * theFacts.mHeight, INT64_MAX));
  if (!theFacts.mFault.empty()) {
    ThrowException(mException.get(), CorruptImageError, theFacts.mFault.c_str(), inName);
    return false;
  }
  // ImageMagick refuses these too, but without a word.
  if (theFacts.mWidth > GetMagickResourceLimit(WidthResource) || theFacts.mHeight > GetMagickResourceLimit(HeightResource)) {
    ThrowException(mException.get(), ResourceLimitError, "width or height exceeds limit", inName);
    return false;
  }
  return true;
}

LONG MagickReader::GetImageCount() const
{
  return mImages ? Side(GetImageListLength(mImages.get())) : 0;
}

const Image* MagickReader::GetImage(LONG inIndex) const
{
  return mImages ? GetImageFromList(mImages.get(), std::max<LONG>(inIndex, 1) - 1) : nullptr;
}

LONG MagickReader::GetWidth() const
{
  return mImages ? Side(mImages->columns) : 0;
}

LONG MagickReader::GetHeight() const
{
  return mImages ? Side(mImages->rows) : 0;
}

RECT MagickReader::GetBounds() const
{
  return MagickImageBounds(mImages.get());
}

LONGLONG MagickReader::GetArea() const
{
  return LONGLONG{GetWidth()} * GetHeight();
}

// ---- MagickInfoReader

const char* MagickInfoReader::GetError()
{
  return mReader.GetError();
}

void MagickInfoReader::Reset()
{
  mFormatName.clear();
  mReader.Dispose();
  ImageInfoSource::Reset();
}

void MagickInfoReader::SetFile(const char* inPath)
{
  Reset();
  mReader.SetRead(mRead);
  mReader.ReadFile(inPath, nullptr);
  FillRecords();
}

void MagickInfoReader::SetData(const void* inData, LONG inLength, const char* inName)
{
  Reset();
  mReader.SetRead(mRead);
  mReader.ReadBlob(inData, inLength > 0 ? static_cast<std::size_t>(inLength) : 0, inName);
  FillRecords();
}

const BYTE* MagickInfoReader::GetIPTCData()
{
  const Image* theFirst = mReader.GetImage(1);
  const StringInfo* theProfile = theFirst ? GetImageProfile(theFirst, "8bim") : nullptr;
  return theProfile ? GetStringInfoDatum(theProfile) : nullptr;
}

LONG MagickInfoReader::GetIPTCLength()
{
  const Image* theFirst = mReader.GetImage(1);
  const StringInfo* theProfile = theFirst ? GetImageProfile(theFirst, "8bim") : nullptr;
  return theProfile ? Side(GetStringInfoLength(theProfile)) : 0;
}

void MagickInfoReader::FillRecords()
{
  const Image* theFirst = mReader.GetImage(1);
  if (!theFirst)
    return;
  const std::size_t theNameLength = strnlen(theFirst->magick, sizeof theFirst->magick);
  if (theNameLength >= 1 && theNameLength < 256)
    mFormatName.assign(theFirst->magick, theNameLength);
  for (const Image* theImage = theFirst; theImage; theImage = GetNextImageInList(theImage)) {
    const RECT theRect = MagickImagePageRect(theImage);
    AddRecord({ImageDepth(theImage), ImageResolution(theImage), theRect.left, theRect.top, theRect.right,
               theRect.bottom, ColorSpaceCode(theImage->colorspace), GetImageProfile(theImage, "icc") ? 1 : 0});
  }
}

// ---- MagickWriter

LONG MagickWriter::Write()
{
  SetOutput(nullptr, 0);
  mBlob.reset();
  if (!PolicyInForce(GetPath().c_str()))
    return Status();
  MagickImagePtr theImage = BitmapToMagickImage(GetBitmap(), mException.get());
  if (!theImage)
    return GetError() ? Status() : Fail(ImageError, "No image data provided");

  MagickImageInfoPtr theInfo(CloneImageInfo(nullptr));
  theInfo->quality = theImage->quality = MagickQuality(GetQuality());
  theInfo->interlace = theImage->interlace = GetInterlace() ? LineInterlace : NoInterlace;
  if (GetHorizontalResolution() != 0 && GetVerticalResolution() != 0) {
    theImage->units = PixelsPerInchResolution;
    theImage->x_resolution = GetHorizontalResolution();
    theImage->y_resolution = GetVerticalResolution();
    const std::string theDensity = FormatFixed(GetHorizontalResolution()) + "x" + FormatFixed(GetVerticalResolution());
    CloneString(&theInfo->density, theDensity.c_str());
  }
  theImage->matte = GetAlpha() ? MagickTrue : MagickFalse;

  const char* theExtension = GetFileExtension(GetPath().c_str());
  std::string theFormat = *theExtension ? theExtension : GetType();
  // The policy names coders in capitals; ImageMagick loads the coder of a
  // name it is asked for, so a name the policy refuses is never asked.
  std::transform(theFormat.begin(), theFormat.end(), theFormat.begin(), [](unsigned char c) { return std::toupper(c); });
  const bool theAllowed = !theFormat.empty() && IsRightsAuthorized(CoderPolicyDomain, WritePolicyRights, theFormat.c_str());
  MagickExceptionPtr theIgnored(AcquireExceptionInfo());
  const MagickInfo* theCoder = theAllowed ? GetMagickInfo(theFormat.c_str(), theIgnored.get()) : nullptr;
  if (!theCoder || !GetImageEncoder(theCoder))
    return Fail(DelegateError, "No image encoder available");
  CopyMagickString(theImage->magick, theFormat.c_str(), MaxTextExtent);
  CopyMagickString(theInfo->magick, theFormat.c_str(), MaxTextExtent);

  std::size_t theLength = 0;
  mBlob.reset(ImageToBlob(theInfo.get(), theImage.get(), &theLength, mException.get()));
  if (GetError() || !mBlob || theLength > INT32_MAX) {
    mBlob.reset();
    return GetError() ? Status() : Fail(CoderError, kUndefinedError);
  }
  if (IsToFile()) {
    const bool theWritten = WriteWholeFile(GetPath().c_str(), mBlob.get(), static_cast<DWORD>(theLength));
    mBlob.reset();
    return theWritten ? 0 : Fail(FileOpenError, "Unable to write file");
  }
  SetOutput(mBlob.get(), static_cast<LONG>(theLength));
  return 0;
}

LONG MagickWriter::Fail(ExceptionType inSeverity, const char* inReason)
{
  ThrowException(mException.get(), inSeverity, inReason, GetPath().c_str());
  return Status();
}

LONG MagickWriter::Status()
{
  return GetError() ? static_cast<LONG>(mException->severity) : 0;
}

// ---- MagickFormatList

MagickFormatList::MagickFormatList()
{
  std::size_t theCount = 0;
  mList.reset(GetMagickInfoList("*", &theCount, mException.get()));
  if (!mList)
    return;
  constexpr auto kReadWrite = static_cast<PolicyRights>(ReadPolicyRights | WritePolicyRights);
  for (std::size_t i = 0; i < theCount; ++i)
    if (mList[i]->name && IsRightsAuthorized(CoderPolicyDomain, kReadWrite, mList[i]->name))
      mList[mCount++] = mList[i];
}

void MagickFormatList::GetDescription(LONG inIndex, std::string& outText)
{
  outText.clear();
  const std::size_t theIndex = inIndex < 0 ? 0 : static_cast<std::size_t>(inIndex);
  if (theIndex >= mCount)
    return;
  const MagickInfo* theInfo = mList[theIndex];
  const char* theDescription = GetMagickDescription(theInfo);
  outText = std::string(theInfo->name ? theInfo->name : "") + " - " + (theDescription ? theDescription : "");
}

// ---- Free routines

LONG MagickImageToBitmap(const Image* inImage, Bitmap* inBM, LONG inLayout)
{
  const bool theLayoutKnown = inLayout == 32 || inLayout == kTL32BGRAPixelFormat || inLayout == kTL32RGBAPixelFormat;
  TL_ASSERT_TEXT(inImage && inBM, "inImage && inBM");
  TL_ASSERT_TEXT(theLayoutKnown, "FALSE");
  // A pinged image has sizes but no pixels.
  if (!inImage || !inBM || !theLayoutKnown || inImage->ping)
    return Bitmap::kBadParameter;

  MagickImagePtr theConverted;
  if (inImage->colorspace != CMYKColorspace && !IsShownAsIs(inImage->colorspace)) {
    MagickExceptionPtr theException(AcquireExceptionInfo());
    theConverted.reset(CloneImage(inImage, 0, 0, MagickTrue, theException.get()));
    if (!theConverted || !TransformImageColorspace(theConverted.get(), sRGBColorspace))
      return ERROR_NOT_ENOUGH_MEMORY;
    inImage = theConverted.get();
  }

  if (LONG theStatus = inBM->Create(Side(inImage->columns), Side(inImage->rows), 32, nullptr); theStatus != 0)
    return theStatus;
  const bool theRGBA = inLayout == kTL32RGBAPixelFormat;
  if (theRGBA)
    inBM->ToRGBA();
  else
    inBM->FromRGBA();
  LockedPixels thePixels;
  if (!inBM->LockPixels(thePixels))
    return Bitmap::kBadParameter;
  TL_ASSERT_TEXT(thePixels.mPixSize == 32, "thePixSize == 32");
  const LONG theWidth = std::min(RectWidth(inBM->GetBounds()), Side(inImage->columns));
  const LONG theHeight = std::min(thePixels.mHeight, Side(inImage->rows));
  const bool theCopied =
      thePixels.mPixSize == 32 && CopyMagickPixels(inImage, thePixels, theWidth, theHeight, theRGBA);
  if (theCopied && inImage->colorspace == CMYKColorspace)
    InksToRGB(inImage, thePixels, theWidth, theHeight, theRGBA);
  inBM->UnlockPixels();
  return theCopied ? 0 : Bitmap::kBadParameter;
}

MagickImagePtr BitmapToMagickImage(Bitmap* inBM, ExceptionInfo* ioException)
{
  TL_ASSERT(inBM);
  if (!inBM || !inBM->GetHDC())
    return nullptr;
  std::unique_ptr<Bitmap> theCopy;
  if (inBM->GetDepth() != 32) {
    const RECT theBounds = inBM->GetBounds();
    theCopy = std::make_unique<Bitmap>();
    if (theCopy->Create(RectWidth(theBounds), RectHeight(theBounds), 32, nullptr) != 0 ||
        theCopy->CopyAllFromDC(inBM->GetHDC()) != 0)
      return nullptr;
    inBM = theCopy.get();
  }
  LockedPixels thePixels;
  if (!inBM->LockPixels(thePixels))
    return nullptr;
  MagickImagePtr theImage =
      PixelsToMagickImage(thePixels.mBase, RectWidth(inBM->GetBounds()), thePixels.mHeight, thePixels.mRowBytes,
                          inBM->IsRGBA() ? kTL32RGBAPixelFormat : thePixels.mFormat, ioException);
  inBM->UnlockPixels();
  return theImage;
}

void ReadPSDResolution(Image* ioImages)
{
  const StringInfo* theProfile =
      ioImages && std::strcmp(ioImages->magick, "PSD") == 0 ? GetImageProfile(ioImages, "8bim") : nullptr;
  if (!theProfile || GetStringInfoLength(theProfile) > UINT32_MAX)
    return;
  ByteSource theResources(GetStringInfoDatum(theProfile), static_cast<DWORD>(GetStringInfoLength(theProfile)));
  ByteSource theResolution;
  FindImageResource(theResources, kResolutionResourceID, theResolution);
  if (!theResolution.GetCurrentPtr())
    return;
  double theHorizontal = 0;
  double theVertical = 0;
  ReadResolutionInfo(theResolution, theHorizontal, theVertical);
  for (Image* theImage = ioImages; theImage; theImage = GetNextImageInList(theImage)) {
    theImage->units = PixelsPerInchResolution;
    theImage->x_resolution = theHorizontal;
    theImage->y_resolution = theVertical;
  }
}

RECT MagickImageBounds(const Image* inImage)
{
  if (!inImage)
    return RECT{0, 0, 0, 0};
  return RECT{0, 0, Side(inImage->columns), Side(inImage->rows)};
}

RECT MagickImagePageRect(const Image* inImage)
{
  RECT theRect = MagickImageBounds(inImage);
  if (!inImage)
    return theRect;
  if (inImage->page.width != 0 || inImage->page.height != 0)
    theRect = OffsetRectBy(theRect, ClampToLong(inImage->page.x), ClampToLong(inImage->page.y));
  if (const double theRatio = PixelAspectRatio(inImage); theRatio != 1.0)
    theRect.right = ClampToLong(LONGLONG{theRect.left} + TruncToLong(RectWidth(theRect) * theRatio));
  return theRect;
}

RECT MagickImageToPageRect(const Image* inImage, RECT inRect, LONG inFrame)
{
  if (!inImage)
    return inRect;
  if (inFrame > 1 || (inFrame == 0 && inImage->previous))
    inRect = OffsetRectBy(inRect, ClampToLong(-LONGLONG{inImage->page.x}), ClampToLong(-LONGLONG{inImage->page.y}));
  if (const double theRatio = PixelAspectRatio(inImage); theRatio != 1.0) {
    inRect.left = TruncToLong(inRect.left / theRatio);
    inRect.right = TruncToLong(inRect.right / theRatio);
  }
  return inRect;
}
