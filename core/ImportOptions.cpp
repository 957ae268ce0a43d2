#include "core/ImportOptions.h"

#include "core/EventLog.h"
#include "platform/base/Utf8.h"

void ImportOptions::SetName(const char* inName)
{
  if (!inName)
    return;
  const std::string_view theName(inName);
  TL_ASSERT_TEXT(theName.size() <= kMaxName, "len < inArraySize");
  mName = utf8::Cut(theName, kMaxName);
}

LONG ImportOptions::SetImageIndex(LONG inIndex)
{
  mImageIndex = inIndex;
  return mImageIndex;
}

float ImportOptions::SetTime(float inTime)
{
  mTime = inTime;
  return mTime;
}

void ImportOptions::SetGraphicsMode(WORD inMode, RGBColor inOpColor)
{
  mGraphicsMode = inMode;
  mOpColor = inOpColor;
}

LONG ImportOptions::SetDither(LONG inDither)
{
  mDither = inDither;
  return mDither;
}

RECT ImportOptions::SetClipRect(RECT inRect)
{
  mClipRect = inRect;
  return mClipRect;
}

void ImportOptions::SetTransform(const Transform& inTransform)
{
  mTransform = inTransform;
  mTransformSet = 1;
}
