// Image descriptions, their extensions and colour tables, and the drawing
// of uncompressed ('raw ') image data.

#include "tests/quicktime/standin/ImageDescriptions.h"

#include "tests/quicktime/standin/GWorlds.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"
#include "tests/quicktime/standin/Pixels.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kRecordBytes = sizeof(ImageDescription);

Handle AsHandle(ImageDescriptionHandle inDescription)
{
  return reinterpret_cast<Handle>(inDescription);
}

// The description record of a live handle; false for anything else.
bool ReadRecord(ImageDescriptionHandle inDescription, ImageDescription& outRecord)
{
  std::string_view theBytes = HandleBytes(AsHandle(inDescription));
  if (theBytes.size() < kRecordBytes)
    return false;
  std::memcpy(&outRecord, theBytes.data(), kRecordBytes);
  return true;
}

// The data of the inIndex-th (1-based) extension of a type; false when none.
bool FindExtension(ImageDescriptionHandle inDescription, OSType inType, SInt32 inIndex, std::string_view& outData)
{
  ImageDescription theRecord;
  if (!ReadRecord(inDescription, theRecord))
    return false;
  std::string_view theBytes = HandleBytes(AsHandle(inDescription));
  std::size_t theEnd = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(theRecord.idSize, 0)), kRecordBytes,
                                               theBytes.size());
  std::size_t theOffset = kRecordBytes;
  SInt32 theSeen = 0;
  while (theEnd - theOffset >= 8) {
    UInt32 theHeader[2];
    std::memcpy(theHeader, theBytes.data() + theOffset, sizeof theHeader);
    if (theHeader[0] < 8 || theHeader[0] > theEnd - theOffset)
      return false;
    if (theHeader[1] == inType && ++theSeen == inIndex) {
      outData = theBytes.substr(theOffset + 8, theHeader[0] - 8);
      return true;
    }
    theOffset += theHeader[0];
  }
  return false;
}

OSErr AddExtension(ImageDescriptionHandle inDescription, OSType inType, std::string_view inData)
{
  ImageDescription theRecord;
  if (!ReadRecord(inDescription, theRecord))
    return CheckHandle(AsHandle(inDescription)) != kQTNoErr ? kQTBadHandleErr : kQTParamErr;
  std::string theBytes(HandleBytes(AsHandle(inDescription)));
  UInt32 theHeader[2] = {static_cast<UInt32>(inData.size() + 8), inType};
  theBytes.append(reinterpret_cast<const char*>(theHeader), sizeof theHeader);
  theBytes.append(inData);
  theRecord.idSize = static_cast<SInt32>(theBytes.size());
  std::memcpy(theBytes.data(), &theRecord, kRecordBytes);
  return SetHandleBytes(AsHandle(inDescription), theBytes);
}

OSErr SetImageDescriptionCTable(ImageDescriptionHandle inDescription, CTabHandle inTable)
{
  std::string_view theTable = HandleBytes(reinterpret_cast<Handle>(inTable));
  if (theTable.size() < 8)
    return kQTParamErr;
  return AddExtension(inDescription, kQTColorTableExtension, theTable);
}

OSErr GetImageDescriptionExtension(ImageDescriptionHandle inDescription, Handle* outExtension, OSType inType,
                                   SInt32 inIndex)
{
  if (!outExtension)
    return kQTParamErr;
  *outExtension = nullptr;
  std::string_view theData;
  if (!FindExtension(inDescription, inType, inIndex, theData))
    return kQTExtensionNotFoundErr;
  *outExtension = NewHandleWithBytes(theData);
  return *outExtension ? kQTNoErr : kQTMemFullErr;
}

// The entries of a stored colour table.
std::vector<RGBColor> ColorsOf(std::string_view inTable)
{
  std::vector<RGBColor> theColors;
  SInt16 theLast = 0;
  std::memcpy(&theLast, inTable.data() + 6, sizeof theLast);
  std::size_t theCount = std::min<std::size_t>(static_cast<std::size_t>(std::max<int>(theLast, -1) + 1),
                                               (inTable.size() - 8) / sizeof(ColorSpec));
  for (std::size_t i = 0; i < theCount; ++i) {
    ColorSpec theSpec;
    std::memcpy(&theSpec, inTable.data() + 8 + i * sizeof(ColorSpec), sizeof theSpec);
    theColors.push_back(theSpec.rgb);
  }
  return theColors;
}

OSErr FDecompressImage(Ptr inData, ImageDescriptionHandle inDescription, PixMapHandle inDestination,
                       const Rect* inSource, const MatrixRecord* inMatrix, SInt16 inMode, RgnHandle, PixMapHandle,
                       const Rect*, CodecQ, SInt32, SInt32 inBufferSize, void*, void*)
{
  NoteTransferMode(inMode);
  ImageDescription theRecord;
  PixelView theTo;
  if (!inData || !ReadRecord(inDescription, theRecord) || !PixMapView(inDestination, theTo))
    return kQTParamErr;
  if (theRecord.cType != kQTRawCodecType)
    return kQTCantFindHandlerErr;
  PixelView theFrom;
  theFrom.mFormat = static_cast<OSType>(theRecord.depth);
  int theBits = BitsPerPixel(theFrom.mFormat);
  if (theBits == 0 || theRecord.width <= 0 || theRecord.height <= 0)
    return kQTParamErr;
  std::int64_t theRowBytes = PaddedRowBytes(theRecord.width, theBits);
  if (inBufferSize > 0 && inBufferSize < theRowBytes * theRecord.height)
    return kQTBadImageDataErr;
  theFrom.mBase = reinterpret_cast<unsigned char*>(inData);
  theFrom.mRowBytes = static_cast<std::ptrdiff_t>(theRowBytes);
  theFrom.mWidth = theRecord.width;
  theFrom.mHeight = theRecord.height;
  if (IsIndexedFormat(theFrom.mFormat)) {
    std::string_view theTable;
    theFrom.mTable = FindExtension(inDescription, kQTColorTableExtension, 1, theTable) && theTable.size() >= 8
                         ? ColorsOf(theTable)
                         : GreyRamp(theBits);
  }
  Rect theSource = inSource ? *inSource : Rect{0, 0, theRecord.height, theRecord.width};
  return DrawPixels(theFrom, theSource, inMatrix ? *inMatrix : IdentityMatrix(), theTo);
}

}  // namespace

ImageDescriptionHandle NewImageDescription(const ImageInfo& inInfo)
{
  ImageDescription theRecord{};
  theRecord.idSize = static_cast<SInt32>(kRecordBytes);
  theRecord.cType = inInfo.mCodecType;
  theRecord.spatialQuality = kQTCodecNormalQuality;
  theRecord.width = static_cast<SInt16>(inInfo.mWidth);
  theRecord.height = static_cast<SInt16>(inInfo.mHeight);
  theRecord.hRes = DoubleToFixed(inInfo.mResolution);
  theRecord.vRes = theRecord.hRes;
  theRecord.depth = static_cast<SInt16>(inInfo.mDepth);
  theRecord.clutID = -1;
  std::size_t theNameBytes = std::min<std::size_t>(inInfo.mCompressorName.size(), sizeof theRecord.name - 1);
  theRecord.name[0] = static_cast<unsigned char>(theNameBytes);
  std::memcpy(theRecord.name + 1, inInfo.mCompressorName.data(), theNameBytes);

  auto theDescription = reinterpret_cast<ImageDescriptionHandle>(
      NewHandleWithBytes({reinterpret_cast<const char*>(&theRecord), kRecordBytes}));
  if (theDescription && inInfo.mColorSpace != 0) {
    // Stored big-endian, as callers read it.
    const char theCode[4] = {static_cast<char>(inInfo.mColorSpace >> 24), static_cast<char>(inInfo.mColorSpace >> 16),
                             static_cast<char>(inInfo.mColorSpace >> 8), static_cast<char>(inInfo.mColorSpace)};
    if (AddExtension(theDescription, kQTColorSpaceExtension, {theCode, 4}) != kQTNoErr) {
      DisposeHandle(AsHandle(theDescription));
      return nullptr;
    }
  }
  return theDescription;
}

void AddImageDescriptionServices(QTServices& ioTable)
{
  ioTable.FDecompressImage = FDecompressImage;
  ioTable.SetImageDescriptionCTable = SetImageDescriptionCTable;
  ioTable.GetImageDescriptionExtension = GetImageDescriptionExtension;
}
