#include "objects/GraphicIPTC.h"

#include "core/Error.h"
#include "core/EventLog.h"
#include "core/IPTCUtils.h"
#include "core/JPEGParser.h"
#include "core/MappedFileSource.h"
#include "core/Utilities.h"
#include "objects/ByteArrayAccess.h"
#include "objects/ClassTable.h"
#include "platform/base/LastError.h"

namespace {

// A file that cannot be read fails with this OR-ed with the Windows error.
constexpr DWORD kFileErrorBase = 0x80040000u;

// The dataset walk's routine: one new item at the end of the list.
void AddIPTCItem(LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData, LONG inLength,
                 void* inContext)
{
  auto& theList = *static_cast<ObjectList<IPTCItem>*>(inContext);
  ObjectPtr<IPTCItem> theItem;
  const HRESULT hr =
      ComObject<IPTCItem>::Create(&Tessaline4Module(), theItem, inRecord, inDataSet, inName, inData, inLength);
  TL_ASSERT(SUCCEEDED(hr) && (theItem));
  if (theItem)
    static_cast<void>(theList.Append(std::move(theItem)));
}

}  // namespace

LONG GraphicIPTC::ParseIPTC(ByteSource& inStream)
{
  mItemList.Clear();
  if (inStream.GetLength() == 0)
    return 0;
  // A JPEG's resources are its Photoshop APP13 segments joined; without
  // them the bytes are searched as they stand.
  const DWORD theStart = inStream.GetPosition();
  JPEGParser theParser;
  theParser.SetSource(&inStream);
  const std::vector<BYTE> theJoined = theParser.TakePhotoshopResources();
  inStream.Seek(theStart);
  ByteSource theJoinedSource(theJoined.data(), static_cast<DWORD>(theJoined.size()));
  ByteSource& theResources = theJoined.empty() ? inStream : theJoinedSource;
  ByteSource theResource;
  FindImageResource(theResources, kIPTCResourceID, theResource);
  if (theResource.GetLength() == 0)
    return 0;
  return ReadIPTCRecords(theResource, AddIPTCItem, &mItemList);
}

LONG GraphicIPTC::SetDataPtr(const BYTE* inData, LONG inLength)
{
  ByteSource theSource(inData, inData && inLength > 0 ? static_cast<DWORD>(inLength) : 0);
  return ParseIPTC(theSource);
}

HRESULT GraphicIPTC::get__NewEnum(IUnknown** outEnum)
{
  return MethodFrame(kGraphicIPTCReporter, [&] {
    if (!outEnum)
      return E_POINTER;
    return mItemList.NewEnum(outEnum);
  });
}

HRESULT GraphicIPTC::get_Item(LONG inIndex, IIPTCItem** outItem)
{
  return MethodFrame(kGraphicIPTCReporter, [&] {
    if (!outItem)
      return E_POINTER;
    if (!mItemList.HandOut(inIndex, outItem))
      return kGraphicIPTCReporter.ReportError("IPTC index out of range", E_FAIL);
    return S_OK;
  });
}

HRESULT GraphicIPTC::get_Count(LONG* outCount)
{
  return MethodFrame(kGraphicIPTCReporter, [&] {
    if (!outCount)
      return E_POINTER;
    *outCount = mItemList.Count();
    return S_OK;
  });
}

HRESULT GraphicIPTC::SetData(VARIANT inData)
{
  return MethodFrame(kGraphicIPTCReporter, [&] {
    const ByteArrayAccess theData(inData);
    if (FAILED(theData.Result()))
      return kGraphicIPTCReporter.ReportError("Unable to access data", theData.Result());
    TL_ASSERT(theData.Bytes());
    SetDataPtr(theData.Bytes(), theData.Length());
    return S_OK;
  });
}

HRESULT GraphicIPTC::SetFile(BSTR inData)
{
  return MethodFrame(kGraphicIPTCReporter, [&] {
    MappedFileSource theFile;
    if (theFile.Open(WithoutNul(BstrToUtf8(inData), "File name").c_str())) {
      const HRESULT theResult = static_cast<HRESULT>(kFileErrorBase | GetLastError());
      Error theError;
      theError.AddMessage("Unable to access file");
      return kGraphicIPTCReporter.ReportError(theError.KeepFileRefusal() ? theError.GetText() : "Unable to access file",
                                              theResult);
    }
    ParseIPTC(theFile);
    return S_OK;
  });
}
