#pragma once
// The FreeType state of the calling thread: FreeType objects are not safe to
// share between threads, so each thread that draws text gets its own library,
// its own open faces and its own cache of rendered glyphs, and no lock is
// ever held while FreeType works. Everything is released when the thread
// ends.
//
// The glyph cache keeps masks by face, glyph, synthetic emboldening and the
// linear map from font units to device pixels (glyphs are drawn at whole
// device pixels, so the mask depends on nothing else); it forgets everything
// once it holds kMaxGlyphs masks.

#include "platform/gdi/CoverageMask.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace tlgdi {

class FreeTypeThread {
public:
  static constexpr std::size_t kMaxGlyphs = 4096;

  struct GlyphKey {
    FT_Face mFace = nullptr;
    FT_UInt mGlyph = 0;
    bool mEmbolden = false;
    std::array<double, 4> mLinear{};  // m11, m12, m21, m22

    bool operator==(const GlyphKey&) const = default;
  };

  static FreeTypeThread& Get();

  ~FreeTypeThread();
  FreeTypeThread(const FreeTypeThread&) = delete;
  FreeTypeThread& operator=(const FreeTypeThread&) = delete;

  // Null when FreeType could not start on this thread.
  FT_Library Library() const { return mLibrary; }

  // The face inIndex of a font file, opened once per thread; null when it
  // cannot be opened.
  FT_Face Face(const std::string& inFile, int inIndex);

  const CoverageMask* FindGlyph(const GlyphKey& inKey) const;
  const CoverageMask& StoreGlyph(const GlyphKey& inKey, CoverageMask&& inMask);

private:
  struct KeyHash {
    std::size_t operator()(const GlyphKey& inKey) const;
  };

  FreeTypeThread();

  FT_Library mLibrary = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> mFaces;
  std::unordered_map<GlyphKey, CoverageMask, KeyHash> mGlyphs;
};

}  // namespace tlgdi
