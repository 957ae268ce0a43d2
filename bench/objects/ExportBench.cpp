// Exports a 1000 x 1000 photo-like canvas through the Export operation as
// GIF (adaptive palette of 256 colours, dithered, LZW) and as JPEG at the
// default quality (library quality 70, chroma 2 x 1), into memory as GetAs
// does and the JPEG to a file too, as SaveAs does; and the same pixels with
// ImageMagick's convert, libvips and cjpeg, and MagickCore (convert's GIF
// work) and libjpeg-turbo called in this process (the encoding alone: no
// process to start, no file to read). Prints
// the times and the ratios to ours in memory.
//
//   tl_bench_export [convert-command]    (default: convert)
//
// Times are processor seconds (user and system, all threads), the best of
// three runs: on a machine shared with other work they move far less than
// elapsed time. A command reads the picture as PPM and writes its file; the
// same command on a 1 x 1 PPM is timed too and taken off, so that its
// start-up does not count. The commands run on one thread, as the export
// does (convert with "-limit thread 1", vips with VIPS_CONCURRENCY=1): idle
// OpenMP threads spinning on a busy machine would otherwise count as work.
// The libvips JPEG is 4:2:0 (its command offers no 2 x 1 sampling).

#include "core/Bitmap.h"
#include "core/Preferences.h"
#include "objects/Export.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#include <sys/resource.h>
#include <unistd.h>

// libjpeg's header needs <cstdio> first.
#include <jpeglib.h>
#include <magick/MagickCore.h>

namespace {

constexpr LONG kSide = 1000;
constexpr int kRuns = 3;

// R, G, B of a pixel: gradients, a disc, a stripe pattern and a little noise.
std::vector<std::uint8_t> MakePhoto()
{
  std::vector<std::uint8_t> theRGB(static_cast<std::size_t>(kSide) * kSide * 3);
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
      theSeed = theSeed * 1664525u + 1013904223u;
      const int theNoise = static_cast<int>(theSeed >> 28) - 8;
      const double theChannels[3] = {r, g, b};
      for (int c = 0; c < 3; ++c)
        theRGB[(static_cast<std::size_t>(y) * kSide + x) * 3 + c] =
          static_cast<std::uint8_t>(std::lround(std::clamp(theChannels[c] + theNoise, 0.0, 255.0)));
    }
  return theRGB;
}

bool WritePPM(const std::string& inPath, const std::uint8_t* inRGB, LONG inSide)
{
  std::ofstream theFile(inPath, std::ios::binary);
  theFile << "P6\n" << inSide << " " << inSide << "\n255\n";
  theFile.write(reinterpret_cast<const char*>(inRGB), static_cast<std::streamsize>(inSide) * inSide * 3);
  return static_cast<bool>(theFile);
}

// User and system seconds of this process and of its waited-for children.
double ProcessorSeconds()
{
  double theSeconds = 0;
  for (int theWho : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage theUsage{};
    getrusage(theWho, &theUsage);
    for (const timeval& theTime : {theUsage.ru_utime, theUsage.ru_stime})
      theSeconds += static_cast<double>(theTime.tv_sec) + static_cast<double>(theTime.tv_usec) * 1e-6;
  }
  return theSeconds;
}

double BestSeconds(const std::function<bool()>& inRun)
{
  double theBest = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    const double theStart = ProcessorSeconds();
    if (!inRun())
      return -1;
    theBest = std::min(theBest, ProcessorSeconds() - theStart);
  }
  return theBest;
}

struct CommandTimes {
  double mWhole = -1;    // on the picture
  double mStartUp = -1;  // on one pixel
};

// The command with {in} and {out} replaced, on the picture and on one pixel.
CommandTimes TimeCommand(std::string inCommand, const std::string& inFolder, const std::string& inOutName)
{
  auto theRun = [&](const std::string& inInput) {
    std::string theCommand = inCommand;
    theCommand.replace(theCommand.find("{in}"), 4, inFolder + "/" + inInput);
    theCommand.replace(theCommand.find("{out}"), 5, inFolder + "/" + inOutName);
    return BestSeconds([&] { return std::system((theCommand + " >/dev/null 2>&1").c_str()) == 0; });
  };
  return {theRun("photo.ppm"), theRun("dot.ppm")};
}

// GetAs as inType, with outLength the bytes' length; or SaveAs to inPath.
double ExportSeconds(Bitmap& inWorld, const char* inType, const char* inParams, LONG* outLength,
                     const std::string& inPath = "")
{
  return BestSeconds([&] {
    Export theOp(inPath.empty() ? "Get As:" : "Save As:");
    theOp.GetParams()->Depth = 1 << 24;
    if (!inPath.empty())
      theOp.SetFile(inPath.c_str());
    theOp.SetType(inType);
    theOp.SetParameters(inParams);
    theOp.Run(inWorld, nullptr);
    if (outLength)
      *outLength = theOp.GetDataSize();
    return !theOp.GetError()->HasError();
  });
}

// libjpeg-turbo encoding the R, G, B rows into memory as cjpeg would;
// outLength the stream's length.
double LibrarySeconds(const std::vector<std::uint8_t>& inRGB, unsigned long& outLength)
{
  return BestSeconds([&] {
    jpeg_compress_struct theInfo{};
    jpeg_error_mgr theErrors{};
    theInfo.err = jpeg_std_error(&theErrors);
    jpeg_create_compress(&theInfo);
    unsigned char* theStream = nullptr;
    unsigned long theLength = 0;
    jpeg_mem_dest(&theInfo, &theStream, &theLength);
    theInfo.image_width = theInfo.image_height = kSide;
    theInfo.input_components = 3;
    theInfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&theInfo);
    jpeg_set_quality(&theInfo, 70, TRUE);
    theInfo.comp_info[0].h_samp_factor = 2;
    theInfo.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&theInfo, TRUE);
    while (theInfo.next_scanline < theInfo.image_height) {
      JSAMPROW theRow = const_cast<JSAMPROW>(&inRGB[std::size_t{theInfo.next_scanline} * kSide * 3]);
      jpeg_write_scanlines(&theInfo, &theRow, 1);
    }
    jpeg_finish_compress(&theInfo);
    jpeg_destroy_compress(&theInfo);
    std::free(theStream);
    outLength = theLength;
    return theLength > 0;
  });
}

// What convert does for the GIF, in this process through MagickCore itself
// (no start-up to take off): the R, G, B rows quantized to 256 colours with
// Floyd-Steinberg dithering and encoded as GIF into memory, on one thread.
double MagickGIFSeconds(const std::vector<std::uint8_t>& inRGB, std::size_t& outLength)
{
  MagickCoreGenesis(nullptr, MagickFalse);
  SetMagickResourceLimit(ThreadResource, 1);
  return BestSeconds([&] {
    ExceptionInfo* theException = AcquireExceptionInfo();
    Image* theImage = ConstituteImage(kSide, kSide, "RGB", CharPixel, inRGB.data(), theException);
    QuantizeInfo theQuantize;
    GetQuantizeInfo(&theQuantize);
    theQuantize.number_colors = 256;
    theQuantize.dither_method = FloydSteinbergDitherMethod;
    ImageInfo* theInfo = AcquireImageInfo();
    CopyMagickString(theInfo->magick, "GIF", MaxTextExtent);
    unsigned char* theBlob = nullptr;
    outLength = 0;
    if (theImage && QuantizeImage(&theQuantize, theImage)) {
      CopyMagickString(theImage->magick, "GIF", MaxTextExtent);
      theBlob = ImageToBlob(theInfo, theImage, &outLength, theException);
    }
    RelinquishMagickMemory(theBlob);
    DestroyImageInfo(theInfo);
    if (theImage)
      DestroyImage(theImage);
    DestroyExceptionInfo(theException);
    return theBlob != nullptr;
  });
}

// The command's time less its start-up beside ours; when the start-up
// (which moves by tens of milliseconds between runs) leaves less than a tenth
// of the whole, no ratio is given.
void Report(const char* inWhat, const CommandTimes& inTimes, double inOurs)
{
  if (inTimes.mWhole < 0 || inTimes.mStartUp < 0) {
    std::printf("  %-44s  failed\n", inWhat);
    return;
  }
  const double theNet = inTimes.mWhole - inTimes.mStartUp;
  std::printf("  %-44s %8.4f s (whole %.4f, start-up %.4f)", inWhat, theNet, inTimes.mWhole, inTimes.mStartUp);
  if (theNet > 0.1 * inTimes.mWhole)
    std::printf("  %6.2f x ours\n", theNet / inOurs);
  else
    std::printf("  start-up dominates\n");
}

}  // namespace

int main(int argc, char** argv)
{
  const std::string theConvert = argc > 1 ? argv[1] : "convert";
  char theFolder[] = "/tmp/tlbench-export-XXXXXX";
  if (!mkdtemp(theFolder))
    return 1;
  setenv("TESSALINE_HOME", theFolder, 1);
  if (SetPrefLong("UseLZW", 1) != 0)
    return 1;

  const std::vector<std::uint8_t> thePhoto = MakePhoto();
  const std::string theDir = theFolder;
  const std::uint8_t theDot[3] = {128, 128, 128};
  if (!WritePPM(theDir + "/photo.ppm", thePhoto.data(), kSide) || !WritePPM(theDir + "/dot.ppm", theDot, 1))
    return 1;

  Bitmap theWorld;
  theWorld.SetWidth(kSide);
  theWorld.SetHeight(kSide);
  LockedPixels thePixels;
  if (theWorld.Update() != 0 || !theWorld.LockPixels(thePixels))
    return 1;
  for (LONG y = 0; y < kSide; ++y)
    for (LONG x = 0; x < kSide; ++x) {
      const std::uint8_t* theSource = &thePhoto[(static_cast<std::size_t>(y) * kSide + x) * 3];
      std::uint8_t* theTarget = thePixels.mBase + static_cast<std::ptrdiff_t>(y) * thePixels.mRowBytes + 4 * x;
      theTarget[0] = theSource[2];
      theTarget[1] = theSource[1];
      theTarget[2] = theSource[0];
      theTarget[3] = 0;
    }
  theWorld.UnlockPixels();

  LONG theGIFLength = 0, theJPEGLength = 0;
  const double theGIF = ExportSeconds(theWorld, "gif", "dither=1", &theGIFLength);
  const double theJPEG = ExportSeconds(theWorld, "jpeg", "", &theJPEGLength);
  const double theJPEGFile = ExportSeconds(theWorld, "jpeg", "", nullptr, theDir + "/export.jpg");
  if (theGIF < 0 || theJPEG < 0 || theJPEGFile < 0)
    return 1;

  std::printf("1000 x 1000 photo-like picture, processor seconds, best of %d runs, commands less their start-up\n", kRuns);
  std::printf("GIF, 256 colours, Floyd-Steinberg:\n");
  std::printf("  %-44s %8.4f s  (%ld bytes)\n", "Export (adaptive, dithered, LZW)", theGIF, long{theGIFLength});
  std::size_t theMagickLength = 0;
  const double theMagick = MagickGIFSeconds(thePhoto, theMagickLength);
  std::printf("  %-44s %8.4f s  (%zu bytes)  %.2f x ours\n", "MagickCore in this process, as convert", theMagick,
              theMagickLength, theMagick / theGIF);
  Report("convert -dither FloydSteinberg -colors 256",
         TimeCommand(theConvert + " {in} -limit thread 1 -dither FloydSteinberg -colors 256 {out}", theDir, "convert.gif"), theGIF);
  Report("vips gifsave", TimeCommand("VIPS_CONCURRENCY=1 vips gifsave {in} {out}", theDir, "vips.gif"), theGIF);
  std::printf("JPEG, quality 70:\n");
  std::printf("  %-44s %8.4f s  (%ld bytes)\n", "Export (library quality 70, 2 x 1)", theJPEG, long{theJPEGLength});
  std::printf("  %-44s %8.4f s  (%.2f x ours in memory)\n", "Export to a file, as SaveAs", theJPEGFile,
              theJPEGFile / theJPEG);
  unsigned long theLibraryLength = 0;
  const double theLibrary = LibrarySeconds(thePhoto, theLibraryLength);
  std::printf("  %-44s %8.4f s  (%lu bytes)  %.2f x ours\n", "libjpeg-turbo in this process", theLibrary,
              theLibraryLength, theLibrary / theJPEG);
  Report("cjpeg -quality 70 -sample 2x1",
         TimeCommand("cjpeg -quality 70 -sample 2x1 -outfile {out} {in}", theDir, "cjpeg.jpg"), theJPEG);
  Report("convert -quality 70 -sampling-factor 2x1",
         TimeCommand(theConvert + " {in} -limit thread 1 -quality 70 -sampling-factor 2x1 {out}", theDir, "convert.jpg"), theJPEG);
  Report("vips jpegsave --Q 70 (4:2:0)", TimeCommand("VIPS_CONCURRENCY=1 vips jpegsave {in} {out} --Q 70", theDir, "vips.jpg"),
         theJPEG);
  return std::system(("rm -rf " + theDir).c_str()) == 0 ? 0 : 1;
}
