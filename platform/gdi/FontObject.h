#pragma once
// A font behind an HFONT: the logical font it was created from, and the font
// file fontconfig matches it with, looked up the first time text is measured
// or drawn with it. Two threads that need the match at once may both look it
// up; the first to finish keeps its answer, and no lock is held meanwhile.

#include "platform/base/Utf8.h"
#include "platform/gdi/FontMatch.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace tlgdi {

class FontObject : public GdiObject {
public:
  explicit FontObject(const LOGFONTA& inFont) : GdiObject(ObjectKind::kFont), mFont(inFont) {}

  const LOGFONTA& LogFont() const { return mFont; }

  // Null when no font can be found.
  std::shared_ptr<const FontMatch> Match() const
  {
    {
      std::lock_guard theGuard(mMatchLock);
      if (mMatch)
        return mMatch;
    }
    std::shared_ptr<const FontMatch> theMatch = FontMatch::Find(mFont);
    std::lock_guard theGuard(mMatchLock);
    if (!mMatch)
      mMatch = std::move(theMatch);
    return mMatch;
  }

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
  mutable std::mutex mMatchLock;  // guards mMatch only
  mutable std::shared_ptr<const FontMatch> mMatch;
};

}  // namespace tlgdi
