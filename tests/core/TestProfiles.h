#pragma once
// ICC profiles for the colour suites, made with lcms2.

#include "platform/base/WinTypes.h"

#include <lcms2.h>

#include <memory>
#include <vector>

namespace profiletest {

struct ProfileCloser {
  void operator()(void* inProfile) const { cmsCloseProfile(inProfile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

std::vector<BYTE> SaveProfile(cmsHPROFILE inProfile);
// Replaces the profile's description.
void Describe(cmsHPROFILE ioProfile, const char* inDescription);

// A CMYK output profile described "Light CMYK", whose prints are much
// lighter than the built-in profile's.
Profile LightCMYKProfile();

}  // namespace profiletest
