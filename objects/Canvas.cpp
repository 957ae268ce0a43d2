#include "objects/Canvas.h"

#include "core/EventLog.h"
#include "core/FontNames.h"
#include "core/QTUtils.h"
#include "core/SystemUtilities.h"
#include "objects/DrawGDIShape.h"
#include "objects/DrawGraphic.h"
#include "objects/DrawShape.h"
#include "objects/Export.h"
#include "objects/GetInfo.h"
#include "objects/MiscOps.h"
#include "objects/ReduceColors.h"
#include "objects/Select.h"
#include "platform/automation/Bstr.h"
#include "platform/automation/ComError.h"
#include "platform/base/Utf8.h"

#include <algorithm>

namespace {

// The room of the parameters record's font field, without its NUL.
constexpr std::size_t kMaxFontList = 255;

}  // namespace

Canvas::Canvas()
{
  AcquireQuickTime(mQTErr, mQTAvailable);
}

Canvas::~Canvas()
{
  static_cast<void>(mWorld.Update());
  ReleaseQuickTime(mQTErr);
  mCanvasLog.Finish();
}

// ---- Helpers

void Canvas::SetupOp(Operation& ioOp)
{
  Parameters* theParams = ioOp.GetParams();
  if (!theParams)
    return;
  theParams->PenSize = mPenSize;
  theParams->PaintColor = mPaintColor;
  theParams->PenColor = mPenColor;
  theParams->TextColor = mTextColor;
  theParams->Font = utf8::Cut(mTextFont, kMaxFontList);
  theParams->TextSize = mTextSize;
  theParams->TextStyle = mTextStyle;
  theParams->Charset = mTextCharset;
  theParams->Pattern = NumberToHandle<HBITMAP>(static_cast<std::uint32_t>(mPattern));
  theParams->HAlign = mHAlign;
  theParams->VAlign = mVAlign;
  theParams->Dither = mWorld.GetNativeBitmap()->GetDither();
  theParams->Mode = mWorld.GetNativeBitmap()->GetGraphicsMode();
  theParams->Depth = ColorCountForDepth(mWorld.GetDepth());
}

HRESULT Canvas::RunAndReport(Operation& ioOp)
{
  ioOp.Run(mWorld, &mCanvasLog);
  return ReportOutcome(ioOp);
}

HRESULT Canvas::ReportOutcome(Operation& ioOp)
{
  Error* theError = ioOp.GetError();
  if (!theError || !theError->HasError())
    return S_OK;
  return kCanvasReporter.ReportError(theError->GetText(), E_FAIL);
}

void Canvas::NoteMemory()
{
  mCanvasLog.NoteMemory(static_cast<DWORD>(std::min<LONGLONG>(mWorld.GetDataSize(), 0xFFFFFFFF)));
}

HRESULT Canvas::UpdateWorld(const char* inLabel, const VARIANT& inValue)
{
  const LONG theStatus = mWorld.Update();
  NoteMemory();
  if (theStatus != 0)
    return kCanvasReporter.ReportSetPropertyError(inLabel, inValue, 0, theStatus);
  return S_OK;
}

HRESULT Canvas::PutColor(const char* inLabel, const VARIANT& inValue, ColorValue& ioColor)
{
  if (!ParseColor(VariantText(inValue, inLabel), ioColor))
    return kCanvasReporter.ReportSetPropertyError(inLabel, inValue, 0, 0);
  return S_OK;
}

HRESULT Canvas::PutSize(const char* inLabel, const VARIANT& inValue, LONG& ioSize)
{
  const LONG theSize = VariantLong(inValue);
  if (theSize < 0)
    return kCanvasReporter.ReportSetPropertyError(inLabel, inValue, 0, 0);
  ioSize = theSize;
  return S_OK;
}

// ---- Size and depth

HRESULT Canvas::get_Depth(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatDepth(mWorld.GetDepth()));
    return S_OK;
  });
}

HRESULT Canvas::put_Depth(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    LONG theDepth = 32;
    if (!ParseDepth(VariantText(inValue, "Canvas Depth"), theDepth))
      return kCanvasReporter.ReportSetPropertyError("Canvas Depth", inValue, 0, 0);
    mWorld.SetDepth(theDepth);
    return UpdateWorld("Canvas Depth", inValue);
  });
}

HRESULT Canvas::get_Width(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, mWorld.GetWidth());
    return S_OK;
  });
}

HRESULT Canvas::put_Width(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    mWorld.SetWidth(VariantLong(inValue));
    return UpdateWorld("Canvas Width", inValue);
  });
}

HRESULT Canvas::get_Height(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, mWorld.GetHeight());
    return S_OK;
  });
}

HRESULT Canvas::put_Height(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    mWorld.SetHeight(VariantLong(inValue));
    return UpdateWorld("Canvas Height", inValue);
  });
}

// ---- Colours

HRESULT Canvas::get_Color(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColor(mWorld.GetColor()));
    return S_OK;
  });
}

HRESULT Canvas::put_Color(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    ColorValue theColor;
    if (HRESULT theResult = PutColor("Canvas Color", inValue, theColor); FAILED(theResult))
      return theResult;
    mWorld.SetColor(theColor);
    return S_OK;
  });
}

HRESULT Canvas::get_PaintColor(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColor(mPaintColor));
    return S_OK;
  });
}

HRESULT Canvas::put_PaintColor(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] { return PutColor("Canvas PaintColor", inValue, mPaintColor); });
}

HRESULT Canvas::get_PenColor(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColor(mPenColor));
    return S_OK;
  });
}

HRESULT Canvas::put_PenColor(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] { return PutColor("Canvas PenColor", inValue, mPenColor); });
}

HRESULT Canvas::get_TextColor(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColor(mTextColor));
    return S_OK;
  });
}

HRESULT Canvas::put_TextColor(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] { return PutColor("Canvas TextColor", inValue, mTextColor); });
}

// ---- Pen and text

HRESULT Canvas::get_PenSize(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, mPenSize);
    return S_OK;
  });
}

HRESULT Canvas::put_PenSize(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] { return PutSize("Canvas PenSize", inValue, mPenSize); });
}

HRESULT Canvas::get_TextFont(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    std::string theFace;
    PickInstalledFont(mTextCharset, mTextFont, theFace);
    SetTextResult(outValue, theFace);
    return S_OK;
  });
}

HRESULT Canvas::put_TextFont(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    mTextFont = VariantText(inValue, "Canvas TextFont");
    return S_OK;
  });
}

HRESULT Canvas::get_TextSize(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, mTextSize);
    return S_OK;
  });
}

HRESULT Canvas::put_TextSize(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] { return PutSize("Canvas TextSize", inValue, mTextSize); });
}

HRESULT Canvas::get_TextStyle(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatTextStyle(mTextStyle));
    return S_OK;
  });
}

HRESULT Canvas::put_TextStyle(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!ParseTextStyle(VariantText(inValue, "Canvas TextStyle"), mTextStyle))
      return kCanvasReporter.ReportSetPropertyError("Canvas TextStyle", inValue, 0, 0);
    return S_OK;
  });
}

HRESULT Canvas::get_TextCharset(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatCharset(mTextCharset));
    return S_OK;
  });
}

HRESULT Canvas::put_TextCharset(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    LONG theCharset = 0;
    static_cast<void>(ParseCharset(VariantText(inValue, "Canvas TextCharset"), theCharset));
    mTextCharset = theCharset;
    return S_OK;
  });
}

// ---- Alignment, dither and pattern

HRESULT Canvas::get_HAlign(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatHAlign(mHAlign));
    return S_OK;
  });
}

HRESULT Canvas::put_HAlign(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!ParseHAlign(VariantText(inValue, "Canvas HAlign"), mHAlign))
      return kCanvasReporter.ReportSetPropertyError("Canvas HAlign", inValue, 0, 0);
    return S_OK;
  });
}

HRESULT Canvas::get_VAlign(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatVAlign(mVAlign));
    return S_OK;
  });
}

HRESULT Canvas::put_VAlign(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!ParseVAlign(VariantText(inValue, "Canvas VAlign"), mVAlign))
      return kCanvasReporter.ReportSetPropertyError("Canvas VAlign", inValue, 0, 0);
    return S_OK;
  });
}

HRESULT Canvas::get_Dither(VARIANT* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, mWorld.GetNativeBitmap()->GetDither() == 1);
    return S_OK;
  });
}

HRESULT Canvas::put_Dither(VARIANT inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    LONG theDither = 0;
    if (!ParseBool(VariantText(inValue, "Canvas Dither"), theDither))
      return kCanvasReporter.ReportSetPropertyError("Canvas Dither", inValue, 0, 0);
    mWorld.GetNativeBitmap()->SetDither(theDither);
    return S_OK;
  });
}

HRESULT Canvas::get_Pattern(LONG* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    *outValue = mPattern;
    return S_OK;
  });
}

HRESULT Canvas::put_Pattern(LONG inValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    mPattern = inValue;
    return S_OK;
  });
}

HRESULT Canvas::get_Image(LONG* outValue)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!outValue)
      return E_POINTER;
    *outValue = static_cast<LONG>(HandleToNumber(mWorld.GetHDC()));
    return S_OK;
  });
}

// ---- Methods on the whole canvas

HRESULT Canvas::Erase()
{
  return MethodFrame(kCanvasReporter, [&] {
    EraseCanvas theOp;
    SetupOp(theOp);
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::Invert()
{
  return MethodFrame(kCanvasReporter, [&] {
    InvertCanvas theOp;
    SetupOp(theOp);
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::Clear()
{
  return MethodFrame(kCanvasReporter, [&] {
    mWorld.Clear();
    return S_OK;
  });
}

HRESULT Canvas::GetColor(VARIANT* inLoc, VARIANT* outColor)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inLoc || !outColor)
      return E_POINTER;
    POINT theLocation{0, 0};
    if (!ParsePoint(VariantText(*inLoc, "Location"), theLocation))
      return kCanvasReporter.ReportError("Unable to understand location for color", E_FAIL);
    ColorValue theColor;
    mWorld.GetPixel(theLocation.x, theLocation.y, theColor);
    SetTextResult(outColor, FormatColor(theColor));
    return S_OK;
  });
}

// ---- Methods that come with their operations

HRESULT Canvas::SetChannel(VARIANT inChannel, LONG inImage)
{
  return MethodFrame(kCanvasReporter, [&] {
    ::SetChannel theOp;  // the operation, not this method
    SetupOp(theOp);
    theOp.SetImage(NumberToHandle<HGDIOBJ>(static_cast<std::uint32_t>(inImage)));
    theOp.SetChannelIndex(VariantText(inChannel, "Channel").c_str());
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::DrawFile(VARIANT* inSrc, VARIANT* inParams, VARIANT* outRect)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inSrc || !inParams || !outRect)
      return E_POINTER;
    DrawGraphic theOp("Draw File:");
    SetupOp(theOp);
    theOp.SetFile(VariantText(*inSrc, "File name").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outRect, FormatRect(theOp.GetRect()));
    return S_OK;
  });
}

HRESULT Canvas::DrawData(VARIANT* inSrc, VARIANT* inType, VARIANT* inParams, VARIANT* outRect)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inSrc || !inType || !inParams || !outRect)
      return E_POINTER;
    DrawGraphic theOp("Draw Data:");
    SetupOp(theOp);
    theOp.SetData(inSrc);
    theOp.SetType(VariantText(*inType, "Type").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outRect, FormatRect(theOp.GetRect()));
    return S_OK;
  });
}

HRESULT Canvas::DrawShape(VARIANT* inShape, VARIANT* inParams, VARIANT* outRect)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inShape || !inParams || !outRect)
      return E_POINTER;
    ::DrawShape theOp;
    SetupOp(theOp);
    theOp.SetShape(VariantText(*inShape, "Shape").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outRect, FormatRect(theOp.GetRect()));
    return S_OK;
  });
}

HRESULT Canvas::DrawText(VARIANT* inText, VARIANT* inParams, VARIANT* outRect)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inText || !inParams || !outRect)
      return E_POINTER;
    DrawGDIShape theOp("Draw Text:", true);
    SetupOp(theOp);
    theOp.SetText(Utf8ToUtf16(VariantText(*inText)));
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outRect, FormatRect(theOp.GetRect()));
    return S_OK;
  });
}

HRESULT Canvas::DrawCanvas(LONG inImage, VARIANT* inParams, VARIANT* outRect)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inParams || !outRect)
      return E_POINTER;
    ::DrawCanvas theOp;  // the operation, not this method
    SetupOp(theOp);
    theOp.SetImage(NumberToHandle<HGDIOBJ>(static_cast<std::uint32_t>(inImage)));
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outRect, FormatRect(theOp.GetRect()));
    return S_OK;
  });
}

HRESULT Canvas::TextArea(VARIANT* inText, VARIANT* inParams, VARIANT* outWidth, VARIANT* outHeight,
                         VARIANT* outLineH, VARIANT* outRetn)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inText || !inParams || !outWidth || !outHeight || !outLineH || !outRetn)
      return E_POINTER;
    DrawGDIShape theOp("Text Area:", true);
    SetupOp(theOp);
    theOp.SetText(Utf8ToUtf16(VariantText(*inText)));
    theOp.SetParameters(VariantWholeText(*inParams));
    theOp.SetDrawMode(0);
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    const RECT theArea = theOp.GetTextRect();
    const LONG theWidth = ClampToLong(LONGLONG{theArea.right} - theArea.left);
    const LONG theHeight = ClampToLong(LONGLONG{theArea.bottom} - theArea.top);
    SetLongResult(outWidth, theWidth);
    SetLongResult(outHeight, theHeight);
    SetLongResult(outLineH, theOp.GetLineHeight());
    SetTextResult(outRetn, FormatLong(theWidth) + ',' + FormatLong(theHeight) + ',' +
                               FormatLong(theOp.GetLineHeight()));
    return S_OK;
  });
}

HRESULT Canvas::TextLength(VARIANT* inText, VARIANT* inParams, VARIANT* outVal, VARIANT* outRetn)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inText || !inParams || !outVal || !outRetn)
      return E_POINTER;
    DrawGDIShape theOp("Text Length:", true);
    // The text is laid out on pixels of its own: the canvas stays as it is.
    Bitmap theScratch;
    theScratch.SetWidth(4);
    theScratch.SetHeight(4);
    SetupOp(theOp);
    theOp.SetText(Utf8ToUtf16(VariantText(*inText)));
    theOp.SetParameters(VariantWholeText(*inParams));
    theOp.Run(theScratch, nullptr);
    if (HRESULT theResult = ReportOutcome(theOp); FAILED(theResult))
      return theResult;
    SetTextResult(outVal, FormatLong(theOp.GetCharsDrawn()));
    SetTextResult(outRetn, FormatLong(theOp.GetCharsDrawn()));
    return S_OK;
  });
}

HRESULT Canvas::SaveAs(VARIANT* inFilePath, VARIANT* inParams)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inFilePath || !inParams)
      return E_POINTER;
    Export theOp("Save As:");
    SetupOp(theOp);
    theOp.SetFile(VariantText(*inFilePath, "File name").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::GetAs(VARIANT* inType, VARIANT* inParams, VARIANT* outData)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inType || !inParams || !outData)
      return E_POINTER;
    Export theOp("Get As:");
    SetupOp(theOp);
    theOp.SetType(VariantText(*inType, "Type").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    // The bytes belong to the operation: copied out while it lives.
    TL_ASSERT_TEXT(theOp.GetDataPtr(), "theOp.GetDataPtr()");
    if (HRESULT theResult = PtrToVARIANT(theOp.GetDataPtr(), static_cast<DWORD>(theOp.GetDataSize()), outData);
        FAILED(theResult))
      throw _com_error(theResult);
    return S_OK;
  });
}

HRESULT Canvas::Select(VARIANT* inType, VARIANT* inParams)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inType || !inParams)
      return E_POINTER;
    ::Select theOp;  // the operation, not this method
    SetupOp(theOp);
    theOp.SetSelectionType(VariantText(*inType, "Selection type").c_str());
    theOp.SetParameters(VariantWholeText(*inParams));
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::ReduceColors(VARIANT* inPalette, VARIANT* inColors, VARIANT* inDither)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inPalette || !inColors || !inDither)
      return E_POINTER;
    ::ReduceColors theOp;  // the operation, not this method
    LONG theColors = 0;
    if (!ParseLong(VariantText(*inColors, "Number of colors"), theColors))
      return kCanvasReporter.ReportError("Unable to understand number of colors", E_FAIL);
    LONG theDither = 0;
    if (!ParseBool(VariantText(*inDither, "Dither"), theDither))
      return kCanvasReporter.ReportError("Unable to understand whether to dither", E_FAIL);
    BYTE* theData = nullptr;
    LONG theLength = 0;
    const bool theHasData = SUCCEEDED(AccessVARIANT(*inPalette, theData, theLength));
    struct Unaccess {
      const VARIANT* mPalette;
      ~Unaccess()
      {
        if (mPalette)
          UnaccessVARIANT(*mPalette);
      }
    } theUnaccess{theHasData ? inPalette : nullptr};
    SetupOp(theOp);
    if (theHasData)
      theOp.SetPaletteData(theData, theLength);
    else
      theOp.SetPaletteType(VariantText(*inPalette, "Palette").c_str());
    theOp.SetColors(theColors);
    theOp.SetDither(theDither);
    return RunAndReport(theOp);
  });
}

HRESULT Canvas::GetInfo(VARIANT* inType, VARIANT* outInfo)
{
  return MethodFrame(kCanvasReporter, [&] {
    if (!inType || !outInfo)
      return E_POINTER;
    ::GetInfo theOp;  // the operation, not this method
    SetupOp(theOp);
    theOp.SetType(VariantText(*inType, "Type").c_str());
    if (HRESULT theResult = RunAndReport(theOp); FAILED(theResult))
      return theResult;
    if (theOp.HasData()) {
      if (HRESULT theResult = PtrToVARIANT(theOp.GetDataPtr(), theOp.GetDataSize(), outInfo); FAILED(theResult))
        throw _com_error(theResult);
    } else if (theOp.HasText()) {
      SetTextResult(outInfo, theOp.GetResultText());
    } else {
      VariantInit(outInfo);
    }
    return S_OK;
  });
}
