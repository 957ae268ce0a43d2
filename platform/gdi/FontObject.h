#pragma once
// A font behind an HFONT: the logical font it was created from. Glyphs are
// found and drawn from this description when text is drawn.

#include "platform/base/Utf8.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"

#include <cstring>
#include <string_view>

namespace tlgdi {

class FontObject : public GdiObject {
public:
  explicit FontObject(const LOGFONTA& inFont) : GdiObject(ObjectKind::kFont), mFont(inFont) {}

  const LOGFONTA& LogFont() const { return mFont; }

  // Copies inName into outName of inCapacity bytes with its NUL, cut before
  // the last UTF-8 character that would not fit whole.
  static void CopyName(std::string_view inName, char* outName, std::size_t inCapacity)
  {
    const std::size_t theLength = utf8::CutLength(inName, inCapacity - 1);
    std::memcpy(outName, inName.data(), theLength);
    std::memset(outName + theLength, 0, inCapacity - theLength);
  }

private:
  const LOGFONTA mFont;
};

}  // namespace tlgdi
