#pragma once
// A device context behind an HDC: the objects selected into it, its mapping
// mode, graphics mode, world transform, text colour and background mode, and
// the path being recorded.
//
// A memory device context draws into the bitmap selected into it; the screen
// context has no pixels of its own. Selections and modes change under the
// context's own lock; drawing takes a copy of what it needs (DrawState) and
// draws with no lock held. Once closed (DeleteDC), a context holds nothing and
// refuses every selection, so no object stays counted as selected by it.

#include "platform/gdi/BitmapObject.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"
#include "platform/gdi/Path.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tlgdi {

class DeviceContext : public GdiObject {
public:
  enum Slot { kPenSlot, kBrushSlot, kFontSlot, kBitmapSlot, kPaletteSlot, kSlotCount };

  struct Selection {
    std::uint32_t mHandle = 0;
    std::shared_ptr<GdiObject> mObject;
  };

  struct DrawState {
    std::shared_ptr<BitmapObject> mBitmap;  // null for the screen
    XFORM mTransform;
    int mGraphicsMode = GM_COMPATIBLE;
    std::shared_ptr<GdiObject> mPen;
    std::shared_ptr<GdiObject> mBrush;
    std::shared_ptr<GdiObject> mFont;
    COLORREF mTextColor = 0;
    int mBkMode = OPAQUE;
  };

  static const XFORM kIdentity;

  // inDefaults: stock objects for every slot (the screen has no bitmap).
  DeviceContext(bool inMemory, const std::array<Selection, kSlotCount>& inDefaults);

  bool IsMemory() const { return Kind() == ObjectKind::kMemoryDC; }

  // Selects inNew into its slot and answers the handle selected before, or 0
  // with outError (a bitmap selected elsewhere, a closed context).
  std::uint32_t Select(Slot inSlot, const Selection& inNew, DWORD& outError);
  Selection Current(Slot inSlot) const;

  // Deselects everything; called once, when the context is deleted.
  void Close();

  int MapMode() const;
  int SetMapMode(int inMode);
  int GraphicsMode() const;
  // The previous mode, or 0 when going back to GM_COMPATIBLE while the world
  // transform is not the identity.
  int SetGraphicsMode(int inMode);
  XFORM Transform() const;
  // False unless the graphics mode is GM_ADVANCED.
  bool SetTransform(const XFORM& inXform);
  void ResetTransform();

  COLORREF SetTextColor(COLORREF inColor);
  int SetBkMode(int inMode);

  // Paths: BeginPath discards any path and opens one; AddToPath adds to an
  // open path only (false when none is open); EndPath closes an open path;
  // TakePath hands over a closed path, leaving none (false when there is no
  // closed path).
  void BeginPath();
  bool IsPathOpen() const;
  bool AddToPath(const Path& inPath);
  bool EndPath();
  bool TakePath(Path& outPath);

  DrawState ForDrawing() const;

private:
  enum class PathState { kNone, kOpen, kClosed };

  mutable std::mutex mLock;
  std::array<Selection, kSlotCount> mSlots;
  bool mClosed = false;
  int mMapMode = MM_TEXT;
  int mGraphicsMode = GM_COMPATIBLE;
  XFORM mTransform = kIdentity;
  COLORREF mTextColor = 0;
  int mBkMode = OPAQUE;
  PathState mPathState = PathState::kNone;
  Path mPath;
};

}  // namespace tlgdi
