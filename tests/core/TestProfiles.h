#pragma once
// ICC profiles for the colour suites, made with lcms2.

#include "platform/base/WinTypes.h"

#include <lcms2.h>

#include <memory>
#include <string>
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

// The built-in sRGB and CMYK profiles and the light CMYK profile, as files
// in a fresh folder of the test home.
struct ProfileFiles {
  ProfileFiles();

  std::string mFolder;
  std::string mRGB;
  std::string mCMYK;
  std::string mLight;
};

// Red, green, blue and white quadrants of 32 x 24 as inks of the built-in
// CMYK profile, written by ImageMagick's command in the format of the path's
// extension; with inEmbedded the light profile is embedded (and says what
// the inks mean).
void MakeCMYKQuadrants(const ProfileFiles& inProfiles, const std::string& inPath, bool inEmbedded);

}  // namespace profiletest
