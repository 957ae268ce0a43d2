#include "platform/gdi/StockObjects.h"

#include "platform/gdi/BrushObject.h"
#include "platform/gdi/FontObject.h"
#include "platform/gdi/HandleTable.h"
#include "platform/gdi/PaletteObject.h"
#include "platform/gdi/PenObject.h"

namespace tlgdi {

namespace {

LOGFONTA SystemLogFont()
{
  LOGFONTA theFont{};
  theFont.lfHeight = 16;
  theFont.lfWeight = FW_NORMAL;
  theFont.lfCharSet = ANSI_CHARSET;
  FontObject::CopyName("DejaVu Sans", theFont.lfFaceName, LF_FACESIZE);
  return theFont;
}

}  // namespace

const StockObjects& StockObjects::Get()
{
  static const StockObjects* const gStock = new StockObjects;  // never destroyed, like the table
  return *gStock;
}

DeviceContext::Selection StockObjects::Add(std::shared_ptr<GdiObject> inObject)
{
  inObject->MarkStock();
  DeviceContext::Selection theSelection;
  theSelection.mObject = inObject;
  theSelection.mHandle = HandleTable::Get().Add(std::move(inObject));
  return theSelection;
}

StockObjects::StockObjects()
{
  mWhiteBrush = Add(std::make_shared<BrushObject>(false, RGB(255, 255, 255)));
  mBlackBrush = Add(std::make_shared<BrushObject>(false, RGB(0, 0, 0)));
  mNullBrush = Add(std::make_shared<BrushObject>(true, 0));
  mWhitePen = Add(std::make_shared<PenObject>(PenObject::kSolid, 1, RGB(255, 255, 255)));
  mBlackPen = Add(std::make_shared<PenObject>(PenObject::kSolid, 1, RGB(0, 0, 0)));
  mNullPen = Add(std::make_shared<PenObject>(PenObject::kNull, 1, 0));
  mSystemFont = Add(std::make_shared<FontObject>(SystemLogFont()));
  mDefaultPalette = Add(std::make_shared<PaletteObject>(PaletteObject::DefaultEntries()));
  DWORD theIgnored = 0;
  mPlaceholder = Add(BitmapObject::MakeDevice(1, 1, 1, nullptr, theIgnored));
}

std::uint32_t StockObjects::Handle(int inIndex) const
{
  switch (inIndex) {
  case WHITE_BRUSH: return mWhiteBrush.mHandle;
  case BLACK_BRUSH: return mBlackBrush.mHandle;
  case NULL_BRUSH: return mNullBrush.mHandle;
  case WHITE_PEN: return mWhitePen.mHandle;
  case BLACK_PEN: return mBlackPen.mHandle;
  case NULL_PEN: return mNullPen.mHandle;
  case SYSTEM_FONT: return mSystemFont.mHandle;
  case DEFAULT_PALETTE: return mDefaultPalette.mHandle;
  default: return 0;
  }
}

std::array<DeviceContext::Selection, DeviceContext::kSlotCount> StockObjects::Defaults(bool inMemory) const
{
  std::array<DeviceContext::Selection, DeviceContext::kSlotCount> theDefaults;
  theDefaults[DeviceContext::kPenSlot] = mBlackPen;
  theDefaults[DeviceContext::kBrushSlot] = mWhiteBrush;
  theDefaults[DeviceContext::kFontSlot] = mSystemFont;
  theDefaults[DeviceContext::kPaletteSlot] = mDefaultPalette;
  if (inMemory)
    theDefaults[DeviceContext::kBitmapSlot] = mPlaceholder;
  return theDefaults;
}

}  // namespace tlgdi
