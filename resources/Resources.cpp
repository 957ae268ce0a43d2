#include "resources/Resources.h"

#include "platform/base/AsciiCase.h"

std::span<const BYTE> FindResourceBytes(const char* inName, const char* inType)
{
  if (!inName || !inType)
    return {};
  for (const ResourceEntry& theEntry : std::span(kResources, kResourceCount))
    if (EqualsIgnoringCase(theEntry.mName, inName) && EqualsIgnoringCase(theEntry.mType, inType))
      return {theEntry.mBytes, theEntry.mSize};
  return {};
}
