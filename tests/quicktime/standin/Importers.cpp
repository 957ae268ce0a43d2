// Graphics importer instances.

#include "tests/quicktime/standin/Importers.h"

#include "tests/quicktime/standin/AtomContainer.h"
#include "tests/quicktime/standin/BmpCodec.h"
#include "tests/quicktime/standin/Components.h"
#include "tests/quicktime/standin/DecodedImage.h"
#include "tests/quicktime/standin/FileSpecs.h"
#include "tests/quicktime/standin/GWorlds.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"
#include "tests/quicktime/standin/ImageDescriptions.h"
#include "tests/quicktime/standin/JpegCodec.h"

#include <cstring>
#include <new>
#include <string>

namespace {

// The readers of one file format.
struct Codec {
  bool (*mValidate)(std::string_view inBytes);
  OSErr (*mReadInfo)(std::string_view inBytes, ImageInfo& outInfo);
  OSErr (*mDecode)(std::string_view inBytes, DecodedImage& outImage);
  OSErr (*mReadProfile)(std::string_view inBytes, std::string& outProfile);
};

OSErr NoProfile(std::string_view, std::string& outProfile)
{
  outProfile.clear();
  return kQTNoErr;
}

constexpr Codec kJpeg{JpegCodec::Validate, JpegCodec::ReadInfo, JpegCodec::Decode, JpegCodec::ReadProfile};
constexpr Codec kBmp{BmpCodec::Validate, BmpCodec::ReadInfo, BmpCodec::Decode, NoProfile};

const Codec& CodecOf(const ComponentRecord& inComponent)
{
  return inComponent.mKind == ComponentKind::kJpegImporter ? kJpeg : kBmp;
}

enum class Source { kNone, kFile, kHandle, kReference };

struct GraphicsImporter : ComponentInstanceRecord {
  using ComponentInstanceRecord::ComponentInstanceRecord;

  const Codec& mCodec = CodecOf(mComponent);
  Source mSource = Source::kNone;
  std::string mFilePath;
  std::string mFileBytes;  // read on first use
  bool mFileRead = false;
  Handle mDataHandle = nullptr;
  Handle mDataRef = nullptr;
  OSType mDataRefType = 0;

  GWorldPtr mWorld = nullptr;
  bool mHasSourceRect = false;
  Rect mSourceRect{};
  MatrixRecord mMatrix = IdentityMatrix();
};

GraphicsImporter* AsImporter(ComponentInstance inInstance)
{
  return dynamic_cast<GraphicsImporter*>(LiveInstance(inInstance));
}

// The bytes of the importer's data; an error when there are none.
OSErr DataBytes(GraphicsImporter& ioImporter, std::string_view& outBytes)
{
  switch (ioImporter.mSource) {
    case Source::kNone:
      return kQTParamErr;
    case Source::kFile:
      if (!ioImporter.mFileRead) {
        OSErr theErr = ReadWholeFile(ioImporter.mFilePath, ioImporter.mFileBytes);
        if (theErr != kQTNoErr)
          return theErr;
        ioImporter.mFileRead = true;
      }
      outBytes = ioImporter.mFileBytes;
      return kQTNoErr;
    case Source::kHandle:
      if (CheckHandle(ioImporter.mDataHandle) != kQTNoErr)
        return kQTBadDataRefErr;
      outBytes = HandleBytes(ioImporter.mDataHandle);
      return kQTNoErr;
    case Source::kReference: {
      std::string_view theRef = HandleBytes(ioImporter.mDataRef);
      if (ioImporter.mDataRefType == kQTPointerDataRefType && theRef.size() >= sizeof(PointerDataRefRecord)) {
        PointerDataRefRecord theRecord;
        std::memcpy(&theRecord, theRef.data(), sizeof theRecord);
        if ((!theRecord.data && theRecord.dataLength != 0) || theRecord.dataLength < 0)
          return kQTBadDataRefErr;
        outBytes = {static_cast<const char*>(theRecord.data), static_cast<std::size_t>(theRecord.dataLength)};
        return kQTNoErr;
      }
      if (ioImporter.mDataRefType == kQTHandleDataRefType && theRef.size() >= sizeof(Handle)) {
        Handle theData;
        std::memcpy(&theData, theRef.data(), sizeof theData);
        if (CheckHandle(theData) != kQTNoErr)
          return kQTBadDataRefErr;
        outBytes = HandleBytes(theData);
        return kQTNoErr;
      }
      return kQTBadDataRefErr;
    }
  }
  return kQTParamErr;
}

OSErr ReadInfo(GraphicsImporter& ioImporter, ImageInfo& outInfo)
{
  std::string_view theBytes;
  OSErr theErr = DataBytes(ioImporter, theBytes);
  return theErr != kQTNoErr ? theErr : ioImporter.mCodec.mReadInfo(theBytes, outInfo);
}

void ForgetData(GraphicsImporter& ioImporter)
{
  ioImporter.mSource = Source::kNone;
  ioImporter.mFilePath.clear();
  ioImporter.mFileBytes.clear();
  ioImporter.mFileRead = false;
  ioImporter.mDataHandle = nullptr;
  ioImporter.mDataRef = nullptr;
  ioImporter.mDataRefType = 0;
}

OSErr GetGraphicsImporterForFile(const FSSpec* inFile, GraphicsImportComponent* outImporter)
{
  if (!inFile || !outImporter)
    return kQTParamErr;
  *outImporter = nullptr;
  std::string theBytes;
  OSErr theErr = ReadWholeFile(inFile->path, theBytes);
  if (theErr != kQTNoErr)
    return theErr;
  const ComponentDescription theLooking{kQTGraphicsImporterType, 0, 0, 0, 0};
  for (Component theComponent = NextComponent(nullptr, theLooking); theComponent;
       theComponent = NextComponent(theComponent, theLooking)) {
    if (!CodecOf(*theComponent).mValidate(theBytes))
      continue;
    GraphicsImporter* theImporter = AsImporter(OpenInstance(theComponent));
    if (!theImporter)
      return kQTMemFullErr;
    theImporter->mSource = Source::kFile;
    theImporter->mFilePath = inFile->path;
    theImporter->mFileBytes = std::move(theBytes);
    theImporter->mFileRead = true;
    *outImporter = theImporter;
    return kQTNoErr;
  }
  return kQTCantFindHandlerErr;
}

ComponentResult GraphicsImportSetDataReference(GraphicsImportComponent inImporter, Handle inDataRef,
                                               OSType inDataRefType)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (CheckHandle(inDataRef) != kQTNoErr)
    return kQTParamErr;
  if (inDataRefType != kQTPointerDataRefType && inDataRefType != kQTHandleDataRefType)
    return kQTBadDataRefErr;
  ForgetData(*theImporter);
  theImporter->mSource = Source::kReference;
  theImporter->mDataRef = inDataRef;
  theImporter->mDataRefType = inDataRefType;
  return kQTNoErr;
}

ComponentResult GraphicsImportSetDataHandle(GraphicsImportComponent inImporter, Handle inData)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (CheckHandle(inData) != kQTNoErr)
    return kQTParamErr;
  ForgetData(*theImporter);
  theImporter->mSource = Source::kHandle;
  theImporter->mDataHandle = inData;
  return kQTNoErr;
}

ComponentResult GraphicsImportGetDataFile(GraphicsImportComponent inImporter, FSSpec* outFile)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outFile || theImporter->mSource != Source::kFile)
    return kQTParamErr;
  std::strcpy(outFile->path, theImporter->mFilePath.c_str());  // came from an FSSpec: it fits
  return kQTNoErr;
}

ComponentResult GraphicsImportGetDataHandle(GraphicsImportComponent inImporter, Handle* outData)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outData)
    return kQTParamErr;
  *outData = theImporter->mSource == Source::kHandle ? theImporter->mDataHandle : nullptr;
  return kQTNoErr;
}

ComponentResult GraphicsImportGetDataReference(GraphicsImportComponent inImporter, Handle* outDataRef,
                                               OSType* outDataRefType)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  bool theIsReference = theImporter->mSource == Source::kReference;
  if (outDataRef)
    *outDataRef = theIsReference ? theImporter->mDataRef : nullptr;
  if (outDataRefType)
    *outDataRefType = theIsReference ? theImporter->mDataRefType : 0;
  return kQTNoErr;
}

ComponentResult GraphicsImportValidate(GraphicsImportComponent inImporter, Boolean* outValid)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outValid)
    return kQTParamErr;
  *outValid = false;
  std::string_view theBytes;
  OSErr theErr = DataBytes(*theImporter, theBytes);
  if (theErr != kQTNoErr)
    return theErr;
  *outValid = theImporter->mCodec.mValidate(theBytes);
  return kQTNoErr;
}

ComponentResult GraphicsImportGetImageCount(GraphicsImportComponent inImporter, UInt32* outCount)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outCount)
    return kQTParamErr;
  ImageInfo theInfo;
  OSErr theErr = ReadInfo(*theImporter, theInfo);
  *outCount = theErr == kQTNoErr ? 1 : 0;
  return theErr;
}

ComponentResult GraphicsImportSetImageIndex(GraphicsImportComponent inImporter, UInt32 inIndex)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  return inIndex == 1 ? kQTNoErr : kQTParamErr;
}

ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent inImporter, Rect* outBounds)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outBounds)
    return kQTParamErr;
  *outBounds = {};
  ImageInfo theInfo;
  OSErr theErr = ReadInfo(*theImporter, theInfo);
  if (theErr == kQTNoErr)
    *outBounds = {0, 0, static_cast<SInt16>(theInfo.mHeight), static_cast<SInt16>(theInfo.mWidth)};
  return theErr;
}

ComponentResult GraphicsImportGetDefaultMatrix(GraphicsImportComponent inImporter, MatrixRecord* outMatrix)
{
  if (!AsImporter(inImporter))
    return kQTBadComponentInstance;
  if (!outMatrix)
    return kQTParamErr;
  *outMatrix = IdentityMatrix();
  return kQTNoErr;
}

ComponentResult GraphicsImportGetImageDescription(GraphicsImportComponent inImporter,
                                                  ImageDescriptionHandle* outDescription)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outDescription)
    return kQTParamErr;
  *outDescription = nullptr;
  ImageInfo theInfo;
  OSErr theErr = ReadInfo(*theImporter, theInfo);
  if (theErr != kQTNoErr)
    return theErr;
  *outDescription = NewImageDescription(theInfo);
  return *outDescription ? kQTNoErr : kQTMemFullErr;
}

ComponentResult GraphicsImportGetColorSyncProfile(GraphicsImportComponent inImporter, Handle* outProfile)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outProfile)
    return kQTParamErr;
  *outProfile = nullptr;
  std::string_view theBytes;
  std::string theProfile;
  OSErr theErr = DataBytes(*theImporter, theBytes);
  if (theErr == kQTNoErr)
    theErr = theImporter->mCodec.mReadProfile(theBytes, theProfile);
  if (theErr != kQTNoErr || theProfile.empty())
    return theErr;
  *outProfile = NewHandleWithBytes(theProfile);
  return *outProfile ? kQTNoErr : kQTMemFullErr;
}

ComponentResult GraphicsImportGetMIMETypeList(GraphicsImportComponent inImporter, QTAtomContainer* outList)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!outList)
    return kQTParamErr;
  const ComponentRecord& theComponent = theImporter->mComponent;
  *outList = NewFormatInfo(theComponent.mExtensions, theComponent.mMIME, theComponent.mFormatDescription);
  return *outList ? kQTNoErr : kQTMemFullErr;
}

ComponentResult GraphicsImportDoesDrawAllPixels(GraphicsImportComponent inImporter, SInt16* outDrawsAllPixels)
{
  if (!AsImporter(inImporter))
    return kQTBadComponentInstance;
  if (!outDrawsAllPixels)
    return kQTParamErr;
  *outDrawsAllPixels = 1;
  return kQTNoErr;
}

ComponentResult GraphicsImportSetGWorld(GraphicsImportComponent inImporter, CGrafPtr inPort, GDHandle)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  if (!PixMapOfWorld(inPort))
    return kQTParamErr;
  theImporter->mWorld = inPort;
  return kQTNoErr;
}

ComponentResult GraphicsImportSetSourceRect(GraphicsImportComponent inImporter, const Rect* inSource)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  theImporter->mHasSourceRect = inSource != nullptr;
  if (inSource)
    theImporter->mSourceRect = *inSource;
  return kQTNoErr;
}

ComponentResult GraphicsImportSetMatrix(GraphicsImportComponent inImporter, const MatrixRecord* inMatrix)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  theImporter->mMatrix = inMatrix ? *inMatrix : IdentityMatrix();
  return kQTNoErr;
}

// Every transfer mode draws as copy.
ComponentResult GraphicsImportSetGraphicsMode(GraphicsImportComponent inImporter, SInt32 inMode, const RGBColor*)
{
  if (!AsImporter(inImporter))
    return kQTBadComponentInstance;
  NoteTransferMode(inMode);
  return kQTNoErr;
}

ComponentResult GraphicsImportDraw(GraphicsImportComponent inImporter)
{
  GraphicsImporter* theImporter = AsImporter(inImporter);
  if (!theImporter)
    return kQTBadComponentInstance;
  PixelView theTo;
  if (!PixMapView(PixMapOfWorld(theImporter->mWorld), theTo))
    return kQTParamErr;
  std::string_view theBytes;
  OSErr theErr = DataBytes(*theImporter, theBytes);
  DecodedImage theImage;
  if (theErr == kQTNoErr)
    theErr = theImporter->mCodec.mDecode(theBytes, theImage);
  if (theErr != kQTNoErr)
    return theErr;
  PixelView theFrom;
  theFrom.mBase = theImage.mPixels.data();
  theFrom.mRowBytes = 4 * static_cast<std::ptrdiff_t>(theImage.mWidth);
  theFrom.mWidth = theImage.mWidth;
  theFrom.mHeight = theImage.mHeight;
  theFrom.mFormat = theImage.mFormat;
  Rect theSource = theImporter->mHasSourceRect
                       ? theImporter->mSourceRect
                       : Rect{0, 0, static_cast<SInt16>(theImage.mHeight), static_cast<SInt16>(theImage.mWidth)};
  return DrawPixels(theFrom, theSource, theImporter->mMatrix, theTo);
}

}  // namespace

ComponentInstanceRecord* NewImporter(const ComponentRecord& inComponent)
{
  return new (std::nothrow) GraphicsImporter(inComponent);
}

void AddImporterServices(QTServices& ioTable)
{
  ioTable.GetGraphicsImporterForFile = GetGraphicsImporterForFile;
  ioTable.GraphicsImportSetDataReference = GraphicsImportSetDataReference;
  ioTable.GraphicsImportSetDataHandle = GraphicsImportSetDataHandle;
  ioTable.GraphicsImportGetDataFile = GraphicsImportGetDataFile;
  ioTable.GraphicsImportGetDataHandle = GraphicsImportGetDataHandle;
  ioTable.GraphicsImportGetDataReference = GraphicsImportGetDataReference;
  ioTable.GraphicsImportValidate = GraphicsImportValidate;
  ioTable.GraphicsImportGetImageCount = GraphicsImportGetImageCount;
  ioTable.GraphicsImportSetImageIndex = GraphicsImportSetImageIndex;
  ioTable.GraphicsImportGetNaturalBounds = GraphicsImportGetNaturalBounds;
  ioTable.GraphicsImportGetDefaultMatrix = GraphicsImportGetDefaultMatrix;
  ioTable.GraphicsImportGetImageDescription = GraphicsImportGetImageDescription;
  ioTable.GraphicsImportGetColorSyncProfile = GraphicsImportGetColorSyncProfile;
  ioTable.GraphicsImportGetMIMETypeList = GraphicsImportGetMIMETypeList;
  ioTable.GraphicsImportDoesDrawAllPixels = GraphicsImportDoesDrawAllPixels;
  ioTable.GraphicsImportSetGWorld = GraphicsImportSetGWorld;
  ioTable.GraphicsImportSetSourceRect = GraphicsImportSetSourceRect;
  ioTable.GraphicsImportSetMatrix = GraphicsImportSetMatrix;
  ioTable.GraphicsImportSetGraphicsMode = GraphicsImportSetGraphicsMode;
  ioTable.GraphicsImportDraw = GraphicsImportDraw;
}
