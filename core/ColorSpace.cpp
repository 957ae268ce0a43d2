#include "core/ColorSpace.h"

#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/MappedFileSource.h"
#include "core/NamedMutex.h"
#include "core/Preferences.h"
#include "platform/faults/Faults.h"
#include "platform/files/FileRoots.h"
#include "resources/Resources.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr DWORD kLockTimeout = 600000;

// ---- Pixel blocks

bool IsBlock(const BYTE* inPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  return inPixels && inWidth > 0 && inHeight > 0 && inRowBytes >= 4 * static_cast<LONGLONG>(inWidth);
}

template <typename Convert>
void ForEachPixel(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes, Convert inConvert)
{
  if (!IsBlock(ioPixels, inWidth, inHeight, inRowBytes))
    return;
  for (LONGLONG theY = 0; theY < inHeight; ++theY) {
    BYTE* thePixel = ioPixels + theY * inRowBytes;
    for (LONG theX = 0; theX < inWidth; ++theX, thePixel += 4)
      inConvert(thePixel);
  }
}

BYTE Clamp(LONG inValue)
{
  return static_cast<BYTE>(std::clamp<LONG>(inValue, 0, 255));
}

// (i - 128) x factor, truncated toward zero, for every byte value i.
struct YCCTable {
  LONG mEntries[256];
};

constexpr YCCTable MakeYCCTable(double inFactor)
{
  YCCTable theTable{};
  for (int i = 0; i < 256; ++i)
    theTable.mEntries[i] = static_cast<LONG>((i - 128) * inFactor);
  return theTable;
}

constexpr YCCTable kCrToRed = MakeYCCTable(1.402);
constexpr YCCTable kCbToGreen = MakeYCCTable(0.34414);
constexpr YCCTable kCrToGreen = MakeYCCTable(0.71414);
constexpr YCCTable kCbToBlue = MakeYCCTable(1.772);

// ---- Profiles

struct ProfileCloser {
  void operator()(void* inProfile) const { cmsCloseProfile(inProfile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// lcms2 reports through its log handler and never aborts: ours says nothing.
void QuietLittleCMS()
{
  static std::once_flag gOnce;
  std::call_once(gOnce, [] { cmsSetLogErrorHandler([](cmsContext, cmsUInt32Number, const char*) {}); });
}

// Read through the library's own file road: only regular files are opened,
// so a pipe or a device in the directory cannot block the search, and only
// below the roots of a served page. LittleCMS keeps a copy of the bytes.
cmsHPROFILE OpenProfileFile(const std::string& inPath)
{
  MappedFileSource theFile;
  if (theFile.Open(inPath.c_str()))
    return nullptr;
  return cmsOpenProfileFromMem(theFile.GetView(), static_cast<cmsUInt32Number>(theFile.GetLength()));
}

std::string ProfileText(cmsHPROFILE inProfile, cmsInfoType inInfo)
{
  char theText[256] = "";
  cmsGetProfileInfoASCII(inProfile, inInfo, "en", "US", theText, sizeof(theText));
  return theText;
}

// The device's model and maker ("model - maker", or whichever there is),
// else the profile's description.
std::string ProductName(cmsHPROFILE inProfile)
{
  const std::string theModel = ProfileText(inProfile, cmsInfoModel);
  const std::string theMaker = ProfileText(inProfile, cmsInfoManufacturer);
  if (theModel.empty() && theMaker.empty())
    return ProfileText(inProfile, cmsInfoDescription);
  if (theMaker.empty() || theModel.empty())
    return theModel + theMaker;
  return theModel + " - " + theMaker;
}

std::string SignatureText(cmsUInt32Number inSignature)
{
  return {static_cast<char>(inSignature >> 24), static_cast<char>(inSignature >> 16),
          static_cast<char>(inSignature >> 8), static_cast<char>(inSignature)};
}

// Offers a file to a kind's matcher, which may set the path found.
using Matcher = void (*)(const std::string& inPath, cmsHPROFILE inProfile, std::string& ioFound);

void MatchRGB(const std::string& inPath, cmsHPROFILE inProfile, std::string& ioFound)
{
  if (cmsGetDeviceClass(inProfile) == cmsSigDisplayClass && cmsGetColorSpace(inProfile) == cmsSigRgbData &&
      (ioFound.empty() || ProductName(inProfile).find("sRGB") != std::string::npos))
    ioFound = inPath;
}

void MatchCMYK(const std::string& inPath, cmsHPROFILE inProfile, std::string& ioFound)
{
  if (ioFound.empty() && cmsGetColorSpace(inProfile) == cmsSigCmykData)
    ioFound = inPath;
}

struct ProfileKind {
  const char* mName;
  const char* mBuiltIn;  // the resource's name
  Matcher mMatcher;
  bool mReported = false;
  std::string mDirectory;  // where mPath was found
  std::string mPath;
};

// Guarded by gLock: the searches' memory and the working RGB profile.
std::mutex gLock;
ProfileKind gRGB{"RGB", "SRGB", MatchRGB, false, "", ""};
ProfileKind gCMYK{"CMYK", "CMYK", MatchCMYK, false, "", ""};
cmsHPROFILE gWorkingRGB = nullptr;  // never closed

LONG CollectPath(const char* inPath, void* ioPaths)
{
  static_cast<std::vector<std::string>*>(ioPaths)->push_back(inPath);
  return 0;
}

// Under gLock.
cmsHPROFILE SearchProfile(ProfileKind& ioKind)
{
  QuietLittleCMS();
  const std::string theDirectory = GetPrefDirectory("ColorProfileDirectory", "", MAX_PATH);
  if (!theDirectory.empty()) {
    const FileRootGrant theProfiles(theDirectory);
    if (ioKind.mDirectory == theDirectory && !ioKind.mPath.empty())
      if (cmsHPROFILE theProfile = OpenProfileFile(ioKind.mPath))
        return theProfile;
    ioKind.mPath.clear();
    std::vector<std::string> thePaths;
    WalkDirectory(theDirectory.c_str(), CollectPath, 1, &thePaths);
    std::sort(thePaths.begin(), thePaths.end());
    for (const std::string& thePath : thePaths)
      if (Profile theProfile{OpenProfileFile(thePath)})
        ioKind.mMatcher(thePath, theProfile.get(), ioKind.mPath);
    ioKind.mDirectory = theDirectory;
    if (!ioKind.mPath.empty())
      if (cmsHPROFILE theProfile = OpenProfileFile(ioKind.mPath))
        return theProfile;
    if (!ioKind.mReported) {
      ioKind.mReported = true;
      LogEvent("Unable to find appropriate %s profile in \"%s\".", EVENTLOG_ERROR_TYPE, ioKind.mName,
               theDirectory.c_str());
    }
  }
  return OpenResourceProfile(ioKind.mBuiltIn, "ICC");
}

}  // namespace

void ConvertCMYKToRGB(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes, const BYTE* inICC,
                      DWORD inICCLength)
{
  if (GetPrefLong("LittleCMS", 1) != 0 &&
      ConvertCMYKToRGBWithICC(ioPixels, inWidth, inHeight, inRowBytes, inICC, inICCLength))
    return;
  ConvertCMYKToRGBByFormula(ioPixels, inWidth, inHeight, inRowBytes);
}

bool ConvertCMYKToRGBWithICC(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes, const BYTE* inICC,
                             DWORD inICCLength)
{
  if (!IsBlock(ioPixels, inWidth, inHeight, inRowBytes))
    return false;
  NamedMutex theLock("LittleCMSMutex", kLockTimeout);
  if (!theLock.Acquire())
    ReportAssertion(__FILE__, __LINE__, "theLock");
  FaultSafeLock theProcessLock(gLock);
  QuietLittleCMS();

  Profile theSource;
  if (inICC && inICCLength > 0) {
    theSource.reset(cmsOpenProfileFromMem(inICC, inICCLength));
    if (theSource && cmsGetColorSpace(theSource.get()) != cmsSigCmykData)
      theSource.reset();
  }
  if (!theSource)
    theSource.reset(SearchProfile(gCMYK));
  if (!theSource)
    return false;
  if (!gWorkingRGB)
    gWorkingRGB = SearchProfile(gRGB);
  if (!gWorkingRGB)
    return false;

  cmsHTRANSFORM theTransform =
    cmsCreateTransform(theSource.get(), TYPE_CMYK_8, gWorkingRGB, TYPE_RGBA_8, INTENT_PERCEPTUAL, 0);
  if (!theTransform) {
    LogEvent("Unable to create ICC transform.", EVENTLOG_ERROR_TYPE);
    return false;
  }
  for (LONGLONG theY = 0; theY < inHeight; ++theY) {
    BYTE* theRow = ioPixels + theY * inRowBytes;
    cmsDoTransform(theTransform, theRow, theRow, static_cast<cmsUInt32Number>(inWidth));
  }
  cmsDeleteTransform(theTransform);
  // The transform writes R, G, B and leaves black in the fourth byte.
  ForEachPixel(ioPixels, inWidth, inHeight, inRowBytes, [](BYTE* ioPixel) { ioPixel[3] = 0; });
  return true;
}

void ConvertCMYKToRGBByFormula(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  ForEachPixel(ioPixels, inWidth, inHeight, inRowBytes, [](BYTE* ioPixel) {
    const LONG theBlack = ioPixel[3];
    for (int theChannel = 0; theChannel < 3; ++theChannel)
      ioPixel[theChannel] = Clamp(255 - ioPixel[theChannel] - theBlack);
    ioPixel[3] = 0;
  });
}

void ConvertYCCKToCMYK(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  ForEachPixel(ioPixels, inWidth, inHeight, inRowBytes, [](BYTE* ioPixel) {
    const LONG theY = ioPixel[0];
    const BYTE theCb = ioPixel[1];
    const BYTE theCr = ioPixel[2];
    ioPixel[0] = Clamp(theY + kCrToRed.mEntries[theCr]);
    ioPixel[1] = Clamp(theY - kCbToGreen.mEntries[theCb] - kCrToGreen.mEntries[theCr]);
    ioPixel[2] = Clamp(theY + kCbToBlue.mEntries[theCb]);
    ioPixel[3] = static_cast<BYTE>(255 - ioPixel[3]);
  });
}

void ConvertAdobeCMYKToCMYK(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  ForEachPixel(ioPixels, inWidth, inHeight, inRowBytes, [](BYTE* ioPixel) {
    for (int theChannel = 0; theChannel < 4; ++theChannel)
      ioPixel[theChannel] = static_cast<BYTE>(255 - ioPixel[theChannel]);
  });
}

void ConvertRGBXToBGRA(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes)
{
  ForEachPixel(ioPixels, inWidth, inHeight, inRowBytes, [](BYTE* ioPixel) {
    std::swap(ioPixel[0], ioPixel[2]);
    ioPixel[3] = 0;
  });
}

cmsHPROFILE FindRGBProfile()
{
  FaultSafeLock theProcessLock(gLock);
  return SearchProfile(gRGB);
}

cmsHPROFILE FindCMYKProfile()
{
  FaultSafeLock theProcessLock(gLock);
  return SearchProfile(gCMYK);
}

cmsHPROFILE OpenResourceProfile(const char* inName, const char* inType)
{
  QuietLittleCMS();
  const std::span<const BYTE> theBytes = FindResourceBytes(inName, inType);
  return theBytes.empty() ? nullptr : cmsOpenProfileFromMem(theBytes.data(), static_cast<cmsUInt32Number>(theBytes.size()));
}

void ReportProfile(const char* inPath)
{
  QuietLittleCMS();
  Profile theProfile{inPath ? OpenProfileFile(inPath) : nullptr};
  if (!theProfile)
    return;
  std::fprintf(stderr, "%s\n%s\n%s\nPCS = %s ColorSpace = %s DeviceClass = %s\n\n", inPath,
               ProductName(theProfile.get()).c_str(), ProfileText(theProfile.get(), cmsInfoDescription).c_str(),
               SignatureText(cmsGetPCS(theProfile.get())).c_str(),
               SignatureText(cmsGetColorSpace(theProfile.get())).c_str(),
               SignatureText(cmsGetDeviceClass(theProfile.get())).c_str());
}
