// Makes the built-in ICC profiles at build time: "SRGB", lcms2's own sRGB
// monitor profile, and "CMYK", an output profile for coated press stock
// computed from a simple ink model of our own. Writes srgb.icc, cmyk.icc and
// ProfileResources.cpp (their bytes in the resource table) into the folder
// it is given.
//
// The ink model. Paper and inks are described in linear R, G, B (the sRGB
// primaries, adapted to D50): the paper reflects kPaper of each channel, and
// a solid of each ink absorbs a fraction kAbsorption of what reaches it, so a
// channel's reflectance is the paper's times (1 - absorption x coverage) for
// every ink, coverage being the dot grown by press gain. CMYK -> Lab follows
// the model; Lab -> CMYK solves it for cyan, magenta and yellow by
// Gauss-Newton on densities, after black has replaced part of the grey that
// the three colours would print (grey component replacement above 40%).

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr double kPaper[3] = {0.94, 0.93, 0.90};
// Cyan, magenta, yellow, black; each absorbs of red, green, blue:
constexpr double kAbsorption[4][3] = {{0.96, 0.32, 0.06}, {0.10, 0.94, 0.30}, {0.02, 0.08, 0.93}, {0.93, 0.93, 0.93}};
constexpr double kDotGain = 0.25;  // a 50% dot prints as 56%
constexpr double kGreyReplacedFrom = 0.4;

constexpr int kToLabGridPoints = 9;
constexpr int kToCMYKGridPoints = 17;

// sRGB primaries adapted to D50, and back.
constexpr double kToXYZ[3][3] = {
  {0.4360747, 0.3850649, 0.1430804}, {0.2225045, 0.7168786, 0.0606169}, {0.0139322, 0.0971045, 0.7141733}};
constexpr double kFromXYZ[3][3] = {
  {3.1338561, -1.6168667, -0.4906146}, {-0.9787684, 1.9161415, 0.0334540}, {0.0719453, -0.2289914, 1.4052427}};

double Printed(double inDot)
{
  return inDot + kDotGain * inDot * (1 - inDot);
}

double Dot(double inPrinted)
{
  return ((1 + kDotGain) - std::sqrt((1 + kDotGain) * (1 + kDotGain) - 4 * kDotGain * inPrinted)) / (2 * kDotGain);
}

// The density (-log10 of reflectance over the paper's) that printed
// coverage inCoverage of ink inInk gives in channel inChannel, and its slope.
double Density(int inInk, int inChannel, double inCoverage)
{
  return -std::log10(1 - kAbsorption[inInk][inChannel] * inCoverage);
}

double DensitySlope(int inInk, int inChannel, double inCoverage)
{
  return kAbsorption[inInk][inChannel] / ((1 - kAbsorption[inInk][inChannel] * inCoverage) * std::log(10.0));
}

cmsCIELab LabOfDots(const double inDots[4])
{
  double theRGB[3];
  for (int theChannel = 0; theChannel < 3; ++theChannel) {
    theRGB[theChannel] = kPaper[theChannel];
    for (int theInk = 0; theInk < 4; ++theInk)
      theRGB[theChannel] *= 1 - kAbsorption[theInk][theChannel] * Printed(inDots[theInk]);
  }
  cmsCIEXYZ theXYZ;
  theXYZ.X = kToXYZ[0][0] * theRGB[0] + kToXYZ[0][1] * theRGB[1] + kToXYZ[0][2] * theRGB[2];
  theXYZ.Y = kToXYZ[1][0] * theRGB[0] + kToXYZ[1][1] * theRGB[1] + kToXYZ[1][2] * theRGB[2];
  theXYZ.Z = kToXYZ[2][0] * theRGB[0] + kToXYZ[2][1] * theRGB[1] + kToXYZ[2][2] * theRGB[2];
  cmsCIELab theLab;
  cmsXYZ2Lab(cmsD50_XYZ(), &theLab, &theXYZ);
  return theLab;
}

// Printed coverages of cyan, magenta and yellow that come nearest to the
// target densities with black at ioCoverage[3]; each held to 0..1.
void SolveColours(const double inTarget[3], double ioCoverage[4])
{
  for (int theStep = 0; theStep < 40; ++theStep) {
    double theResidual[3];
    double theJacobian[3][3];
    for (int theChannel = 0; theChannel < 3; ++theChannel) {
      theResidual[theChannel] = Density(3, theChannel, ioCoverage[3]) - inTarget[theChannel];
      for (int theInk = 0; theInk < 3; ++theInk) {
        theResidual[theChannel] += Density(theInk, theChannel, ioCoverage[theInk]);
        theJacobian[theChannel][theInk] = DensitySlope(theInk, theChannel, ioCoverage[theInk]);
      }
    }
    // Cramer's rule for J x step = -residual.
    auto Determinant = [](const double inM[3][3]) {
      return inM[0][0] * (inM[1][1] * inM[2][2] - inM[1][2] * inM[2][1]) -
             inM[0][1] * (inM[1][0] * inM[2][2] - inM[1][2] * inM[2][0]) +
             inM[0][2] * (inM[1][0] * inM[2][1] - inM[1][1] * inM[2][0]);
    };
    const double theDeterminant = Determinant(theJacobian);
    for (int theInk = 0; theInk < 3; ++theInk) {
      double theColumn[3][3];
      for (int theRow = 0; theRow < 3; ++theRow)
        for (int theCol = 0; theCol < 3; ++theCol)
          theColumn[theRow][theCol] = theCol == theInk ? -theResidual[theRow] : theJacobian[theRow][theCol];
      ioCoverage[theInk] = std::clamp(ioCoverage[theInk] + Determinant(theColumn) / theDeterminant, 0.0, 1.0);
    }
  }
}

void DotsOfLab(const cmsCIELab& inLab, double outDots[4])
{
  cmsCIEXYZ theXYZ;
  cmsLab2XYZ(cmsD50_XYZ(), &theXYZ, &inLab);
  double theTarget[3];
  for (int theChannel = 0; theChannel < 3; ++theChannel) {
    const double theValue = kFromXYZ[theChannel][0] * theXYZ.X + kFromXYZ[theChannel][1] * theXYZ.Y +
                            kFromXYZ[theChannel][2] * theXYZ.Z;
    theTarget[theChannel] = -std::log10(std::clamp(theValue, 1e-4, kPaper[theChannel]) / kPaper[theChannel]);
  }
  double theCoverage[4] = {0.5, 0.5, 0.5, 0};
  SolveColours(theTarget, theCoverage);
  const double theGrey = std::min({theCoverage[0], theCoverage[1], theCoverage[2]});
  theCoverage[3] = std::max(0.0, theGrey - kGreyReplacedFrom) / (1 - kGreyReplacedFrom);
  SolveColours(theTarget, theCoverage);
  for (int theInk = 0; theInk < 4; ++theInk)
    outDots[theInk] = Dot(theCoverage[theInk]);
}

int ToLab(const cmsUInt16Number inCMYK[], cmsUInt16Number outLab[], void*)
{
  double theDots[4];
  for (int theInk = 0; theInk < 4; ++theInk)
    theDots[theInk] = inCMYK[theInk] / 65535.0;
  const cmsCIELab theLab = LabOfDots(theDots);
  cmsFloat2LabEncoded(outLab, &theLab);
  return TRUE;
}

int ToCMYK(const cmsUInt16Number inLab[], cmsUInt16Number outCMYK[], void*)
{
  cmsCIELab theLab;
  cmsLabEncoded2Float(&theLab, inLab);
  double theDots[4];
  DotsOfLab(theLab, theDots);
  for (int theInk = 0; theInk < 4; ++theInk)
    outCMYK[theInk] = static_cast<cmsUInt16Number>(std::lround(theDots[theInk] * 65535));
  return TRUE;
}

// Identity curves, a table sampled from the model, identity curves: the
// shape lcms2 stores as a lookup-table tag.
cmsPipeline* ModelPipeline(cmsUInt32Number inInputs, cmsUInt32Number inOutputs, int inGridPoints,
                           cmsSAMPLER16 inSampler)
{
  cmsPipeline* thePipeline = cmsPipelineAlloc(nullptr, inInputs, inOutputs);
  cmsStage* theTable = cmsStageAllocCLut16bit(nullptr, static_cast<cmsUInt32Number>(inGridPoints), inInputs, inOutputs, nullptr);
  cmsStageSampleCLut16bit(theTable, inSampler, nullptr, 0);
  cmsPipelineInsertStage(thePipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, inInputs, nullptr));
  cmsPipelineInsertStage(thePipeline, cmsAT_END, theTable);
  cmsPipelineInsertStage(thePipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, inOutputs, nullptr));
  return thePipeline;
}

void WriteText(cmsHPROFILE ioProfile, cmsTagSignature inTag, const char* inText)
{
  cmsMLU* theText = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(theText, "en", "US", inText);
  cmsWriteTag(ioProfile, inTag, theText);
  cmsMLUfree(theText);
}

cmsHPROFILE MakeCMYKProfile()
{
  cmsHPROFILE theProfile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetDeviceClass(theProfile, cmsSigOutputClass);
  cmsSetColorSpace(theProfile, cmsSigCmykData);
  cmsSetPCS(theProfile, cmsSigLabData);
  cmsSetHeaderRenderingIntent(theProfile, INTENT_PERCEPTUAL);
  WriteText(theProfile, cmsSigProfileDescriptionTag, "Coated press CMYK (built in)");
  WriteText(theProfile, cmsSigCopyrightTag, "No copyright, use freely");
  cmsWriteTag(theProfile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsPipeline* theToLab = ModelPipeline(4, 3, kToLabGridPoints, ToLab);
  cmsPipeline* theToCMYK = ModelPipeline(3, 4, kToCMYKGridPoints, ToCMYK);
  cmsWriteTag(theProfile, cmsSigAToB0Tag, theToLab);
  cmsWriteTag(theProfile, cmsSigBToA0Tag, theToCMYK);
  cmsPipelineFree(theToLab);
  cmsPipelineFree(theToCMYK);
  return theProfile;
}

// The profile's bytes (empty when it cannot be saved); the profile is closed.
Bytes Save(cmsHPROFILE inProfile)
{
  cmsUInt32Number theSize = 0;
  Bytes theBytes;
  if (inProfile && cmsSaveProfileToMem(inProfile, nullptr, &theSize)) {
    theBytes.resize(theSize);
    if (!cmsSaveProfileToMem(inProfile, theBytes.data(), &theSize))
      theBytes.clear();
  }
  if (inProfile)
    cmsCloseProfile(inProfile);
  return theBytes;
}

bool WriteFile(const std::string& inPath, const std::string& inText)
{
  std::ofstream theFile(inPath, std::ios::binary);
  theFile << inText;
  return static_cast<bool>(theFile.flush());
}

std::string ArrayText(const char* inName, const Bytes& inBytes)
{
  std::string theText = "const BYTE " + std::string(inName) + "[] = {";
  char theByte[16];
  for (std::size_t theIndex = 0; theIndex < inBytes.size(); ++theIndex) {
    std::snprintf(theByte, sizeof(theByte), "%s0x%02x,", theIndex % 16 ? " " : "\n  ", inBytes[theIndex]);
    theText += theByte;
  }
  return theText + "\n};\n";
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
    return 2;
  }
  const std::string theFolder = argv[1];
  const Bytes theSRGB = Save(cmsCreate_sRGBProfile());
  const Bytes theCMYK = Save(MakeCMYKProfile());
  const std::string theTable = "// Written at build time by resources/MakeProfiles.cpp.\n"
                               "#include \"resources/Resources.h\"\n\nnamespace {\n\n" +
                               ArrayText("kSRGB", theSRGB) + "\n" + ArrayText("kCMYK", theCMYK) +
                               "\n}  // namespace\n\n"
                               "const ResourceEntry kResources[] = {\n"
                               "  {\"SRGB\", \"ICC\", kSRGB, sizeof(kSRGB)},\n"
                               "  {\"CMYK\", \"ICC\", kCMYK, sizeof(kCMYK)},\n"
                               "};\n"
                               "const std::size_t kResourceCount = 2;\n";
  if (theSRGB.empty() || theCMYK.empty() ||
      !WriteFile(theFolder + "/srgb.icc", std::string(theSRGB.begin(), theSRGB.end())) ||
      !WriteFile(theFolder + "/cmyk.icc", std::string(theCMYK.begin(), theCMYK.end())) ||
      !WriteFile(theFolder + "/ProfileResources.cpp", theTable)) {
    std::fprintf(stderr, "%s: cannot make the profiles in %s\n", argv[0], theFolder.c_str());
    return 1;
  }
  return 0;
}
