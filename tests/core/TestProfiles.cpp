#include "tests/core/TestProfiles.h"

#include "resources/Resources.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <span>

namespace profiletest {

std::vector<BYTE> SaveProfile(cmsHPROFILE inProfile)
{
  cmsUInt32Number theSize = 0;
  cmsSaveProfileToMem(inProfile, nullptr, &theSize);
  std::vector<BYTE> theBytes(theSize);
  cmsSaveProfileToMem(inProfile, theBytes.data(), &theSize);
  return theBytes;
}

void Describe(cmsHPROFILE ioProfile, const char* inDescription)
{
  cmsMLU* theText = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(theText, "en", "US", inDescription);
  cmsWriteTag(ioProfile, cmsSigProfileDescriptionTag, theText);
  cmsMLUfree(theText);
}

Profile LightCMYKProfile()
{
  Profile theProfile(cmsCreateProfilePlaceholder(nullptr));
  cmsSetDeviceClass(theProfile.get(), cmsSigOutputClass);
  cmsSetColorSpace(theProfile.get(), cmsSigCmykData);
  cmsSetPCS(theProfile.get(), cmsSigLabData);
  Describe(theProfile.get(), "Light CMYK");
  // A table of 2 points a side: black darkens a little, the colours tint.
  cmsPipeline* thePipeline = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* theTable = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr);
  cmsStageSampleCLut16bit(
    theTable,
    [](const cmsUInt16Number inCMYK[], cmsUInt16Number outLab[], void*) {
      cmsCIELab theLab{100 - 20.0 * inCMYK[3] / 65535, 40.0 * (inCMYK[1] - inCMYK[0]) / 65535,
                       40.0 * (inCMYK[2] - inCMYK[0]) / 65535};
      cmsFloat2LabEncoded(outLab, &theLab);
      return TRUE;
    },
    nullptr, 0);
  cmsPipelineInsertStage(thePipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
  cmsPipelineInsertStage(thePipeline, cmsAT_END, theTable);
  cmsPipelineInsertStage(thePipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsWriteTag(theProfile.get(), cmsSigAToB0Tag, thePipeline);
  cmsPipelineFree(thePipeline);
  return theProfile;
}

ProfileFiles::ProfileFiles()
  : mFolder(tltest::MakeTempFolder("profiles")), mRGB(mFolder + "/srgb.icc"), mCMYK(mFolder + "/cmyk.icc"),
    mLight(mFolder + "/light.icc")
{
  const auto theWrite = [](const std::string& inPath, std::span<const BYTE> inBytes) {
    std::ofstream(inPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(inBytes.data()), static_cast<std::streamsize>(inBytes.size()));
  };
  theWrite(mRGB, FindResourceBytes("SRGB", "ICC"));
  theWrite(mCMYK, FindResourceBytes("CMYK", "ICC"));
  theWrite(mLight, SaveProfile(LightCMYKProfile().get()));
}

void MakeCMYKQuadrants(const ProfileFiles& inProfiles, const std::string& inPath, bool inEmbedded)
{
  std::vector<std::string> theArguments = {"-size", "32x24", "xc:red", "xc:lime", "+append", "(", "xc:blue",
                                           "xc:white", "+append", ")", "-append", "-profile", inProfiles.mRGB,
                                           "-profile", inProfiles.mCMYK, "+profile", "icc"};
  if (inEmbedded)
    theArguments.insert(theArguments.end(), {"-profile", inProfiles.mLight});
  theArguments.insert(theArguments.end(), {"-quality", "100", inPath});
  const tltest::RunResult theRun = tltest::RunConvert(theArguments);
  EXPECT_EQ(theRun.mStatus, 0) << inPath << ": " << theRun.mErr;
}

}  // namespace profiletest
