#include "tests/platform/JpegTestImages.h"

#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace jpegtest {

Image Picture(int inWidth, int inHeight, int inChannels)
{
  // Per quadrant: R, G, B; grey level; C, M, Y, K.
  struct Quadrant {
    BYTE mRGB[3];
    BYTE mGrey;
    BYTE mInks[4];
  };
  static const Quadrant kQuadrants[4] = {
    {{255, 0, 0}, 60, {0, 255, 255, 0}},    {{0, 255, 0}, 110, {255, 0, 255, 0}},
    {{0, 0, 255}, 160, {255, 255, 0, 0}},   {{255, 255, 0}, 210, {0, 0, 255, 0}},
  };
  Image thePicture{inWidth, inHeight, inChannels, {}};
  thePicture.mSamples.reserve(static_cast<std::size_t>(inWidth) * inHeight * inChannels);
  for (int theY = 0; theY < inHeight; ++theY)
    for (int theX = 0; theX < inWidth; ++theX) {
      const Quadrant& theQuadrant = kQuadrants[(theY * 2 / inHeight) * 2 + theX * 2 / inWidth];
      const BYTE theShade = static_cast<BYTE>(theX * 40 / inWidth);
      for (int theChannel = 0; theChannel < inChannels; ++theChannel) {
        BYTE theSample = theChannel;
        if (inChannels == 3)
          theSample = theQuadrant.mRGB[theChannel] ? theQuadrant.mRGB[theChannel] - theShade : theShade;
        else if (inChannels == 1)
          theSample = theQuadrant.mGrey - theShade;
        else if (inChannels == 4)
          theSample = theChannel == 3 ? theShade : theQuadrant.mInks[theChannel];
        else
          theSample = static_cast<BYTE>(theX + theY * theChannel);
        thePicture.mSamples.push_back(theSample);
      }
    }
  return thePicture;
}

Bytes MakeJpeg(const JpegSpec& inSpec)
{
  return MakeJpeg(inSpec, Picture(inSpec.mWidth, inSpec.mHeight, inSpec.mChannels));
}

Bytes MakeJpeg(const JpegSpec& inSpec, const Image& inPicture)
{
  jpeg_compress_struct theInfo{};
  jpeg_error_mgr theErrors{};
  theInfo.err = jpeg_std_error(&theErrors);
  jpeg_create_compress(&theInfo);
  unsigned char* theBuffer = nullptr;
  unsigned long theSize = 0;
  jpeg_mem_dest(&theInfo, &theBuffer, &theSize);
  theInfo.image_width = static_cast<JDIMENSION>(inPicture.mWidth);
  theInfo.image_height = static_cast<JDIMENSION>(inPicture.mHeight);
  theInfo.input_components = inPicture.mChannels;
  theInfo.in_color_space = inPicture.mChannels == 3   ? JCS_RGB
                           : inPicture.mChannels == 1 ? JCS_GRAYSCALE
                           : inPicture.mChannels == 4 ? JCS_CMYK
                                                      : JCS_UNKNOWN;
  jpeg_set_defaults(&theInfo);
  jpeg_set_colorspace(&theInfo, inSpec.mFileSpace);
  theInfo.write_Adobe_marker = theInfo.write_Adobe_marker && inSpec.mAdobe;
  jpeg_set_quality(&theInfo, inSpec.mQuality, TRUE);
  // The first channel, and black, which YCCK samples as it samples Y.
  for (int theIndex : {0, 3})
    if (theIndex < theInfo.num_components) {
      theInfo.comp_info[theIndex].h_samp_factor = inSpec.mHSampling;
      theInfo.comp_info[theIndex].v_samp_factor = inSpec.mVSampling;
    }
  if (inSpec.mProgressive)
    jpeg_simple_progression(&theInfo);
  jpeg_start_compress(&theInfo, TRUE);
  if (!inSpec.mProfile.empty())
    jpeg_write_icc_profile(&theInfo, inSpec.mProfile.data(), static_cast<unsigned>(inSpec.mProfile.size()));
  const bool theInverted = inPicture.mChannels == 4 && inSpec.mAdobe;
  Bytes theRow(static_cast<std::size_t>(inPicture.mWidth) * inPicture.mChannels);
  for (int theY = 0; theY < inPicture.mHeight; ++theY) {
    for (std::size_t theIndex = 0; theIndex < theRow.size(); ++theIndex) {
      const BYTE theSample = inPicture.At(0, theY)[theIndex];
      theRow[theIndex] = theInverted ? 255 - theSample : theSample;
    }
    JSAMPROW theRows[] = {theRow.data()};
    jpeg_write_scanlines(&theInfo, theRows, 1);
  }
  jpeg_finish_compress(&theInfo);
  jpeg_destroy_compress(&theInfo);
  Bytes theBytes(theBuffer, theBuffer + theSize);
  std::free(theBuffer);
  return theBytes;
}

Bytes WithFrameSize(Bytes inJpeg, int inWidth, int inHeight)
{
  for (std::size_t theIndex = 2; theIndex + 9 < inJpeg.size(); ++theIndex)
    if (inJpeg[theIndex] == 0xFF && inJpeg[theIndex + 1] >= 0xC0 && inJpeg[theIndex + 1] <= 0xC2) {
      inJpeg[theIndex + 5] = static_cast<BYTE>(inHeight >> 8);
      inJpeg[theIndex + 6] = static_cast<BYTE>(inHeight);
      inJpeg[theIndex + 7] = static_cast<BYTE>(inWidth >> 8);
      inJpeg[theIndex + 8] = static_cast<BYTE>(inWidth);
      return inJpeg;
    }
  throw std::runtime_error("no frame header");
}

Bytes WithRepeatedScan(const Bytes& inJpeg, int inCopies)
{
  std::vector<std::size_t> theScans;
  for (std::size_t theIndex = 0; theIndex + 1 < inJpeg.size(); ++theIndex)
    if (inJpeg[theIndex] == 0xFF && inJpeg[theIndex + 1] == 0xDA)
      theScans.push_back(theIndex);
  Bytes theScan(inJpeg.begin() + static_cast<long>(theScans[1]), inJpeg.begin() + static_cast<long>(theScans[2]));
  Bytes theStream(inJpeg.begin(), inJpeg.end() - 2);
  for (int theCopy = 0; theCopy < inCopies; ++theCopy)
    theStream.insert(theStream.end(), theScan.begin(), theScan.end());
  theStream.insert(theStream.end(), {0xFF, 0xD9});
  return theStream;
}

std::string WriteTempFile(const Bytes& inBytes, const std::string& inName)
{
  const std::string thePath = tltest::MakeTempFolder("jpeg") + "/" + inName;
  std::ofstream(thePath, std::ios::binary).write(reinterpret_cast<const char*>(inBytes.data()),
                                                 static_cast<std::streamsize>(inBytes.size()));
  return thePath;
}

Image Djpeg(const std::string& inPath, int inScale)
{
  const std::string theOutput = inPath + ".pnm";
  tltest::RunResult theRun =
    tltest::RunProgram({"/usr/bin/djpeg", "-scale", "1/" + std::to_string(inScale), "-pnm", "-outfile", theOutput, inPath});
  if (theRun.mStatus != 0)
    throw std::runtime_error("djpeg failed: " + theRun.mErr);
  std::ifstream theFile(theOutput, std::ios::binary);
  std::string theMagic;
  int theMax = 0;
  Image theImage;
  theFile >> theMagic >> theImage.mWidth >> theImage.mHeight >> theMax;
  theFile.get();
  theImage.mChannels = theMagic == "P6" ? 3 : 1;
  theImage.mSamples.resize(static_cast<std::size_t>(theImage.mWidth) * theImage.mHeight * theImage.mChannels);
  theFile.read(reinterpret_cast<char*>(theImage.mSamples.data()), static_cast<std::streamsize>(theImage.mSamples.size()));
  return theImage;
}

std::string Sampling(const Bytes& inJpeg)
{
  jpeg_decompress_struct theInfo{};
  jpeg_error_mgr theErrors{};
  theInfo.err = jpeg_std_error(&theErrors);
  jpeg_create_decompress(&theInfo);
  jpeg_mem_src(&theInfo, inJpeg.data(), static_cast<unsigned long>(inJpeg.size()));
  jpeg_read_header(&theInfo, TRUE);
  std::ostringstream theText;
  for (int theIndex = 0; theIndex < theInfo.num_components; ++theIndex)
    theText << (theIndex ? "," : "") << theInfo.comp_info[theIndex].h_samp_factor << "x"
            << theInfo.comp_info[theIndex].v_samp_factor;
  jpeg_destroy_decompress(&theInfo);
  return theText.str();
}

}  // namespace jpegtest
