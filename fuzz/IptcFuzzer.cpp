// The image-resource search and the IPTC reader over any bytes: the input as
// a file that holds resource blocks, its IPTC block read as datasets, the
// input as a JPEG whose Photoshop APP13 segments are joined and searched the
// same way, and the input read as datasets by itself. Every block and
// dataset handed back lies inside what was searched, the joined segments are
// no longer than the input, the counts agree with what was handed over, and
// the resolution of any resolution block is a finite number.

#include "core/ByteSource.h"
#include "core/IPTCUtils.h"
#include "core/JPEGParser.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <vector>

namespace {

struct Bounds {
  const BYTE* mStart;
  const BYTE* mEnd;
  LONG mCount = 0;
};

bool Inside(const Bounds& inBounds, const BYTE* inData, LONG inLength)
{
  return inLength >= 0 && inData >= inBounds.mStart && inData + inLength <= inBounds.mEnd;
}

void CheckDataSet(LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData, LONG inLength,
                  void* inContext)
{
  auto& theBounds = *static_cast<Bounds*>(inContext);
  TL_FUZZ_CHECK(inRecord >= 0 && inRecord <= 255 && inDataSet >= 0 && inDataSet <= 255);
  TL_FUZZ_CHECK(inName && std::string_view(inName) == GetIPTCDataSetName(inDataSet));
  TL_FUZZ_CHECK(inLength <= 0x7FFF && Inside(theBounds, inData, inLength));
  ++theBounds.mCount;
}

void ReadDataSets(const BYTE* inData, DWORD inLength)
{
  ByteSource theSource(inData, inLength);
  Bounds theBounds{inData, inData + inLength};
  const LONG theCount = ReadIPTCRecords(theSource, CheckDataSet, &theBounds);
  TL_FUZZ_CHECK(theCount == -1 || theCount == 0 || theCount == theBounds.mCount);
}

// The IPTC block of resources, read as datasets.
void ReadIPTCBlock(const BYTE* inData, DWORD inLength)
{
  const Bounds theResources{inData, inData + inLength};
  ByteSource theFile(inData, inLength);
  ByteSource theIPTC;
  const LONG thePassed = FindImageResource(theFile, kIPTCResourceID, theIPTC);
  TL_FUZZ_CHECK(thePassed >= 0);
  if (theIPTC.GetLength() > 0) {
    const BYTE* theStart = theIPTC.Seek(0);
    TL_FUZZ_CHECK(Inside(theResources, theStart, static_cast<LONG>(theIPTC.GetLength())));
    ReadDataSets(theStart, theIPTC.GetLength());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  const DWORD theLength = static_cast<DWORD>(std::min<std::size_t>(inSize, 1 << 20));
  ReadIPTCBlock(inData, theLength);

  ByteSource theJPEG(inData, theLength);
  JPEGParser theParser;
  theParser.SetSource(&theJPEG);
  const std::vector<BYTE> theJoined = theParser.TakePhotoshopResources();
  TL_FUZZ_CHECK(theJoined.size() <= theLength);
  ReadIPTCBlock(theJoined.data(), static_cast<DWORD>(theJoined.size()));

  ByteSource theAgain(inData, theLength);
  ByteSource theResolution;
  FindImageResource(theAgain, kResolutionResourceID, theResolution);
  double theHorizontal = 0;
  double theVertical = 0;
  ReadResolutionInfo(theResolution, theHorizontal, theVertical);
  TL_FUZZ_CHECK(std::isfinite(theHorizontal) && std::isfinite(theVertical));

  ReadDataSets(inData, theLength);
  return 0;
}
