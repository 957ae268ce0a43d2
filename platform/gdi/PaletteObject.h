#pragma once
// A logical palette behind an HPALETTE, and the two fixed palettes we offer:
// the halftone palette (see CreateHalftonePalette in Gdi.h) and the default
// palette every device context starts with.

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"

#include <vector>

namespace tlgdi {

class PaletteObject : public GdiObject {
public:
  explicit PaletteObject(std::vector<PALETTEENTRY> inEntries)
    : GdiObject(ObjectKind::kPalette), mEntries(std::move(inEntries))
  {
  }

  const std::vector<PALETTEENTRY>& Entries() const { return mEntries; }

  // The 216 colours of the six-level cube, then 40 greys between them.
  static std::vector<PALETTEENTRY> HalftoneEntries();

  // The 16 colours of the classic VGA set: black, the dark and the light
  // primaries and secondaries, two greys and white.
  static std::vector<PALETTEENTRY> DefaultEntries();

private:
  const std::vector<PALETTEENTRY> mEntries;
};

}  // namespace tlgdi
