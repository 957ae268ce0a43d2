// The Win32-shaped functions of Gdi.h: each checks its handles and arguments,
// sets the last error when it fails, and hands the work to the object units.
// Pens, brushes, shapes and paths are in GdiShapes.cpp, text in GdiText.cpp.

#include "platform/gdi/Gdi.h"

#include "platform/base/AsciiCase.h"
#include "platform/base/HandleNumbers.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/BitmapObject.h"
#include "platform/gdi/Blitter.h"
#include "platform/gdi/BrushObject.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/DibDescription.h"
#include "platform/gdi/DrawingLibraries.h"
#include "platform/gdi/FontCatalog.h"
#include "platform/gdi/FontObject.h"
#include "platform/gdi/GdiCalls.h"
#include "platform/gdi/HandleTable.h"
#include "platform/gdi/PaletteObject.h"
#include "platform/gdi/StockObjects.h"

#include <cmath>
#include <cstring>
#include <string_view>

using namespace tlgdi;

namespace {

constexpr int kPixelsPerInch = 96;
constexpr WORD kPaletteVersion = 0x300;
constexpr UINT kGdiError = 0xFFFFFFFFu;

bool IsInvertible(const XFORM& inXform)
{
  const double theValues[] = {inXform.eM11, inXform.eM12, inXform.eM21, inXform.eM22, inXform.eDx, inXform.eDy};
  for (double theValue : theValues)
    if (!std::isfinite(theValue))
      return false;
  const double theDeterminant = double(inXform.eM11) * inXform.eM22 - double(inXform.eM12) * inXform.eM21;
  return theDeterminant != 0 && std::isfinite(theDeterminant);
}

HBITMAP MakeDibSection(HDC inDC, const BITMAPINFO* inInfo, UINT inUsage, void* inCallerBits, LONG inRowBytes,
                       void** outBits)
{
  if (inDC && !FindDC(inDC))
    return nullptr;
  if (inUsage != DIB_RGB_COLORS)
    return Fail<HBITMAP>(ERROR_INVALID_PARAMETER);
  DibDescription theDescription;
  DWORD theError = DibDescription::Read(inInfo, theDescription);
  if (theError != ERROR_SUCCESS)
    return Fail<HBITMAP>(theError);
  std::shared_ptr<BitmapObject> theBitmap = BitmapObject::MakeDib(theDescription, inCallerBits, inRowBytes, theError);
  if (!theBitmap)
    return Fail<HBITMAP>(theError);
  void* theBits = theBitmap->Bits();
  HBITMAP theHandle = Register<HBITMAP>(std::move(theBitmap));
  if (theHandle && outBits)
    *outBits = theBits;
  return theHandle;
}

// Selects inNew into inSlot of inDC: the previous object's handle, or null
// with the last error set.
template <typename H>
H SelectInto(DeviceContext& inDC, DeviceContext::Slot inSlot, const DeviceContext::Selection& inNew)
{
  DWORD theError = ERROR_SUCCESS;
  const std::uint32_t thePrevious = inDC.Select(inSlot, inNew, theError);
  if (thePrevious == 0)
    return Fail<H>(theError);
  return NumberToHandle<H>(thePrevious);
}

// The DIB section selected into inDC, whose colour table inCount entries at
// inColors are read from or written to; null when there is none (with the last
// error set for a bad handle or a missing buffer).
std::shared_ptr<BitmapObject> ColorTableOwner(HDC inDC, UINT inCount, const RGBQUAD* inColors)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return nullptr;
  if (!inColors && inCount > 0)
    return Fail<std::shared_ptr<BitmapObject>>(ERROR_INVALID_PARAMETER);
  DeviceContext::DrawState theState = theDC->ForDrawing();
  if (!theState.mBitmap || !theState.mBitmap->IsDibSection())
    return nullptr;
  return std::move(theState.mBitmap);
}

BOOL Blit(HDC inDest, const BlitRect& inDestRect, HDC inSource, const BlitRect& inSourceRect, DWORD inRop)
{
  std::shared_ptr<DeviceContext> theDest = FindDC(inDest);
  std::shared_ptr<DeviceContext> theSource = theDest ? FindDC(inSource) : nullptr;
  if (!theSource)
    return FALSE;
  if (inRop != SRCCOPY && inRop != NOTSRCCOPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DeviceContext::DrawState theTo = theDest->ForDrawing();
  const DeviceContext::DrawState theFrom = theSource->ForDrawing();
  if (std::memcmp(&theFrom.mTransform, &DeviceContext::kIdentity, sizeof(XFORM)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!theTo.mBitmap || !theFrom.mBitmap || StockObjects::Get().IsPlaceholder(theTo.mBitmap.get()))
    return TRUE;
  Blitter theBlitter(theTo.mBitmap->View(), theTo.mBitmap->Colors(), theTo.mTransform);
  theBlitter.Copy(theFrom.mBitmap->View(), theFrom.mBitmap->Colors(), inDestRect, inSourceRect,
                  inRop == SRCCOPY ? RasterOp::kCopy : RasterOp::kInvert);
  return TRUE;
}

}  // namespace

// ---------------------------------------------------------------------------
// Objects and handles

DWORD GetObjectType(HGDIOBJ inObject)
{
  std::shared_ptr<GdiObject> theObject = HandleTable::Get().Find(TableNumber(inObject));
  if (!theObject) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(theObject->Kind());
}

int GetObjectA(HGDIOBJ inObject, int inSize, LPVOID outBuffer)
{
  std::shared_ptr<GdiObject> theObject = Find(inObject, {ObjectKind::kBitmap, ObjectKind::kFont, ObjectKind::kPalette,
                                                         ObjectKind::kPen, ObjectKind::kBrush});
  if (!theObject)
    return 0;
  switch (theObject->Kind()) {
  case ObjectKind::kBitmap: {
    const auto& theBitmap = static_cast<const BitmapObject&>(*theObject);
    const bool theWhole = theBitmap.IsDibSection() && (!outBuffer || inSize >= int(sizeof(DIBSECTION)));
    if (!outBuffer)
      return theWhole ? sizeof(DIBSECTION) : sizeof(BITMAP);
    if (theWhole) {
      DIBSECTION theSection;
      theBitmap.Describe(theSection);
      std::memcpy(outBuffer, &theSection, sizeof(theSection));
      return sizeof(DIBSECTION);
    }
    if (inSize < int(sizeof(BITMAP)))
      break;
    BITMAP theRecord;
    theBitmap.Describe(theRecord);
    std::memcpy(outBuffer, &theRecord, sizeof(theRecord));
    return sizeof(BITMAP);
  }
  case ObjectKind::kFont:
    if (!outBuffer)
      return sizeof(LOGFONTA);
    if (inSize < int(sizeof(LOGFONTA)))
      break;
    std::memcpy(outBuffer, &static_cast<const FontObject&>(*theObject).LogFont(), sizeof(LOGFONTA));
    return sizeof(LOGFONTA);
  case ObjectKind::kPalette: {
    if (!outBuffer)
      return sizeof(WORD);
    if (inSize < int(sizeof(WORD)))
      break;
    const auto theCount = static_cast<WORD>(static_cast<const PaletteObject&>(*theObject).Entries().size());
    std::memcpy(outBuffer, &theCount, sizeof(theCount));
    return sizeof(WORD);
  }
  default:
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

HGDIOBJ GetCurrentObject(HDC inDC, UINT inType)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return nullptr;
  DeviceContext::Slot theSlot;
  switch (inType) {
  case OBJ_PEN: theSlot = DeviceContext::kPenSlot; break;
  case OBJ_BRUSH: theSlot = DeviceContext::kBrushSlot; break;
  case OBJ_FONT: theSlot = DeviceContext::kFontSlot; break;
  case OBJ_PAL: theSlot = DeviceContext::kPaletteSlot; break;
  case OBJ_BITMAP: theSlot = DeviceContext::kBitmapSlot; break;
  default: return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER);
  }
  const std::uint32_t theHandle = theDC->Current(theSlot).mHandle;
  if (theHandle == 0)
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER);
  return NumberToHandle<HGDIOBJ>(theHandle);
}

HGDIOBJ SelectObject(HDC inDC, HGDIOBJ inObject)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return nullptr;
  DeviceContext::Selection theNew;
  theNew.mObject = Find(inObject, {ObjectKind::kPen, ObjectKind::kBrush, ObjectKind::kFont, ObjectKind::kBitmap});
  if (!theNew.mObject)
    return nullptr;
  theNew.mHandle = HandleToNumber(inObject);
  DeviceContext::Slot theSlot;
  switch (theNew.mObject->Kind()) {
  case ObjectKind::kPen: theSlot = DeviceContext::kPenSlot; break;
  case ObjectKind::kBrush: theSlot = DeviceContext::kBrushSlot; break;
  case ObjectKind::kFont: theSlot = DeviceContext::kFontSlot; break;
  default:
    if (!theDC->IsMemory())
      return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER);
    theSlot = DeviceContext::kBitmapSlot;
    break;
  }
  return SelectInto<HGDIOBJ>(*theDC, theSlot, theNew);
}

BOOL DeleteObject(HGDIOBJ inObject)
{
  std::shared_ptr<GdiObject> theObject = Find(inObject, {ObjectKind::kPen, ObjectKind::kBrush, ObjectKind::kFont,
                                                         ObjectKind::kBitmap, ObjectKind::kPalette});
  if (!theObject)
    return FALSE;
  if (theObject->IsStock())
    return TRUE;
  if (!theObject->ClaimForDeletion()) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  if (!HandleTable::Get().Remove(TableNumber(inObject))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HGDIOBJ GetStockObject(int inIndex)
{
  const std::uint32_t theHandle = StockObjects::Get().Handle(inIndex);
  if (theHandle == 0)
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER);
  return NumberToHandle<HGDIOBJ>(theHandle);
}

// ---------------------------------------------------------------------------
// Device contexts

HDC GetDC(HWND inWindow)
{
  if (inWindow)
    return Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE);
  return Register<HDC>(std::make_shared<DeviceContext>(false, StockObjects::Get().Defaults(false)));
}

int ReleaseDC(HWND inWindow, HDC inDC)
{
  if (inWindow) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!Find(inDC, {ObjectKind::kScreenDC}))
    return 0;
  return DeleteDC(inDC);
}

HDC CreateCompatibleDC(HDC inDC)
{
  if (inDC && !FindDC(inDC))
    return nullptr;
  return Register<HDC>(std::make_shared<DeviceContext>(true, StockObjects::Get().Defaults(true)));
}

BOOL DeleteDC(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!HandleTable::Get().Remove(TableNumber(inDC))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  theDC->Close();
  return TRUE;
}

int GetDeviceCaps(HDC inDC, int inIndex)
{
  if (!FindDC(inDC))
    return 0;
  return inIndex == LOGPIXELSX || inIndex == LOGPIXELSY ? kPixelsPerInch : 0;
}

int SetMapMode(HDC inDC, int inMode)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return 0;
  if (inMode != MM_TEXT)
    return Fail<int>(ERROR_INVALID_PARAMETER);
  return theDC->SetMapMode(inMode);
}

int GetMapMode(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  return theDC ? theDC->MapMode() : 0;
}

int SetGraphicsMode(HDC inDC, int inMode)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return 0;
  if (inMode != GM_COMPATIBLE && inMode != GM_ADVANCED)
    return Fail<int>(ERROR_INVALID_PARAMETER);
  const int thePrevious = theDC->SetGraphicsMode(inMode);
  if (thePrevious == 0)
    SetLastError(ERROR_INVALID_PARAMETER);
  return thePrevious;
}

int GetGraphicsMode(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  return theDC ? theDC->GraphicsMode() : 0;
}

BOOL SetWorldTransform(HDC inDC, const XFORM* inXform)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!inXform || !IsInvertible(*inXform) || !theDC->SetTransform(*inXform)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL GetWorldTransform(HDC inDC, XFORM* outXform)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!outXform) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *outXform = theDC->Transform();
  return TRUE;
}

BOOL ModifyWorldTransform(HDC inDC, const XFORM* inXform, DWORD inMode)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (inMode != MWT_IDENTITY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  theDC->ResetTransform();
  return TRUE;
}

// ---------------------------------------------------------------------------
// Bitmaps

HBITMAP CreateBitmap(int inWidth, int inHeight, UINT inPlanes, UINT inBitCount, const void* inBits)
{
  if (inPlanes != 1 || inBitCount > 32)
    return Fail<HBITMAP>(ERROR_INVALID_PARAMETER);
  DWORD theError = ERROR_SUCCESS;
  std::shared_ptr<BitmapObject> theBitmap =
    BitmapObject::MakeDevice(inWidth, inHeight, static_cast<int>(inBitCount), inBits, theError);
  if (!theBitmap)
    return Fail<HBITMAP>(theError);
  return Register<HBITMAP>(std::move(theBitmap));
}

HBITMAP CreateDIBSection(HDC inDC, const BITMAPINFO* inInfo, UINT inUsage, void** outBits, HANDLE inSection,
                         DWORD inOffset)
{
  if (outBits)
    *outBits = nullptr;
  if (inSection)
    return Fail<HBITMAP>(ERROR_INVALID_PARAMETER);
  return MakeDibSection(inDC, inInfo, inUsage, nullptr, 0, outBits);
}

HBITMAP CreateDIBSectionOverMemory(HDC inDC, const BITMAPINFO* inInfo, UINT inUsage, void* inBits, LONG inRowBytes)
{
  if (!inBits || inRowBytes < 0)
    return Fail<HBITMAP>(ERROR_INVALID_PARAMETER);
  return MakeDibSection(inDC, inInfo, inUsage, inBits, inRowBytes, nullptr);
}

UINT GetDIBColorTable(HDC inDC, UINT inStart, UINT inCount, RGBQUAD* outColors)
{
  std::shared_ptr<BitmapObject> theBitmap = ColorTableOwner(inDC, inCount, outColors);
  return theBitmap ? theBitmap->GetColors(inStart, inCount, outColors) : 0;
}

UINT SetDIBColorTable(HDC inDC, UINT inStart, UINT inCount, const RGBQUAD* inColors)
{
  std::shared_ptr<BitmapObject> theBitmap = ColorTableOwner(inDC, inCount, inColors);
  return theBitmap ? theBitmap->SetColors(inStart, inCount, inColors) : 0;
}

BOOL GdiFlush()
{
  return TRUE;
}

// ---------------------------------------------------------------------------
// Drawing

BOOL BitBlt(HDC inDest, int inX, int inY, int inWidth, int inHeight, HDC inSource, int inSourceX, int inSourceY,
            DWORD inRop)
{
  return Blit(inDest, BlitRect{double(inX), double(inY), double(inWidth), double(inHeight)}, inSource,
              BlitRect{double(inSourceX), double(inSourceY), double(inWidth), double(inHeight)}, inRop);
}

BOOL StretchBlt(HDC inDest, int inX, int inY, int inWidth, int inHeight, HDC inSource, int inSourceX, int inSourceY,
                int inSourceWidth, int inSourceHeight, DWORD inRop)
{
  return Blit(inDest, BlitRect{double(inX), double(inY), double(inWidth), double(inHeight)}, inSource,
              BlitRect{double(inSourceX), double(inSourceY), double(inSourceWidth), double(inSourceHeight)}, inRop);
}

HBRUSH CreateSolidBrush(COLORREF inColor)
{
  return Register<HBRUSH>(std::make_shared<BrushObject>(false, inColor & 0x00FFFFFFu));
}

int FillRect(HDC inDC, const RECT* inRect, HBRUSH inBrush)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  std::shared_ptr<BrushObject> theBrush = theDC ? Find<BrushObject>(inBrush, {ObjectKind::kBrush}) : nullptr;
  if (!theBrush)
    return 0;
  if (!inRect)
    return Fail<int>(ERROR_INVALID_PARAMETER);
  const DeviceContext::DrawState theState = theDC->ForDrawing();
  if (theBrush->IsNull() || !theState.mBitmap || StockObjects::Get().IsPlaceholder(theState.mBitmap.get()) ||
      inRect->right <= inRect->left || inRect->bottom <= inRect->top)
    return 1;
  Blitter theBlitter(theState.mBitmap->View(), theState.mBitmap->Colors(), theState.mTransform);
  theBlitter.Fill(BlitRect{double(inRect->left), double(inRect->top), double(inRect->right) - inRect->left,
                           double(inRect->bottom) - inRect->top},
                  PixelFromColorRef(theBrush->Color()));
  return 1;
}

COLORREF GetPixel(HDC inDC, int inX, int inY)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return CLR_INVALID;
  const DeviceContext::DrawState theState = theDC->ForDrawing();
  if (!theState.mBitmap)
    return CLR_INVALID;
  const XFORM& m = theState.mTransform;
  const double theX = std::floor(m.eM11 * double(inX) + m.eM21 * double(inY) + m.eDx + 0.5);
  const double theY = std::floor(m.eM12 * double(inX) + m.eM22 * double(inY) + m.eDy + 0.5);
  const PixelView theView = theState.mBitmap->View();
  if (!(theX >= 0 && theX < theView.mWidth && theY >= 0 && theY < theView.mHeight))
    return CLR_INVALID;
  const std::vector<std::uint32_t> theColors = theState.mBitmap->Colors();
  const std::uint8_t* theRow = theView.Row(static_cast<std::int32_t>(theY));
  const auto theColumn = static_cast<std::int32_t>(theX);
  std::uint32_t thePixel = 0;
  theView.mFormat->Read(&theRow, &theColumn, 1, theColors.data(), &thePixel);
  return RGB(static_cast<BYTE>(thePixel >> 16), static_cast<BYTE>(thePixel >> 8), static_cast<BYTE>(thePixel));
}

// ---------------------------------------------------------------------------
// Palettes

HPALETTE CreateHalftonePalette(HDC inDC)
{
  if (inDC && !FindDC(inDC))
    return nullptr;
  return Register<HPALETTE>(std::make_shared<PaletteObject>(PaletteObject::HalftoneEntries()));
}

HPALETTE CreatePalette(const LOGPALETTE* inPalette)
{
  if (!inPalette || inPalette->palVersion != kPaletteVersion || inPalette->palNumEntries == 0)
    return Fail<HPALETTE>(ERROR_INVALID_PARAMETER);
  std::vector<PALETTEENTRY> theEntries(inPalette->palNumEntries);
  std::memcpy(theEntries.data(), reinterpret_cast<const std::uint8_t*>(inPalette) + offsetof(LOGPALETTE, palPalEntry),
              theEntries.size() * sizeof(PALETTEENTRY));
  return Register<HPALETTE>(std::make_shared<PaletteObject>(std::move(theEntries)));
}

UINT GetPaletteEntries(HPALETTE inPalette, UINT inStart, UINT inCount, PALETTEENTRY* outEntries)
{
  std::shared_ptr<PaletteObject> thePalette = Find<PaletteObject>(inPalette, {ObjectKind::kPalette});
  if (!thePalette)
    return 0;
  const std::vector<PALETTEENTRY>& theEntries = thePalette->Entries();
  if (!outEntries)
    return static_cast<UINT>(theEntries.size());
  if (inStart >= theEntries.size())
    return 0;
  const UINT theCount = std::min<UINT>(inCount, static_cast<UINT>(theEntries.size()) - inStart);
  std::memcpy(outEntries, theEntries.data() + inStart, theCount * sizeof(PALETTEENTRY));
  return theCount;
}

HPALETTE SelectPalette(HDC inDC, HPALETTE inPalette, BOOL inForceBackground)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return nullptr;
  DeviceContext::Selection theNew;
  theNew.mObject = Find(inPalette, {ObjectKind::kPalette});
  if (!theNew.mObject)
    return nullptr;
  theNew.mHandle = HandleToNumber(inPalette);
  return SelectInto<HPALETTE>(*theDC, DeviceContext::kPaletteSlot, theNew);
}

UINT RealizePalette(HDC inDC)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return kGdiError;
  const DeviceContext::Selection thePalette = theDC->Current(DeviceContext::kPaletteSlot);
  if (!thePalette.mObject)
    return kGdiError;
  return static_cast<UINT>(static_cast<const PaletteObject&>(*thePalette.mObject).Entries().size());
}

// ---------------------------------------------------------------------------
// Fonts

int EnumFontFamiliesExA(HDC inDC, LOGFONTA* inFilter, FONTENUMPROCA inCallback, LPARAM inParam, DWORD inFlags)
{
  if (!FindDC(inDC))
    return 0;
  if (!inFilter || !inCallback)
    return Fail<int>(ERROR_INVALID_PARAMETER);
  if (!LoadFontconfig())
    return Fail<int>(ERROR_MOD_NOT_FOUND);
  const std::string_view theFace(inFilter->lfFaceName, strnlen(inFilter->lfFaceName, LF_FACESIZE));
  int theResult = 1;
  for (const FontCatalog::Family& theFamily : FontCatalog::Get().Families()) {
    if (!FontCatalog::Covers(theFamily, inFilter->lfCharSet))
      continue;
    if (!theFace.empty() && !EqualsIgnoringCase(theFace, theFamily.mName))
      continue;
    ENUMLOGFONTEXA theEntry{};
    LOGFONTA& theFont = theEntry.elfLogFont;
    theFont.lfWeight = FW_NORMAL;
    theFont.lfCharSet = inFilter->lfCharSet == DEFAULT_CHARSET ? FontCatalog::FirstCharset(theFamily)
                                                                : inFilter->lfCharSet;
    theFont.lfPitchAndFamily = theFamily.mFixedPitch ? FIXED_PITCH : VARIABLE_PITCH;
    FontObject::CopyName(theFamily.mName, theFont.lfFaceName, LF_FACESIZE);
    FontObject::CopyName(theFamily.mName, reinterpret_cast<char*>(theEntry.elfFullName), LF_FULLFACESIZE);
    FontObject::CopyName("Regular", reinterpret_cast<char*>(theEntry.elfStyle), LF_FACESIZE);
    NEWTEXTMETRICEXA theMetrics{};
    theMetrics.ntmTm.tmWeight = FW_NORMAL;
    theMetrics.ntmTm.tmCharSet = theFont.lfCharSet;
    theResult = inCallback(&theEntry.elfLogFont, &theMetrics.ntmTm, TRUETYPE_FONTTYPE, inParam);
    if (theResult == 0)
      break;
  }
  return theResult;
}

HFONT CreateFontIndirectA(const LOGFONTA* inFont)
{
  if (!inFont)
    return Fail<HFONT>(ERROR_INVALID_PARAMETER);
  LOGFONTA theFont = *inFont;
  FontObject::CopyName(std::string_view(inFont->lfFaceName, strnlen(inFont->lfFaceName, LF_FACESIZE)),
                       theFont.lfFaceName, LF_FACESIZE);
  return Register<HFONT>(std::make_shared<FontObject>(theFont));
}

HFONT CreateFontA(int inHeight, int inWidth, int inEscapement, int inOrientation, int inWeight, DWORD inItalic,
                  DWORD inUnderline, DWORD inStrikeOut, DWORD inCharSet, DWORD inOutPrecision, DWORD inClipPrecision,
                  DWORD inQuality, DWORD inPitchAndFamily, LPCSTR inFaceName)
{
  LOGFONTA theFont{};
  theFont.lfHeight = inHeight;
  theFont.lfWidth = inWidth;
  theFont.lfEscapement = inEscapement;
  theFont.lfOrientation = inOrientation;
  theFont.lfWeight = inWeight;
  theFont.lfItalic = static_cast<BYTE>(inItalic);
  theFont.lfUnderline = static_cast<BYTE>(inUnderline);
  theFont.lfStrikeOut = static_cast<BYTE>(inStrikeOut);
  theFont.lfCharSet = static_cast<BYTE>(inCharSet);
  theFont.lfOutPrecision = static_cast<BYTE>(inOutPrecision);
  theFont.lfClipPrecision = static_cast<BYTE>(inClipPrecision);
  theFont.lfQuality = static_cast<BYTE>(inQuality);
  theFont.lfPitchAndFamily = static_cast<BYTE>(inPitchAndFamily);
  FontObject::CopyName(inFaceName ? inFaceName : "", theFont.lfFaceName, LF_FACESIZE);
  return Register<HFONT>(std::make_shared<FontObject>(theFont));
}
