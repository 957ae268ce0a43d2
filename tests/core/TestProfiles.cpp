#include "tests/core/TestProfiles.h"

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

}  // namespace profiletest
