#include "objects/Graphic.h"

#include "core/Error.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "core/QTClasses.h"
#include "core/Utilities.h"
#include "objects/ByteArrayAccess.h"
#include "objects/ClassTable.h"
#include "platform/base/Utf8.h"

namespace {

constexpr std::size_t kMaxFormatName = 255;

}  // namespace

Graphic::Graphic()
{
  AcquireQuickTime(mQTErr, mQTAvailable);
  const HRESULT hr = ComObject<GraphicIPTC>::Create(&Tessaline4Module(), mIPTC);
  TL_ASSERT(SUCCEEDED(hr) && (mIPTC));
}

Graphic::~Graphic()
{
  ReleaseQuickTime(mQTErr);
}

// ---- The description

void Graphic::Describe(const ReadInput& inRead)
{
  const bool theQTInfo = QuickTimeAvailable() && GetPrefLong("QTInfo", 1) != 0;
  const bool theQTMovies = QuickTimeAvailable() && GetPrefLong("QTImportMovies", 0) != 0;
  const bool theImagesOnly = mReadIPTC == 0 && mReadImages != 0;
  ClearDescription();
  auto theStep = [&](bool inWanted, auto&& inMakeReader) {
    if (!inWanted || !mFormat.empty())
      return;
    auto theReader = inMakeReader();
    inRead(theReader);
    TakeDescription(theReader);
  };
  theStep(theQTInfo && theImagesOnly, [] { return QTInfoReader(); });
  theStep(GetPrefLong("IMInfo", 1) != 0, [&] { return MagickInfoReader(mReadIPTC == 0 && mReadImages == 0); });
  theStep(theQTInfo && !theImagesOnly, [] { return QTInfoReader(); });
  theStep(theQTMovies, [] { return QTMovieInfoReader(); });
}

void Graphic::TakeDescription(ImageInfoSource& inInfo)
{
  ClearDescription();
  const std::string_view theName = inInfo.GetFormatName() ? inInfo.GetFormatName() : "";
  mFormat = theName.substr(0, utf8::CutLength(theName, kMaxFormatName));
  for (LONG i = 0; i < inInfo.GetCount(); ++i) {
    ObjectPtr<GraphicImage> theGI;
    const HRESULT hr = ComObject<GraphicImage>::Create(&Tessaline4Module(), theGI, inInfo.GetRecord(i));
    TL_ASSERT(SUCCEEDED(hr) && (theGI));
    if (theGI)
      static_cast<void>(mGIList.Append(std::move(theGI)));
  }
  if (mIPTC)
    mIPTC->SetDataPtr(inInfo.GetIPTCData(), inInfo.GetIPTCLength());
}

void Graphic::ClearDescription()
{
  mGIList.Clear();
  if (mIPTC)
    mIPTC->SetDataPtr(nullptr, 0);
  mFormat.clear();
}

// ---- The collection

HRESULT Graphic::get__NewEnum(IUnknown** outEnum)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outEnum)
      return E_POINTER;
    return mGIList.NewEnum(outEnum);
  });
}

HRESULT Graphic::get_Item(LONG inIndex, IGraphicImage** outImage)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outImage)
      return E_POINTER;
    if (!mGIList.HandOut(inIndex, outImage))
      return kGraphicReporter.ReportError("Image index out of range", E_FAIL);
    return S_OK;
  });
}

HRESULT Graphic::get_Count(LONG* outCount)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outCount)
      return E_POINTER;
    *outCount = mGIList.Count();
    return S_OK;
  });
}

// ---- Properties

HRESULT Graphic::get_Format(VARIANT* outValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, mFormat);
    return S_OK;
  });
}

HRESULT Graphic::get_Drawable(VARIANT* outValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, !mGIList.Empty());
    return S_OK;
  });
}

HRESULT Graphic::get_ReadImages(VARIANT* outValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, mReadImages == 1);
    return S_OK;
  });
}

// A text that does not parse is not reported; the flag keeps its value.
HRESULT Graphic::put_ReadImages(VARIANT inValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    static_cast<void>(ParseBool(VariantText(inValue, "Graphic ReadImages"), mReadImages));
    return S_OK;
  });
}

HRESULT Graphic::get_ReadIPTC(VARIANT* outValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, mReadIPTC == 1);
    return S_OK;
  });
}

HRESULT Graphic::put_ReadIPTC(VARIANT inValue)
{
  return MethodFrame(kGraphicReporter, [&] {
    static_cast<void>(ParseBool(VariantText(inValue, "Graphic ReadIPTC"), mReadIPTC));
    return S_OK;
  });
}

HRESULT Graphic::get_IPTC(IGraphicIPTC** outIPTC)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!outIPTC)
      return E_POINTER;
    TL_ASSERT(mIPTC);
    if (!mIPTC) {
      *outIPTC = nullptr;
      return E_OUTOFMEMORY;
    }
    *outIPTC = mIPTC.Get();
    (*outIPTC)->AddRef();
    return S_OK;
  });
}

// ---- Methods

HRESULT Graphic::SetFile(VARIANT* inFile)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!inFile)
      return E_POINTER;
    const std::string thePath = VariantText(*inFile, "File name");
    Error theRefusal;
    if (!FileExists(thePath.c_str()) && theRefusal.KeepFileRefusal()) {
      ClearDescription();
      theRefusal.MethodFailed("Graphic SetFile", thePath, 0, theRefusal.mWindowsCode);
      return kGraphicReporter.ReportError(theRefusal.GetText(), E_FAIL);
    }
    Describe([&](ImageInfoSource& ioReader) { ioReader.SetFile(thePath.c_str()); });
    return S_OK;
  });
}

HRESULT Graphic::SetData(VARIANT* inData, VARIANT* inType)
{
  return MethodFrame(kGraphicReporter, [&] {
    if (!inData || !inType)
      return E_POINTER;
    const std::string theType = VariantText(*inType, "Type");
    const ByteArrayAccess theData(*inData);
    if (FAILED(theData.Result())) {
      ClearDescription();
      return kGraphicReporter.ReportError("Unable to access data", E_FAIL);
    }
    TL_ASSERT(theData.Bytes());
    Describe([&](ImageInfoSource& ioReader) { ioReader.SetData(theData.Bytes(), theData.Length(), theType.c_str()); });
    return S_OK;
  });
}
