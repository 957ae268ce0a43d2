#include "core/ExportOptions.h"

#include "core/EventLog.h"
#include "core/Utilities.h"

LONG ExportOptions::SetColors(LONG inCount)
{
  mDepth = BitsForColorCount(inCount);
  return mDepth;
}

const std::string& ExportOptions::SetType(std::string_view inType)
{
  mType = inType;
  return mType;
}

Bitmap* ExportOptions::SetBitmap(Bitmap* inSource)
{
  mSource = inSource;
  return mSource;
}

LONG ExportOptions::SetQuality(LONG inQuality)
{
  mQuality = inQuality;
  return mQuality;
}

LONG ExportOptions::SetInterlace(LONG inInterlace)
{
  mInterlace = inInterlace;
  return mInterlace;
}

LONG ExportOptions::SetAlpha(LONG inAlpha)
{
  mAlpha = inAlpha;
  return mAlpha;
}

void ExportOptions::SetResolution(LONG inHorizontal, LONG inVertical)
{
  mHorizontalResolution = inHorizontal;
  mVerticalResolution = inVertical;
}

LONG ExportOptions::SetPath(std::string_view inPath)
{
  mToFile = 1;
  const bool theFits = inPath.size() <= kMaxPath;
  TL_ASSERT_TEXT(theFits, "len < inArraySize");
  if (!theFits)
    return 0;
  mPath = inPath;
  return static_cast<LONG>(mPath.size() + 1);
}
