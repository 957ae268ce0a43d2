#pragma once
// The resources compiled into a library: blocks of bytes found by name and
// type, as a Windows module's resources are (the ICC profile "SRGB" of type
// "ICC"). Each library that links this unit has its own table, written at
// build time (resources/MakeProfiles.cpp writes the profiles' entries).

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <span>

// The bytes of the resource; empty when there is none. Names and types
// compare without regard to case.
std::span<const BYTE> FindResourceBytes(const char* inName, const char* inType);

// One entry of the table that the generated source defines.
struct ResourceEntry {
  const char* mName;
  const char* mType;
  const BYTE* mBytes;
  std::size_t mSize;
};
extern const ResourceEntry kResources[];
extern const std::size_t kResourceCount;
