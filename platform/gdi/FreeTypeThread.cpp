#include "platform/gdi/FreeTypeThread.h"

#include <cstring>
#include <functional>

namespace tlgdi {

FreeTypeThread& FreeTypeThread::Get()
{
  thread_local FreeTypeThread gThread;
  return gThread;
}

FreeTypeThread::FreeTypeThread()
{
  if (FT_Init_FreeType(&mLibrary) != 0)
    mLibrary = nullptr;
}

FreeTypeThread::~FreeTypeThread()
{
  for (auto& theEntry : mFaces)
    if (theEntry.second)
      FT_Done_Face(theEntry.second);
  if (mLibrary)
    FT_Done_FreeType(mLibrary);
}

FT_Face FreeTypeThread::Face(const std::string& inFile, int inIndex)
{
  if (!mLibrary)
    return nullptr;
  const auto theKey = std::make_pair(inFile, inIndex);
  const auto theFound = mFaces.find(theKey);
  if (theFound != mFaces.end())
    return theFound->second;
  FT_Face theFace = nullptr;
  if (FT_New_Face(mLibrary, inFile.c_str(), inIndex, &theFace) != 0 || !FT_IS_SCALABLE(theFace)) {
    if (theFace)
      FT_Done_Face(theFace);
    theFace = nullptr;
  }
  mFaces.emplace(theKey, theFace);
  return theFace;
}

std::size_t FreeTypeThread::KeyHash::operator()(const GlyphKey& inKey) const
{
  std::size_t theHash = std::hash<const void*>()(inKey.mFace) ^ (std::size_t(inKey.mGlyph) * 0x9E3779B97F4A7C15ull);
  theHash ^= inKey.mEmbolden ? 0x5bd1e995u : 0;
  for (double theValue : inKey.mLinear) {
    std::uint64_t theBits = 0;
    std::memcpy(&theBits, &theValue, sizeof(theBits));
    theHash = (theHash ^ theBits) * 0x100000001B3ull;
  }
  return theHash;
}

const CoverageMask* FreeTypeThread::FindGlyph(const GlyphKey& inKey) const
{
  const auto theFound = mGlyphs.find(inKey);
  return theFound == mGlyphs.end() ? nullptr : &theFound->second;
}

const CoverageMask& FreeTypeThread::StoreGlyph(const GlyphKey& inKey, CoverageMask&& inMask)
{
  if (mGlyphs.size() >= kMaxGlyphs)
    mGlyphs.clear();
  return mGlyphs.insert_or_assign(inKey, std::move(inMask)).first->second;
}

}  // namespace tlgdi
