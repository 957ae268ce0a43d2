// Reduces a 2000 x 2000 photo-like picture to 256 colours with Floyd-Steinberg
// dithering, with the library (adaptive palette, then the reducer) and with
// ImageMagick's convert on the same picture, and prints the times and the
// mean errors of both and their ratios.
//
//   tl_bench_reduce_colors [convert-command]    (default: convert)
//
// Times are the best of three runs. The convert run includes starting the
// program and reading and writing the picture as PPM; a run of convert that
// only reads and writes is timed too, and its time taken off ("net").
// Errors: the mean absolute difference per channel between the source and
// the reduced picture, per pixel and after a 4 x 4 box average of both (what
// the eye sees of a dithered picture).

#include "core/ColorReducer.h"
#include "core/Paleteer.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

constexpr LONG kSide = 2000;
constexpr int kRuns = 3;

struct Picture {
  LONG mWidth = 0;
  LONG mHeight = 0;
  std::vector<std::uint8_t> mRGB;  // R, G, B, top row first
};

// Gradients, hard-edged shapes, a fine stripe pattern and a little noise.
Picture MakePhoto()
{
  Picture thePicture{kSide, kSide, std::vector<std::uint8_t>(static_cast<std::size_t>(kSide) * kSide * 3)};
  std::uint32_t theSeed = 12345;
  for (LONG y = 0; y < kSide; ++y)
    for (LONG x = 0; x < kSide; ++x) {
      const double u = static_cast<double>(x) / kSide, v = static_cast<double>(y) / kSide;
      double r = 128 + 110 * std::sin(6.0 * u + 1.0) * std::cos(4.0 * v);
      double g = 40 + 180 * v * (1 - 0.5 * u);
      double b = 200 - 150 * u * v + 30 * std::sin(20.0 * u);
      const double dx = u - 0.3, dy = v - 0.6;
      if (dx * dx + dy * dy < 0.02)
        r = 250 - 60 * dy, g = 220, b = 180 + 100 * dx;
      if (u > 0.7 && v < 0.25)
        r = 20 + 40 * u, g = 90 + 60 * std::sin(80.0 * v), b = 30;
      theSeed = theSeed * 1664525u + 1013904223u;
      const int theNoise = static_cast<int>(theSeed >> 28) - 8;
      std::uint8_t* thePixel = &thePicture.mRGB[(static_cast<std::size_t>(y) * kSide + x) * 3];
      const double theChannels[3] = {r, g, b};
      for (int c = 0; c < 3; ++c)
        thePixel[c] = static_cast<std::uint8_t>(std::lround(std::clamp(theChannels[c] + theNoise, 0.0, 255.0)));
    }
  return thePicture;
}

bool WritePPM(const std::string& inPath, const Picture& inPicture)
{
  std::ofstream theFile(inPath, std::ios::binary);
  theFile << "P6\n" << inPicture.mWidth << " " << inPicture.mHeight << "\n255\n";
  theFile.write(reinterpret_cast<const char*>(inPicture.mRGB.data()), static_cast<std::streamsize>(inPicture.mRGB.size()));
  return static_cast<bool>(theFile);
}

bool ReadPPM(const std::string& inPath, Picture& outPicture)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::string theMagic;
  int theMax = 0;
  theFile >> theMagic >> outPicture.mWidth >> outPicture.mHeight >> theMax;
  theFile.get();
  if (theMagic != "P6" || theMax != 255 || outPicture.mWidth <= 0 || outPicture.mHeight <= 0)
    return false;
  outPicture.mRGB.resize(static_cast<std::size_t>(outPicture.mWidth) * outPicture.mHeight * 3);
  theFile.read(reinterpret_cast<char*>(outPicture.mRGB.data()), static_cast<std::streamsize>(outPicture.mRGB.size()));
  return static_cast<bool>(theFile);
}

struct Errors {
  double mMean = 0;
  double mBlurred = 0;
};

Errors MeasureErrors(const Picture& inSource, const Picture& inReduced)
{
  Errors theErrors;
  for (std::size_t i = 0; i < inSource.mRGB.size(); ++i)
    theErrors.mMean += std::abs(static_cast<int>(inSource.mRGB[i]) - static_cast<int>(inReduced.mRGB[i]));
  theErrors.mMean /= static_cast<double>(inSource.mRGB.size());
  double theBlocks = 0;
  for (LONG y = 0; y + 4 <= inSource.mHeight; y += 4)
    for (LONG x = 0; x + 4 <= inSource.mWidth; x += 4, ++theBlocks)
      for (int c = 0; c < 3; ++c) {
        int theDifference = 0;
        for (LONG dy = 0; dy < 4; ++dy)
          for (LONG dx = 0; dx < 4; ++dx) {
            const std::size_t theAt = (static_cast<std::size_t>(y + dy) * inSource.mWidth + x + dx) * 3 + c;
            theDifference += inSource.mRGB[theAt] - inReduced.mRGB[theAt];
          }
        theErrors.mBlurred += std::abs(theDifference / 16.0);
      }
  theErrors.mBlurred /= 3.0 * theBlocks;
  return theErrors;
}

double BestSeconds(const std::function<bool()>& inRun)
{
  double theBest = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    const auto theStart = std::chrono::steady_clock::now();
    if (!inRun())
      return -1;
    theBest = std::min(theBest, std::chrono::duration<double>(std::chrono::steady_clock::now() - theStart).count());
  }
  return theBest;
}

// The library's road: a 32-bit DIB section of the picture, an adaptive
// palette of 256 colours and an 8-bit DIB section carrying it, then the
// dithered reduction.
class LibraryRun {
public:
  explicit LibraryRun(const Picture& inPicture)
  {
    BITMAPINFO theInfo{};
    theInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    theInfo.bmiHeader.biWidth = inPicture.mWidth;
    theInfo.bmiHeader.biHeight = -inPicture.mHeight;
    theInfo.bmiHeader.biPlanes = 1;
    theInfo.bmiHeader.biBitCount = 32;
    void* theBits = nullptr;
    mSource = CreateDIBSection(nullptr, &theInfo, DIB_RGB_COLORS, &theBits, nullptr, 0);
    auto* theWords = static_cast<std::uint8_t*>(theBits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(inPicture.mWidth) * inPicture.mHeight; ++i) {
      theWords[4 * i] = inPicture.mRGB[3 * i + 2];
      theWords[4 * i + 1] = inPicture.mRGB[3 * i + 1];
      theWords[4 * i + 2] = inPicture.mRGB[3 * i];
      theWords[4 * i + 3] = 0;
    }
  }
  ~LibraryRun() { DeleteObject(mSource); }

  bool Run(Picture& outReduced)
  {
    Paleteer thePaleteer;
    thePaleteer.SetKind(Paleteer::kAdaptive);
    thePaleteer.SetColorCount(256);
    thePaleteer.SetSource(mSource);
    RGBQUAD theTable[256];
    const LONG theCount = thePaleteer.CreateIndexedDIB(theTable);
    DIBSECTION theSource{}, theReduced{};
    if (theCount < 2 || GetObjectA(mSource, sizeof theSource, &theSource) != static_cast<int>(sizeof theSource) ||
        GetObjectA(thePaleteer.GetHBITMAP(), sizeof theReduced, &theReduced) != static_cast<int>(sizeof theReduced))
      return false;
    ColorReducer theReducer;
    if (!theReducer.Reduce(&theSource, &theReduced, theTable, theCount, true))
      return false;
    mColors = theCount;
    outReduced.mWidth = theReduced.dsBm.bmWidth;
    outReduced.mHeight = theReduced.dsBm.bmHeight;
    outReduced.mRGB.resize(static_cast<std::size_t>(outReduced.mWidth) * outReduced.mHeight * 3);
    const auto* theIndices = static_cast<const std::uint8_t*>(theReduced.dsBm.bmBits);
    for (LONG y = 0; y < outReduced.mHeight; ++y)
      for (LONG x = 0; x < outReduced.mWidth; ++x) {
        const RGBQUAD& theEntry = theTable[theIndices[y * theReduced.dsBm.bmWidthBytes + x]];
        std::uint8_t* thePixel = &outReduced.mRGB[(static_cast<std::size_t>(y) * outReduced.mWidth + x) * 3];
        thePixel[0] = theEntry.rgbRed;
        thePixel[1] = theEntry.rgbGreen;
        thePixel[2] = theEntry.rgbBlue;
      }
    return true;
  }
  LONG Colors() const { return mColors; }

private:
  HBITMAP mSource = nullptr;
  LONG mColors = 0;
};

int CountColors(const Picture& inPicture)
{
  std::vector<bool> theSeen(1 << 24);
  int theCount = 0;
  for (std::size_t i = 0; i < inPicture.mRGB.size(); i += 3) {
    const std::size_t theKey = inPicture.mRGB[i] << 16 | inPicture.mRGB[i + 1] << 8 | inPicture.mRGB[i + 2];
    if (!theSeen[theKey]) {
      theSeen[theKey] = true;
      ++theCount;
    }
  }
  return theCount;
}

}  // namespace

int main(int argc, char** argv)
{
  const std::string theConvert = argc > 1 ? argv[1] : "convert";
  char theFolder[] = "/tmp/tl-bench-XXXXXX";
  if (!mkdtemp(theFolder))
    return 2;
  const std::string theInput = std::string(theFolder) + "/photo.ppm";
  const std::string theOutput = std::string(theFolder) + "/reduced.ppm";
  const std::string theCopy = std::string(theFolder) + "/copy.ppm";
  const Picture theSource = MakePhoto();
  if (!WritePPM(theInput, theSource))
    return 2;

  LibraryRun theLibrary(theSource);
  Picture theLibraryResult;
  const double theLibrarySeconds = BestSeconds([&] { return theLibrary.Run(theLibraryResult); });

  const std::string theReduce =
    theConvert + " " + theInput + " -dither FloydSteinberg -colors 256 " + theOutput + " 2>/dev/null";
  const std::string theReadWrite = theConvert + " " + theInput + " " + theCopy + " 2>/dev/null";
  const double theMagickSeconds = BestSeconds([&] { return std::system(theReduce.c_str()) == 0; });
  const double theOverhead = BestSeconds([&] { return std::system(theReadWrite.c_str()) == 0; });
  Picture theMagickResult;
  if (theLibrarySeconds < 0 || theMagickSeconds < 0 || theOverhead < 0 || !ReadPPM(theOutput, theMagickResult) ||
      theMagickResult.mWidth != kSide || theMagickResult.mHeight != kSide) {
    std::fprintf(stderr, "a run failed (is ImageMagick's %s installed?)\n", theConvert.c_str());
    return 1;
  }
  std::remove(theInput.c_str());
  std::remove(theOutput.c_str());
  std::remove(theCopy.c_str());
  rmdir(theFolder);

  const Errors theLibraryErrors = MeasureErrors(theSource, theLibraryResult);
  const Errors theMagickErrors = MeasureErrors(theSource, theMagickResult);
  const double theMagickNet = theMagickSeconds - theOverhead;
  std::printf("2000 x 2000 photo-like picture (%d colours) to 256 colours, Floyd-Steinberg, best of %d\n",
              CountColors(theSource), kRuns);
  std::printf("%-34s %9s %8s %12s %8s\n", "", "seconds", "colours", "mean error", "4x4 mean");
  std::printf("%-34s %9.3f %8ld %12.2f %8.2f\n", "library (Paleteer + ColorReducer)", theLibrarySeconds,
              static_cast<long>(theLibrary.Colors()), theLibraryErrors.mMean, theLibraryErrors.mBlurred);
  std::printf("%-34s %9.3f %8d %12.2f %8.2f\n", "convert (whole run)", theMagickSeconds, CountColors(theMagickResult),
              theMagickErrors.mMean, theMagickErrors.mBlurred);
  std::printf("%-34s %9.3f\n", "convert (net of reading, writing)", theMagickNet);
  std::printf("time ratio library / convert: %.2f whole, %.2f net\n", theLibrarySeconds / theMagickSeconds,
              theLibrarySeconds / theMagickNet);
  std::printf("error ratio library / convert: %.2f per pixel, %.2f over 4x4 blocks\n",
              theLibraryErrors.mMean / theMagickErrors.mMean, theLibraryErrors.mBlurred / theMagickErrors.mBlurred);
  return 0;
}
