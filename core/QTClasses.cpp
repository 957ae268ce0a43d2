#include "core/QTClasses.h"

#include "core/Bitmap.h"
#include "core/ColorSpace.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/MappedFileSource.h"
#include "core/NativeBitmap.h"
#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/files/Files.h"
#include "platform/kernel/Handles.h"
#include "platform/quicktime/QuickTime.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

namespace {

constexpr LONG kColorSpaceRGB = 1;
constexpr LONG kColorSpaceCMYK = 11;

// The QuickTime major version, asked once (-1: not yet).
std::atomic<LONG> gQTMajorVersion{-1};

// The error of a failed allocation.
OSErr MemoryError(const QTServices& inQT)
{
  OSErr theErr = inQT.MemError();
  return theErr != kQTNoErr ? theErr : kQTMemFullErr;
}

// A new 'ptr ' data reference to bytes that stay where they are; null when
// out of memory.
Handle NewPointerReference(const QTServices& inQT, const void* inData, Size inLength)
{
  Handle theRef = inQT.NewHandle(sizeof(PointerDataRefRecord));
  if (theRef) {
    const PointerDataRefRecord theRecord{const_cast<void*>(inData), inLength};
    std::memcpy(*theRef, &theRecord, sizeof theRecord);
  }
  return theRef;
}

// The importer's own matrix and whether it has one (an importer that cannot
// say has none).
ComponentResult GetDefaultMatrix(const QTServices& inQT, GraphicsImportComponent inGIC, MatrixRecord& outMatrix,
                                 bool& outHasMatrix)
{
  MatrixRecord theIdentity;
  inQT.SetIdentityMatrix(&theIdentity);
  outMatrix = theIdentity;
  ComponentResult theResult = inQT.GraphicsImportGetDefaultMatrix(inGIC, &outMatrix);
  if (theResult == kQTBadComponentSelector) {
    outMatrix = theIdentity;
    theResult = kQTNoErr;
  }
  outHasMatrix = theResult == kQTNoErr && std::memcmp(&outMatrix, &theIdentity, sizeof theIdentity) != 0;
  return theResult;
}

// The bounding rectangle of a rectangle through a matrix.
Rect MapRect(const QTServices& inQT, const MatrixRecord& inMatrix, Rect inRect)
{
  inQT.TransformRect(&inMatrix, &inRect, nullptr);
  return inRect;
}

// The record of image inIndex of an importer.
ComponentResult ReadImageRecord(const QTServices& inQT, GraphicsImportComponent inGIC, UInt32 inIndex,
                                ImageInfoRecord& outRecord)
{
  std::string theCodecName;
  Rect theBounds{};
  MatrixRecord theMatrix{};
  bool theHasMatrix = false;
  ImageDescriptionHandle theDesc = nullptr;
  ComponentResult theResult = inQT.GraphicsImportSetImageIndex(inGIC, inIndex);
  if (theResult == kQTNoErr)
    theResult = GetImporterImageInfo(inGIC, outRecord.mBitDepth, outRecord.mResolution, theCodecName);
  if (theResult == kQTNoErr)
    theResult = inQT.GraphicsImportGetNaturalBounds(inGIC, &theBounds);
  if (theResult == kQTNoErr)
    theResult = GetDefaultMatrix(inQT, inGIC, theMatrix, theHasMatrix);
  if (theResult == kQTNoErr)
    theResult = inQT.GraphicsImportGetImageDescription(inGIC, &theDesc);
  const ScopedHandle theDescHolder(inQT, reinterpret_cast<Handle>(theDesc));
  if (theResult != kQTNoErr)
    return theResult;
  const RECT theRect = QDRectToRECT(MapRect(inQT, theMatrix, theBounds));
  outRecord.mLeft = theRect.left;
  outRecord.mTop = theRect.top;
  outRecord.mRight = theRect.right;
  outRecord.mBottom = theRect.bottom;
  outRecord.mColorSpace = GetColorSpaceKind(theDesc);
  Handle theProfile = nullptr;
  theResult = inQT.GraphicsImportGetColorSyncProfile(inGIC, &theProfile);
  outRecord.mHasColorProfile = theResult == kQTNoErr && theProfile ? 1 : 0;
  if (theProfile)
    inQT.DisposeHandle(theProfile);
  return kQTNoErr;
}

// The bytes in a new temporary file with the extension of inName, its
// handle closed; false, with the Windows error, when it cannot be written.
bool WriteDataFile(const void* inData, LONG inLength, const std::string& inName, std::string& outPath,
                   LONG& outError)
{
  HANDLE theFile = INVALID_HANDLE_VALUE;
  if (!inData || inLength < 0) {
    outError = ERROR_INVALID_PARAMETER;
    return false;
  }
  if (!WriteTempFile(false, GetFileExtension(inName.c_str()), inData, static_cast<DWORD>(inLength), theFile,
                     outPath)) {
    const DWORD theError = GetLastError();
    TL_ASSERT_TEXT(theError != 0, "mWinErr");
    outError = static_cast<LONG>(theError != 0 ? theError : ERROR_CANNOT_MAKE);
    return false;
  }
  CloseHandle(theFile);
  return true;
}

// An offscreen disposed at the end of the scope.
class ScopedGWorld {
public:
  explicit ScopedGWorld(const QTServices& inQT) : mQT(inQT) {}
  ~ScopedGWorld()
  {
    if (mWorld)
      mQT.DisposeGWorld(mWorld);
  }
  ScopedGWorld(const ScopedGWorld&) = delete;
  ScopedGWorld& operator=(const ScopedGWorld&) = delete;

  const QTServices& mQT;
  GWorldPtr mWorld = nullptr;
};

// Pixels locked for the scope.
class ScopedPixelsLock {
public:
  ScopedPixelsLock(const QTServices& inQT, PixMapHandle inPixMap)
    : mQT(inQT), mPixMap(inPixMap && inQT.LockPixels(inPixMap) ? inPixMap : nullptr)
  {
  }
  ~ScopedPixelsLock()
  {
    if (mPixMap)
      mQT.UnlockPixels(mPixMap);
  }
  ScopedPixelsLock(const ScopedPixelsLock&) = delete;
  ScopedPixelsLock& operator=(const ScopedPixelsLock&) = delete;
  bool IsLocked() const { return mPixMap != nullptr; }

private:
  const QTServices& mQT;
  PixMapHandle mPixMap;
};

// The transfer mode an importer draws with: dithered when the options ask.
SInt32 DrawingMode(const ImportOptions& inOptions)
{
  return inOptions.GetGraphicsMode() + (inOptions.GetDither() != 0 ? kQTDitherCopy : 0);
}

GWorldPtr GWorldOf(Bitmap* inTarget)
{
  return inTarget ? inTarget->GetNativeBitmap()->GetGWorld() : nullptr;
}

}  // namespace

LONG GetColorSpaceKind(ImageDescriptionHandle inDesc)
{
  const QTServices* theQT = QT();
  Handle theExtension = nullptr;
  if (!theQT || !inDesc ||
      theQT->GetImageDescriptionExtension(inDesc, &theExtension, kQTColorSpaceExtension, 1) != kQTNoErr)
    return kColorSpaceRGB;
  const ScopedHandle theHolder(*theQT, theExtension);
  if (!theExtension || theQT->GetHandleSize(theExtension) < 4)
    return kColorSpaceRGB;
  const auto* theBytes = reinterpret_cast<const unsigned char*>(*theExtension);
  const OSType theCode = static_cast<OSType>(theBytes[0]) << 24 | static_cast<OSType>(theBytes[1]) << 16 |
                         static_cast<OSType>(theBytes[2]) << 8 | theBytes[3];
  struct Kind {
    OSType mCode;
    LONG mKind;
  };
  static constexpr Kind kKinds[] = {
      {MakeOSType("b16g"), 2}, {MakeOSType("b32a"), 2}, {MakeOSType("cmyk"), kColorSpaceCMYK},
      {MakeOSType("myuv"), 10}, {MakeOSType("syv9"), 10}, {MakeOSType("y420"), 10},
  };
  for (const Kind& theKind : kKinds)
    if (theKind.mCode == theCode)
      return theKind.mKind;
  return kColorSpaceRGB;
}

// --- QTObject ------------------------------------------------------------------

QTObject::QTObject() : mQT(QT())
{
  const bool theAvailable = QuickTimeAvailable();
  TL_ASSERT_TEXT(theAvailable, "QTOK()");
  if (!theAvailable || !mQT)
    mQTErr = kQTNotInstalledErr;
}

bool QTObject::IsQuickTime5()
{
  LONG theMajor = gQTMajorVersion;
  if (theMajor < 0) {
    LONG theMinor = 0;
    LONG theBugFix = 0;
    if (!QuickTimeAvailable() || GetQuickTimeVersion(theMajor, theMinor, theBugFix) != kQTNoErr)
      return false;
    gQTMajorVersion = theMajor;
  }
  return theMajor >= 5;
}

bool QTObject::Succeeded(LONG inResult)
{
  if (inResult != 0 && !HasError())
    mQTErr = inResult;
  return !HasError();
}

bool QTObject::Proceed(bool inGiven)
{
  if (!inGiven)
    Succeeded(kQTParamErr);
  return !HasError();
}

void QTObject::KeepLastError(DWORD inDefault)
{
  if (HasError())
    return;
  const DWORD theError = GetLastError();
  mWinErr = static_cast<LONG>(theError != 0 ? theError : inDefault);
}

// --- QTImporter ------------------------------------------------------------------

QTImporter::QTImporter() : mMemoryMode(IsQuickTime5() && GetPrefLong("QTMemoryIP", 1) != 0) {}

QTImporter::~QTImporter()
{
  CloseComponentInstance(mGIC);
  for (Handle theHandle : {mDataRef, reinterpret_cast<Handle>(mDesc), mDataHand, mICCHand})
    if (theHandle)
      mQT->DisposeHandle(theHandle);
}

void QTImporter::ReadFile(const char* inPath)
{
  if (!Proceed(inPath != nullptr))
    return;
  mPath = inPath;
  if (mMemoryMode) {
    TL_ASSERT(!mStream);
    if (mStream)
      return;
    auto theFile = std::make_unique<MappedFileSource>();
    if (theFile->Open(inPath)) {
      KeepLastError(ERROR_FILE_NOT_FOUND);
      return;
    }
    mStream = std::move(theFile);
  } else {
    mFileSpec = std::make_unique<FSSpec>();
    Succeeded(mQT->NativePathNameToFSSpec(inPath, mFileSpec.get(), 0));
  }
}

void QTImporter::ReadData(const void* inData, LONG inLength)
{
  const bool theGiven = inData && inLength >= 0;
  TL_ASSERT_TEXT(theGiven, "(inPtr) && (inLen >= 0)");
  if (!Proceed(theGiven))
    return;
  if (mMemoryMode) {
    TL_ASSERT(!mStream);
    if (!mStream)
      mStream = std::make_unique<ByteSource>(inData, static_cast<DWORD>(inLength));
    return;
  }
  TL_ASSERT(!mDataHand);
  if (mDataHand)
    return;
  mDataHand = mQT->NewHandle(inLength);
  if (!mDataHand) {
    Succeeded(MemoryError(*mQT));
    return;
  }
  std::memcpy(*mDataHand, inData, static_cast<std::size_t>(inLength));
}

void QTImporter::Prepare()
{
  if (HasError() || mGIC)
    return;
  if (mMemoryMode) {
    TL_ASSERT(mStream);
    if (!Proceed(mStream != nullptr))
      return;
    // The importer may read the reference while it lives: it goes with it.
    mDataRef = NewPointerReference(*mQT, mStream->Seek(0), mStream->GetLength());
    if (!mDataRef) {
      Succeeded(MemoryError(*mQT));
      return;
    }
    const std::string& theHint = GetName().empty() ? mPath : GetName();
    if (!Succeeded(OpenImporterForData(mDataRef, kQTPointerDataRefType, theHint.c_str(), mGIC)))
      return;
  } else if (mDataHand) {
    if (!Succeeded(OpenImporterForData(mDataHand, 0, GetName().c_str(), mGIC)))
      return;
  } else if (!Proceed(mFileSpec != nullptr)) {
    return;
  } else if (!Succeeded(mQT->GetGraphicsImporterForFile(mFileSpec.get(), &mGIC)) ||
             !Succeeded(ValidateImporter(mGIC))) {
    return;
  }
  if (!Succeeded(mQT->GraphicsImportSetImageIndex(mGIC, static_cast<UInt32>(GetImageIndex()))) ||
      !Succeeded(mQT->GraphicsImportGetNaturalBounds(mGIC, &mNatBounds)) ||
      !Succeeded(GetDefaultMatrix(*mQT, mGIC, mDefaultMatrix, mHasDefaultMatrix)))
    return;
  mBounds = mHasDefaultMatrix ? MapRect(*mQT, mDefaultMatrix, mNatBounds) : mNatBounds;
  if (!Succeeded(mQT->GraphicsImportGetImageDescription(mGIC, &mDesc)))
    return;
  mNatRECT = QDRectToRECT(mNatBounds);
  TL_ASSERT(mGIC);
  TL_ASSERT((mNatRECT.top == 0) && (mNatRECT.left == 0));
}

Rect QTImporter::MappedClipRect()
{
  RECT theClip;
  ImportOptions::GetClipRect(theClip);
  const Rect theRect = RECTToQDRect(theClip);
  return mHasDefaultMatrix ? MapRect(*mQT, mDefaultMatrix, theRect) : theRect;
}

void QTImporter::GetClipRect(RECT& outRect)
{
  Prepare();
  outRect = QDRectToRECT(MappedClipRect());
}

void QTImporter::GetNaturalBounds(RECT& outRect)
{
  Prepare();
  outRect = mNatRECT;
}

void QTImporter::GetBounds(RECT& outRect)
{
  Prepare();
  outRect = QDRectToRECT(mBounds);
}

LONG QTImporter::GetDepth()
{
  Prepare();
  if (HasError())
    return 0;
  TL_ASSERT(mDesc);
  return mDesc ? (**mDesc).depth : 0;
}

LONG QTImporter::DrawsAllPixels()
{
  Prepare();
  if (HasError())
    return 0;
  TL_ASSERT(mGIC);
  SInt16 theDrawsAll = 0;
  return mQT->GraphicsImportDoesDrawAllPixels(mGIC, &theDrawsAll) == kQTNoErr && theDrawsAll == 1 ? 1 : 0;
}

void QTImporter::Draw(Bitmap* inTarget)
{
  const SInt32 theMode = DrawingMode(*this);
  Prepare();
  if (HasError())
    return;
  const Rect theSource = MappedClipRect();
  if (GetColorSpaceKind(mDesc) != kColorSpaceCMYK) {
    DrawInto(inTarget, theSource, theMode);
    return;
  }
  if (!mICCHand && mQT->GraphicsImportGetColorSyncProfile(mGIC, &mICCHand) == kQTNoErr && mICCHand) {
    mQT->HLock(mICCHand);
    mICCPtr = reinterpret_cast<const BYTE*>(*mICCHand);
    TL_ASSERT(mICCPtr);
    mICCLen = static_cast<DWORD>(std::clamp<Size>(mQT->GetHandleSize(mICCHand), 0, std::numeric_limits<DWORD>::max()));
  }
  DrawCMYKInto(inTarget, theSource, theMode);
}

void QTImporter::DrawInto(Bitmap* inTarget, const Rect& inSource, SInt32 inMode)
{
  GWorldPtr theWorld = GWorldOf(inTarget);
  if (!Proceed(theWorld != nullptr))
    return;
  if (!Succeeded(mQT->GraphicsImportSetGWorld(mGIC, theWorld, nullptr)) ||
      !Succeeded(mQT->GraphicsImportSetSourceRect(mGIC, &inSource)))
    return;
  if (HasTransform()) {
    MatrixRecord theMatrix;
    if (!Succeeded(TransformToMatrix(GetTransform(), theMatrix)) ||
        !Succeeded(mQT->GraphicsImportSetMatrix(mGIC, &theMatrix)))
      return;
  }
  const RGBColor theOpColor = GetOpColor();
  if (Succeeded(mQT->GraphicsImportSetGraphicsMode(mGIC, inMode, &theOpColor)))
    Succeeded(mQT->GraphicsImportDraw(mGIC));
}

void QTImporter::DrawCMYKInto(Bitmap* inTarget, const Rect& inSource, SInt32 inMode)
{
  if (!Proceed(inTarget != nullptr))
    return;
  // The offscreen's own pixels, seen a second time as C, M, Y, K.
  ScopedGWorld theOffscreen(*mQT);
  if (!Succeeded(mQT->NewGWorld(&theOffscreen.mWorld, 32, &mNatBounds, nullptr, nullptr, 0)))
    return;
  PixMapHandle thePixMap = mQT->GetGWorldPixMap(theOffscreen.mWorld);
  TL_ASSERT(thePixMap);
  const ScopedPixelsLock theLock(*mQT, thePixMap);
  TL_ASSERT(theLock.IsLocked());
  Ptr theBase = theLock.IsLocked() ? mQT->GetPixBaseAddr(thePixMap) : nullptr;
  TL_ASSERT(theBase);
  const SInt32 theRowBytes = theBase ? mQT->QTGetPixMapHandleRowBytes(thePixMap) : 0;
  TL_ASSERT(theRowBytes);
  if (!Proceed(theBase && theRowBytes > 0))
    return;
  {
    ScopedGWorld theCMYK(*mQT);
    if (!Succeeded(mQT->NewGWorldFromPtr(&theCMYK.mWorld, kQTCMYKPixelFormat, &mNatBounds, nullptr, nullptr, 0,
                                         theBase, theRowBytes)) ||
        !Succeeded(mQT->GraphicsImportSetGWorld(mGIC, theCMYK.mWorld, nullptr)) ||
        !Succeeded(mQT->GraphicsImportDraw(mGIC)))
      return;
  }
  ConvertCMYKToRGB(reinterpret_cast<BYTE*>(theBase), mNatRECT.right, mNatRECT.bottom, theRowBytes, mICCPtr, mICCLen);
  ConvertRGBXToBGRA(reinterpret_cast<BYTE*>(theBase), mNatRECT.right, mNatRECT.bottom, theRowBytes);

  // The target draws the offscreen as the importer would: in the options'
  // mode, dithered already when asked.
  NativeBitmap& theBackend = *inTarget->GetNativeBitmap();
  const DrawingStateSaver theSavedState(theBackend);
  theBackend.SetDither(0);
  theBackend.SetGraphicsMode(static_cast<WORD>(inMode), GetOpColor());
  HDC theDC = mQT->GetPortHDC(theOffscreen.mWorld);
  const RECT theSource = QDRectToRECT(inSource);
  const LONG theResult = HasTransform() ? inTarget->CopyFromDCTransformed(theDC, theSource, GetTransform())
                                        : inTarget->CopyFromDC(theDC, theSource, theSource);
  if (theResult != 0 && !HasError())
    mWinErr = theResult;
}

// --- QTMovieImporter ---------------------------------------------------------------

QTMovieImporter::~QTMovieImporter()
{
  if (mMovie)
    mQT->DisposeMovie(mMovie);
  if (mTempFile)
    DeleteFileA(mPath.c_str());
}

bool QTMovieImporter::MoviesSucceeded()
{
  return Succeeded(mQT->GetMoviesError());
}

void QTMovieImporter::ReadFile(const char* inPath)
{
  if (!Proceed(inPath != nullptr))
    return;
  mPath = inPath;
}

void QTMovieImporter::ReadData(const void* inData, LONG inLength)
{
  const bool theGiven = inData && inLength >= 0;
  TL_ASSERT_TEXT(theGiven, "(inPtr) && (inLen >= 0)");
  if (!Proceed(theGiven))
    return;
  mDataPtr = inData;
  mDataLen = inLength;
}

void QTMovieImporter::WriteDataToTempFile()
{
  if (HasError() || !mPath.empty())
    return;
  std::string thePath;
  if (!WriteDataFile(mDataPtr, mDataLen, GetName(), thePath, mWinErr))
    return;
  ReadFile(thePath.c_str());
  mTempFile = true;
}

void QTMovieImporter::OpenMovie()
{
  if (HasError() || mMovie)
    return;
  WriteDataToTempFile();
  if (HasError())
    return;
  const OSErr theErr = OpenMovieForPath(mMovie, mPath.c_str());
  if (theErr == kQTFileNotFoundErr && mTempFile)
    LogEvent("QuickTime unable to read temporary file \"%s\". Please adjust security settings.", EVENTLOG_ERROR_TYPE,
             mPath.c_str());
  if (!Succeeded(theErr))
    return;
  TL_ASSERT(mMovie);
  if (!mMovie) {
    Succeeded(kQTInvalidMovieErr);
    return;
  }
  const double theTime = static_cast<double>(mQT->GetMovieDuration(mMovie)) * static_cast<double>(GetTime());
  if (!MoviesSucceeded())
    return;
  mQT->SetMovieTimeValue(mMovie, static_cast<TimeValue>(std::clamp<double>(
                                     theTime, std::numeric_limits<TimeValue>::min(), std::numeric_limits<TimeValue>::max())));
  if (!MoviesSucceeded())
    return;
  Rect theBox{};
  mQT->GetMovieBox(mMovie, &theBox);
  if (MoviesSucceeded())
    mNatRECT = QDRectToRECT(theBox);
}

void QTMovieImporter::GetNaturalBounds(RECT& outRect)
{
  OpenMovie();
  outRect = mNatRECT;
}

void QTMovieImporter::Draw(Bitmap* inTarget)
{
  const SInt32 theMode = DrawingMode(*this);
  OpenMovie();
  GWorldPtr theWorld = GWorldOf(inTarget);
  if (!Proceed(theWorld != nullptr))
    return;
  mQT->SetMovieGWorld(mMovie, theWorld, nullptr);
  if (!MoviesSucceeded())
    return;
  if (HasTransform()) {
    MatrixRecord theMatrix;
    if (!Succeeded(TransformToMatrix(GetTransform(), theMatrix)))
      return;
    mQT->SetMovieMatrix(mMovie, &theMatrix);
    if (!MoviesSucceeded())
      return;
  }
  RECT theClip;
  GetClipRect(theClip);
  if (std::memcmp(&theClip, &mNatRECT, sizeof theClip) != 0) {
    RgnHandle theRegion = mQT->NewRgn();
    TL_ASSERT_TEXT(theRegion, "theClipRgn");
    if (!theRegion) {
      Succeeded(kQTMemFullErr);
      return;
    }
    const Rect theRect = RECTToQDRect(theClip);
    mQT->RectRgn(theRegion, &theRect);
    mQT->SetMovieClipRgn(mMovie, theRegion);
    mQT->DisposeRgn(theRegion);
    if (!MoviesSucceeded())
      return;
  }
  // Every track draws in the mode, a movie of one track included.
  const SInt32 theTracks = mQT->GetMovieTrackCount(mMovie);
  if (!MoviesSucceeded())
    return;
  const RGBColor theOpColor = GetOpColor();
  for (SInt32 i = 1; i <= theTracks; ++i) {
    MediaHandler theHandler = mQT->GetMediaHandler(mQT->GetTrackMedia(mQT->GetMovieIndTrack(mMovie, i)));
    if (!MoviesSucceeded())
      return;
    mQT->MediaSetGraphicsMode(theHandler, theMode, &theOpColor);
  }
  mQT->MoviesTask(mMovie, 0);
  MoviesSucceeded();
}

// --- QTExporter --------------------------------------------------------------------

QTExporter::QTExporter() : mMemoryMode(GetPrefLong("QTMemoryOP", 1) != 0) {}

QTExporter::~QTExporter()
{
  if (mDataHand)
    mQT->DisposeHandle(mDataHand);
}

bool QTExporter::SetOptions(GraphicsExportComponent inExporter)
{
  const auto Tolerated = [this](ComponentResult inResult) {
    return Succeeded(inResult == kQTBadComponentSelector || inResult == kQTParamErr ? kQTNoErr : inResult);
  };
  const SInt32 theDepth = GetDepth() == 32 && GetAlpha() == 0 ? 24 : GetDepth();
  if (!Tolerated(mQT->GraphicsExportSetCompressionQuality(inExporter, static_cast<CodecQ>(GetQuality()))) ||
      !Tolerated(mQT->GraphicsExportSetInterlaceStyle(inExporter, static_cast<UInt32>(GetInterlace()))) ||
      !Tolerated(mQT->GraphicsExportSetDepth(inExporter, theDepth)))
    return false;
  if (GetHorizontalResolution() == 0 && GetVerticalResolution() == 0)
    return true;
  Fixed theHorizontal = 0;
  Fixed theVertical = 0;
  if (mQT->GraphicsExportGetResolution(inExporter, &theHorizontal, &theVertical) != kQTNoErr)
    return true;  // left as the exporter has it
  if (GetHorizontalResolution() != 0)
    theHorizontal = mQT->Long2Fix(GetHorizontalResolution());
  if (GetVerticalResolution() != 0)
    theVertical = mQT->Long2Fix(GetVerticalResolution());
  return Tolerated(mQT->GraphicsExportSetResolution(inExporter, theHorizontal, theVertical));
}

LONG QTExporter::Write()
{
  GWorldPtr theWorld = GWorldOf(GetBitmap());
  if (!Proceed(theWorld != nullptr))
    return 1;
  const char* theType = GetType().c_str();
  Component theComponent = nullptr;
  if (!Succeeded(FindExporterComponent(theType, theType, theType, theComponent)) ||
      (!theComponent && !Succeeded(FindExporterComponent(GetPath().c_str(), "", "", theComponent))))
    return 1;
  if (!theComponent) {
    Succeeded(kQTCantFindHandlerErr);
    return 1;
  }
  ScopedInstance theExporter;
  if (!Succeeded(OpenComponentInstance(theComponent, theExporter.Ref())) ||
      !Succeeded(mQT->GraphicsExportSetInputGWorld(theExporter.Ref(), theWorld)))
    return 1;

  const bool theToHandle = !IsToFile() || mMemoryMode;
  if (theToHandle) {
    if (mDataHand) {
      SetOutput(nullptr, 0);
      mQT->DisposeHandle(mDataHand);
    }
    mDataHand = mQT->NewHandle(0);
    TL_ASSERT(mDataHand);
    if (!mDataHand) {
      Succeeded(MemoryError(*mQT));
      return 1;
    }
    if (!Succeeded(mQT->GraphicsExportSetOutputHandle(theExporter.Ref(), mDataHand)))
      return 1;
  } else {
    auto theSpec = std::make_unique<FSSpec>();
    const OSErr theErr = mQT->NativePathNameToFSSpec(GetPath().c_str(), theSpec.get(), 0);
    if (!Succeeded(theErr == kQTFileNotFoundErr ? kQTNoErr : theErr) ||
        !Succeeded(mQT->GraphicsExportSetOutputFile(theExporter.Ref(), theSpec.get())))
      return 1;
  }
  UInt32 theWritten = 0;
  if (!SetOptions(theExporter.Ref()) || !Succeeded(mQT->GraphicsExportDoExport(theExporter.Ref(), &theWritten)))
    return 1;

  if (theToHandle) {
    const Size theSize = mQT->GetHandleSize(mDataHand);
    if (theSize > std::numeric_limits<LONG>::max()) {
      Succeeded(kQTMemFullErr);
      return 1;
    }
    mQT->HLock(mDataHand);
    SetOutput(*mDataHand, static_cast<LONG>(theSize));
  }
  if (IsToFile() && theToHandle &&
      !WriteWholeFile(GetPath().c_str(), GetData(), static_cast<DWORD>(GetLength())))
    KeepLastError(ERROR_WRITE_FAULT);
  return HasError() ? 1 : 0;
}

// --- QTInfoReader ------------------------------------------------------------------

QTInfoReader::QTInfoReader() : mMemoryMode(IsQuickTime5() && GetPrefLong("QTMemoryIP", 1) != 0) {}

void QTInfoReader::Reset()
{
  ImageInfoSource::Reset();
  mFormatDepth = 0;
  mFormatResolution = 0;
  mFormatName.clear();
}

void QTInfoReader::SetFile(const char* inPath)
{
  if (!Proceed(inPath != nullptr))
    return;
  Reset();
  if (mMemoryMode) {
    MappedFileSource theFile;
    if (theFile.Open(inPath)) {
      KeepLastError(ERROR_FILE_NOT_FOUND);
      return;
    }
    if (theFile.GetLength() > static_cast<DWORD>(std::numeric_limits<LONG>::max())) {
      Succeeded(kQTMemFullErr);
      return;
    }
    SetData(theFile.GetView(), static_cast<LONG>(theFile.GetLength()), inPath);
    return;
  }
  ScopedInstance theImporter;
  if (Succeeded(OpenImporterForFile(inPath, theImporter.Ref())))
    FillRecords(theImporter.Ref());
}

void QTInfoReader::SetData(const void* inData, LONG inLength, const char* inName)
{
  if (!Proceed(inData && inLength >= 0))
    return;
  Reset();
  const Handle theData =
      mMemoryMode ? NewPointerReference(*mQT, inData, inLength) : mQT->NewHandle(inLength);
  if (!theData) {
    Succeeded(MemoryError(*mQT));
    return;
  }
  const ScopedHandle theDataHolder(*mQT, theData);
  if (!mMemoryMode)
    std::memcpy(*theData, inData, static_cast<std::size_t>(inLength));
  // Closed before the data it reads are disposed.
  ScopedInstance theImporter;
  if (Succeeded(OpenImporterForData(theData, mMemoryMode ? kQTPointerDataRefType : 0, inName ? inName : "",
                                    theImporter.Ref())))
    FillRecords(theImporter.Ref());
}

void QTInfoReader::FillRecords(GraphicsImportComponent inGIC)
{
  if (HasError())
    return;
  UInt32 theCount = 0;
  bool theFilled = Succeeded(GetImporterImageInfo(inGIC, mFormatDepth, mFormatResolution, mFormatName)) &&
                   Succeeded(mQT->GraphicsImportGetImageCount(inGIC, &theCount));
  for (UInt32 i = 1; theFilled && i <= theCount; ++i) {
    ImageInfoRecord theRecord;
    theFilled = Succeeded(ReadImageRecord(*mQT, inGIC, i, theRecord));
    if (theFilled)
      AddRecord(theRecord);
  }
  if (!theFilled || theCount == 0)
    Reset();
}

// --- QTMovieInfoReader -------------------------------------------------------------

void QTMovieInfoReader::Reset()
{
  ImageInfoSource::Reset();
  mFormatName.clear();
}

void QTMovieInfoReader::SetFile(const char* inPath)
{
  if (!Proceed(inPath != nullptr))
    return;
  Reset();
  mPath = inPath;
  FillRecords();
}

void QTMovieInfoReader::FillRecords()
{
  if (HasError())
    return;
  Movie theMovie = nullptr;
  if (!Succeeded(OpenMovieForPath(theMovie, mPath.c_str())))
    return;
  TL_ASSERT(theMovie);
  if (!theMovie) {
    Succeeded(kQTInvalidMovieErr);
    return;
  }
  Rect theBox{};
  mQT->GetMovieBox(theMovie, &theBox);
  const OSErr theErr = mQT->GetMoviesError();
  mQT->DisposeMovie(theMovie);
  if (!Succeeded(theErr))
    return;
  const RECT theRect = QDRectToRECT(theBox);
  mFormatName = "Movie";
  AddRecord({GetFormatDepth(), GetFormatResolution(), theRect.left, theRect.top, theRect.right, theRect.bottom,
             kColorSpaceRGB, 0});
}

void QTMovieInfoReader::SetData(const void* inData, LONG inLength, const char* inName)
{
  if (HasError())
    return;
  Reset();
  std::string thePath;
  if (!WriteDataFile(inData, inLength, inName ? inName : "", thePath, mWinErr))
    return;
  SetFile(thePath.c_str());
  DeleteFileA(thePath.c_str());
}

// --- QTExporterList ----------------------------------------------------------------

QTExporterList::QTExporterList()
{
  if (!HasError())
    Succeeded(GetExporterInfo(-1, nullptr, nullptr, &mCount));
}

void QTExporterList::GetDescription(LONG inIndex, std::string& outText)
{
  outText.clear();
  if (!HasError())
    Succeeded(GetExporterInfo(inIndex, &outText, nullptr, nullptr));
}
