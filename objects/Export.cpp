#include "objects/Export.h"

#include "core/Bitmap.h"
#include "core/ColorLookup.h"
#include "core/ColorReducer.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/GifEncode.h"
#include "core/ImageMagick.h"
#include "core/Paleteer.h"
#include "core/PixelLock.h"
#include "core/Preferences.h"
#include "core/QTClasses.h"
#include "core/QTUtils.h"
#include "core/Utilities.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <type_traits>

namespace {

constexpr const char* kGIFTypes[] = {"gif", "gif image", "image/gif"};
constexpr const char* kGIFExtensions[] = {"gif"};
// The longest side a GIF file's 16-bit fields hold.
constexpr LONG kMaxGIFSide = 65535;
constexpr const char* kJPEGTypes[] = {"jpg",  "jpg image",  "image/jpg",  "jpeg",      "jpeg image",
                                      "image/jpeg", "jfif", "jfif image", "image/jfif"};
constexpr const char* kJPEGExtensions[] = {"jpg", "jpeg", "jpe", "jfif"};

// A JPEG into memory starts with this much room beyond 3 bytes a pixel, for
// the headers of small pictures.
constexpr std::uint64_t kJPEGHeaderRoom = 4096;

template <std::size_t N>
bool IsOneOf(std::string_view inText, const char* const (&inWords)[N])
{
  return std::any_of(std::begin(inWords), std::end(inWords),
                     [&](const char* inWord) { return EqualsIgnoringCase(inText, inWord); });
}

LONG RoundUpTo4(LONG inRowBytes)
{
  return (inRowBytes + 3) & ~LONG{3};
}

bool ReadDIBSection(HBITMAP inBitmap, DIBSECTION& outSection)
{
  return GetObjectA(inBitmap, sizeof outSection, &outSection) == static_cast<int>(sizeof outSection);
}

LONG JPEGLibraryQuality(LONG inQuality)
{
  LONG theQuality = (inQuality * 100) >> 10;
  if (theQuality > 30)
    theQuality += 20;
  return std::clamp<LONG>(theQuality, 0, 100);
}

struct DeleteGDIObject {
  void operator()(HBITMAP inBitmap) const { DeleteObject(inBitmap); }
};
using BitmapHolder = std::unique_ptr<std::remove_pointer_t<HBITMAP>, DeleteGDIObject>;

}  // namespace

Export::~Export() = default;

void Export::SetFile(const char* inPath)
{
  mToFile = true;
  mPath = inPath;
  AddLogParam("File", inPath);
  if (mPath.empty() && mError)
    mError->AddMessage("File path is blank");
  mOpLog.SetPath(inPath);
}

void Export::SetType(const char* inType)
{
  TL_ASSERT(inType);
  if (!inType || !mParams)
    return;
  mParams->ApplyParameter("type", inType);
  AddLogParam("Type", inType);
}

const void* Export::GetDataPtr() const
{
  return mWriteXX ? mWriteXX->GetData() : mOutput.get();
}

LONG Export::GetDataSize() const
{
  return mWriteXX ? mWriteXX->GetLength() : mOutputLength;
}

LONG Export::DoIt(Bitmap& inWorld)
{
  const std::string& theType = mParams->Type;
  const char* thePathExt = GetFileExtension(mPath.c_str());
  const char* theTypeExt = GetFileExtension(theType.c_str());
  const bool theResolutionGiven = mParams->HRes != 0 || mParams->VRes != 0;
  static_cast<void>(inWorld.Update());
  if (!inWorld.GetHDC())
    mError->AddMessage("Cannot export canvas because it is empty");
  if (mError->HasError())
    return 0;

  if (IsGIFType(theType, theTypeExt, thePathExt)) {
    WriteGIF(inWorld);
    return 0;
  }
  if (IsJPEGType(theType, theTypeExt, thePathExt) && !theResolutionGiven && GetPrefLong("IJLExport", 1)) {
    WriteJPEG(inWorld);
    return 0;
  }
  if (QuickTimeAvailable() && GetPrefLong("QTExport", 1)) {
    WriteQuickTime(inWorld);
    if (!mError->HasError())
      return 0;
  }
  if (GetPrefLong("IMExport", 1)) {
    mError->Clear(true);
    WriteMagick(inWorld);
    return 0;
  }
  if (!mError->HasError())
    mError->AddMessage("No writer is available for this file type");
  return 0;
}

// ---- The writers of ExportOptions

LONG Export::RunWriter(Bitmap& inWorld)
{
  TL_ASSERT(mWriteXX);
  if (!mWriteXX)
    return 1;
  mWriteXX->SetColors(mParams->Depth);
  mWriteXX->SetType(mParams->Type);
  mWriteXX->SetBitmap(&inWorld);
  mWriteXX->SetQuality(mParams->Quality);
  mWriteXX->SetInterlace(mParams->Interlace);
  mWriteXX->SetAlpha(mParams->Alpha);
  mWriteXX->SetResolution(mParams->HRes, mParams->VRes);
  // A path the writer cannot keep would send the picture to memory instead.
  if (mToFile && mWriteXX->SetPath(mPath) == 0) {
    mError->mWindowsCode = ERROR_FILENAME_EXCED_RANGE;
    return 1;
  }
  return mWriteXX->Write();
}

void Export::WriteQuickTime(Bitmap& inWorld)
{
  TL_ASSERT(!mWriteXX);
  auto theWriter = std::make_unique<QTExporter>();
  const QTExporter* theExporter = theWriter.get();
  mWriteXX = std::move(theWriter);
  if (RunWriter(inWorld) == 0)
    return;
  mError->mQuickTimeCode = theExporter->GetQTError();
  if (const LONG theCode = theExporter->GetWinError(); theCode != 0)
    mError->mWindowsCode = theCode;
  mWriteXX.reset();
}

void Export::WriteMagick(Bitmap& inWorld)
{
  TL_ASSERT(!mWriteXX);
  auto theWriter = std::make_unique<MagickWriter>();
  MagickWriter* theMagick = theWriter.get();
  mWriteXX = std::move(theWriter);
  SetLastError(ERROR_SUCCESS);  // so that only the writer's own file can be a refused one
  if (RunWriter(inWorld) == 0)
    return;
  if (const char* theText = theMagick->GetError()) {
    mError->AddMessage("ImageMagick Error - ");
    mError->AddMessage(theText);
  }
  if (mToFile)
    mError->KeepFileRefusal();
  mWriteXX.reset();
}

// ---- GIF

bool Export::IsGIFType(const std::string& inType, const char* inTypeExt, const char* inPathExt) const
{
  return IsOneOf(inType, kGIFTypes) || IsOneOf(inTypeExt, kGIFExtensions) || IsOneOf(inPathExt, kGIFExtensions);
}

void Export::WriteGIF(Bitmap& inWorld)
{
  const bool theUseLZW = GetPrefLong("UseLZW", 0) == 1;
  const LONG theColors = std::min<LONG>(mParams->Depth, Paleteer::kMaxColors);
  const RECT theBounds = inWorld.GetBounds();
  if (theBounds.right > kMaxGIFSide || theBounds.bottom > kMaxGIFSide) {
    mError->AddMessage("A GIF image is at most 65535 pixels wide and high");
    return;
  }

  // The source: 32 bits to reduce, or 8 bits with a table of their own.
  Bitmap theCopy;
  Bitmap* theSource = &inWorld;
  const LONG theDepth = inWorld.GetDepth();
  if (theDepth != 32) {
    const LONG theCopyDepth = theColors < ColorCountForDepth(theDepth) ? 32 : theDepth <= 7 ? 8 : 0;
    if (theCopyDepth != 0) {
      LONG theStatus = theCopy.Create(inWorld.GetWidth(), inWorld.GetHeight(), theCopyDepth, nullptr);
      if (theStatus == 0)
        theStatus = theCopy.CopyAllFromDC(inWorld.GetHDC());
      if (theStatus != 0) {
        mError->mWindowsCode = theStatus;
        return;
      }
      theSource = &theCopy;
    }
  }
  TL_ASSERT_TEXT(theSource->GetDepth() == 8 || theSource->GetDepth() == 32,
                 "(theBM->GetDepth() == 8) || (theBM->GetDepth() == 32)");

  RGBQUAD theTable[Paleteer::kMaxColors]{};
  LONG theCount = 0;
  DIBSECTION theIndexed{};
  Paleteer thePaleteer;  // owns the indexed pixels of a 32-bit source
  if (theSource->GetDepth() == 32) {
    thePaleteer.SetSource(theSource->GetHBITMAP());
    thePaleteer.SetKind(mParams->Palette);
    thePaleteer.SetColorCount(theColors);
    theCount = thePaleteer.CreateIndexedDIB(theTable);
    DIBSECTION theFull{};
    ColorReducer theReducer;
    theReducer.SetPaletteKind(mParams->Palette);
    if (theCount == 0 || !ReadDIBSection(theSource->GetHBITMAP(), theFull) ||
        !ReadDIBSection(thePaleteer.GetHBITMAP(), theIndexed) ||
        !theReducer.Reduce(&theFull, &theIndexed, theTable, theCount, mParams->Dither != 0)) {
      ReportGIFFailure("Unable to reduce the canvas to the colours of a GIF image");
      return;
    }
  } else {
    theCount = theSource->GetColorTable(theTable);
    if (!ReadDIBSection(theSource->GetHBITMAP(), theIndexed)) {
      ReportGIFFailure("Unable to read the canvas's pixels for a GIF image");
      return;
    }
  }

  const LONG theWidth = theIndexed.dsBm.bmWidth;
  const LONG theHeight = theIndexed.dsBm.bmHeight;
  const LONG theRowBytes = RoundUpTo4(theIndexed.dsBm.bmWidthBytes);
  const BYTE* thePixels = static_cast<const BYTE*>(theIndexed.dsBm.bmBits);

  LONG theTransparent = -1;
  if (mParams->HasTransparentPoint) {
    POINT& thePoint = mParams->TransparentPoint;
    thePoint.x = std::clamp<LONG>(thePoint.x, 0, theWidth - 1);
    thePoint.y = std::clamp<LONG>(thePoint.y, 0, theHeight - 1);
    theTransparent = thePixels[static_cast<std::ptrdiff_t>(thePoint.y) * theRowBytes + thePoint.x];
  }
  if (mParams->HasTransparentColor) {
    ColorLookup theLookup;
    const ColorValue& theColor = mParams->TransparentColor;
    static_cast<void>(theLookup.Init(theTable, theCount, Paleteer::kAdaptive, false));  // true only with a cache
    theTransparent = theLookup.FindNearest(static_cast<BYTE>(theColor.mRed >> 8),
                                           static_cast<BYTE>(theColor.mGreen >> 8),
                                           static_cast<BYTE>(theColor.mBlue >> 8));
  }

  std::size_t theSize = 0;
  mOutput = GifEncode(theWidth, theHeight, theCount, theTable, theTransparent, mParams->Interlace == 1, theUseLZW,
                      theRowBytes, thePixels, theSize);
  if (!mOutput) {
    ReportGIFFailure("Unable to encode the GIF image");
    return;
  }
  mOutputLength = static_cast<LONG>(theSize);
  if (mToFile && !WriteWholeFile(mPath.c_str(), mOutput.get(), static_cast<DWORD>(theSize)))
    RecordLastError();
}

// ---- JPEG

bool Export::IsJPEGType(const std::string& inType, const char* inTypeExt, const char* inPathExt) const
{
  return IsOneOf(inType, kJPEGTypes) || IsOneOf(inTypeExt, kJPEGExtensions) ||
         IsOneOf(inPathExt, kJPEGExtensions);
}

void Export::WriteJPEG(Bitmap& inWorld)
{
  // The size of the pixels themselves: a refused resize leaves the canvas's
  // wanted size (and depth) ahead of them.
  const RECT theBounds = inWorld.GetBounds();
  const LONG theWidth = theBounds.right;
  const LONG theHeight = theBounds.bottom;

  std::unique_ptr<BYTE[]> theBlock;
  LONG theLength = 0;
  if (!mToFile) {
    const std::uint64_t theCapacity =
      std::uint64_t{static_cast<DWORD>(theWidth)} * static_cast<DWORD>(theHeight) * 3 + kJPEGHeaderRoom;
    if (theCapacity <= static_cast<std::uint64_t>(std::numeric_limits<LONG>::max()))
      theBlock.reset(new (std::nothrow) BYTE[theCapacity]);
    if (!theBlock) {
      mError->mWindowsCode = ERROR_NOT_ENOUGH_MEMORY;
      return;
    }
    theLength = static_cast<LONG>(theCapacity);
  }

  // The library takes a 32-bit canvas's B, G, R, A rows as they stand; other
  // 32-bit pixels are packed, other depths copied, into B, G, R rows.
  std::optional<PixelLock> theLock;
  if (inWorld.GetDepth() == 32)
    theLock.emplace(inWorld);
  const bool the32Bit = theLock && theLock->Is32Bit();
  std::unique_ptr<BYTE[]> thePacked;
  BitmapHolder theDIB24;
  BYTE* thePixels = nullptr;
  LONG theRowBytes = 0;
  LONG theChannels = 3;
  if (the32Bit && theLock->IsBGRABytes()) {
    thePixels = theLock->GetPixels().mBase;
    theRowBytes = theLock->GetPixels().mRowBytes;
    theChannels = 4;
  } else if (the32Bit) {
    thePacked = Convert32To24(inWorld);
    if (!thePacked) {
      mError->mWindowsCode = ERROR_NOT_ENOUGH_MEMORY;
      return;
    }
    thePixels = thePacked.get();
    theRowBytes = theWidth * 3;
  } else {
    theDIB24.reset(MakeDIB24(inWorld.GetHDC(), theWidth, theHeight));
    DIBSECTION theSection{};
    if (!theDIB24 || !ReadDIBSection(theDIB24.get(), theSection)) {
      TL_ASSERT_TEXT(!theDIB24, "num");
      RecordLastError();
      return;
    }
    thePixels = static_cast<BYTE*>(theSection.dsBm.bmBits);
    theRowBytes = RoundUpTo4(theSection.dsBm.bmWidthBytes);
  }

  const LONG theQuality = JPEGLibraryQuality(mParams->Quality);
  const char* thePath = mToFile ? mPath.c_str() : nullptr;
  IJLERR theResult =
    IJLWrite(thePath, theBlock.get(), theLength, theWidth, theHeight, theRowBytes, theChannels, thePixels, theQuality);
  if (theResult == IJL_BUFFER_TOO_SMALL && !mToFile) {
    // The library says how much the stream needs: once more into that.
    theBlock.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(theLength)]);
    if (!theBlock) {
      mError->mWindowsCode = ERROR_NOT_ENOUGH_MEMORY;
      return;
    }
    theResult = IJLWrite(thePath, theBlock.get(), theLength, theWidth, theHeight, theRowBytes, theChannels,
                         thePixels, theQuality);
  }
  if (theResult < 0) {
    mError->AddMessage("JPEG Error Message - ");
    mError->AddMessage(ijlErrorStr(theResult));
    if (mToFile)
      mError->KeepFileRefusal();
    return;
  }
  if (mToFile) {
    if (!SetFileLength(mPath.c_str(), static_cast<DWORD>(theLength)))
      RecordLastError();
    return;
  }
  mOutput = std::move(theBlock);
  mOutputLength = theLength;
}

IJLERR Export::IJLWrite(const char* inPath, BYTE* ioBlock, LONG& ioLength, LONG inWidth, LONG inHeight,
                        LONG inRowBytes, LONG inChannels, BYTE* inPixels, LONG inQuality)
{
  JPEG_CORE_PROPERTIES theProps;
  IJLERR theResult = ijlInit(&theProps);
  if (theResult != IJL_OK)
    return theResult;
  theProps.DIBBytes = inPixels;
  theProps.DIBWidth = inWidth;
  theProps.DIBHeight = inHeight;
  theProps.DIBPadBytes = inRowBytes - inChannels * inWidth;
  theProps.DIBChannels = inChannels;
  theProps.DIBColor = inChannels == 4 ? IJL_BGRA : IJL_BGR;
  theProps.JPGFile = inPath;
  theProps.JPGBytes = ioBlock;
  theProps.JPGSizeBytes = ioLength;
  theProps.JPGWidth = inWidth;
  theProps.JPGHeight = inHeight;
  theProps.JPGChannels = 3;
  theProps.JPGColor = IJL_YCBCR;
  theProps.JPGSubSampling = IJL_422;
  theProps.JPGQuality = inQuality;
  theResult = ijlWrite(&theProps, inPath ? IJL_FILE_WRITE_IMAGE : IJL_MEMORY_WRITE_IMAGE);
  ioLength = theProps.JPGSizeBytes;
  ijlFree(&theProps);
  return theResult;
}

HBITMAP Export::MakeDIB24(HDC inDC, LONG inWidth, LONG inHeight)
{
  HDC theDC = CreateCompatibleDC(inDC);
  if (!theDC)
    return nullptr;
  BITMAPV4HEADER theHeader{};
  theHeader.bV4Size = sizeof theHeader;
  theHeader.bV4Width = inWidth;
  theHeader.bV4Height = -inHeight;
  theHeader.bV4Planes = 1;
  theHeader.bV4BitCount = 24;
  theHeader.bV4V4Compression = BI_RGB;
  void* theBits = nullptr;
  HBITMAP theDIB =
    CreateDIBSection(theDC, reinterpret_cast<const BITMAPINFO*>(&theHeader), DIB_RGB_COLORS, &theBits, nullptr, 0);
  if (theDIB) {
    HGDIOBJ theOld = SelectObject(theDC, theDIB);
    TL_ASSERT_TEXT(theOld, "oldBM");
    if (!theOld || !BitBlt(theDC, 0, 0, inWidth, inHeight, inDC, 0, 0, SRCCOPY)) {
      DWORD theError = GetLastError();
      if (theOld)
        SelectObject(theDC, theOld);
      DeleteObject(theDIB);
      SetLastError(theError);
      theDIB = nullptr;
    } else {
      SelectObject(theDC, theOld);
    }
  }
  DeleteDC(theDC);
  return theDIB;
}

std::unique_ptr<BYTE[]> Export::Convert32To24(Bitmap& inWorld)
{
  TL_ASSERT(inWorld.GetDepth() == 32);
  const RECT theBounds = inWorld.GetBounds();
  const LONG theWidth = theBounds.right;
  const LONG theHeight = theBounds.bottom;
  const std::uint64_t theSize = std::uint64_t{static_cast<DWORD>(theWidth)} * static_cast<DWORD>(theHeight) * 3;
  std::unique_ptr<BYTE[]> thePacked(new (std::nothrow) BYTE[theSize]);
  const PixelLock theLock(inWorld);
  if (!thePacked || !theLock.Is32Bit())
    return nullptr;
  const LockedPixels& theLocked = theLock.GetPixels();
  TL_ASSERT_TEXT(theLocked.mRowBytes % 4 == 0, "(rowLen % 4) == 0");
  BYTE* theOut = thePacked.get();
  for (LONG theY = 0; theY < theHeight; ++theY) {
    const BYTE* theRow = theLocked.mBase + static_cast<std::ptrdiff_t>(theY) * theLocked.mRowBytes;
    for (LONG theX = 0; theX < theWidth; ++theX, theOut += 3) {
      DWORD thePixel;
      std::memcpy(&thePixel, theRow + 4 * theX, 4);
      theOut[0] = static_cast<BYTE>(theLock.Channel(thePixel, PixelLock::kBlueChannel));
      theOut[1] = static_cast<BYTE>(theLock.Channel(thePixel, PixelLock::kGreenChannel));
      theOut[2] = static_cast<BYTE>(theLock.Channel(thePixel, PixelLock::kRedChannel));
    }
  }
  return thePacked;
}

void Export::ReportGIFFailure(const char* inWhat)
{
  mError->AddMessage(inWhat);
  if (const DWORD theCode = GetLastError(); theCode != 0)
    mError->mWindowsCode = static_cast<LONG>(theCode);
}

void Export::RecordLastError()
{
  const DWORD theCode = GetLastError();
  TL_ASSERT_TEXT(theCode != 0, "err");
  if (theCode != 0)
    mError->mWindowsCode = static_cast<LONG>(theCode);
  else
    mError->mHResultCode = E_FAIL;
}
