#include "core/TIFFDirectories.h"

#include <set>

namespace {

constexpr std::size_t kMaxPages = 65536;
constexpr WORD kSamplesPerPixel = 277;
constexpr WORD kPhotometric = 262;
constexpr WORD kExtraSamples = 338;
constexpr WORD kPhotoshopLayers = 37724;
constexpr ULONGLONG kPhotometricRGB = 2;
constexpr WORD kShort = 3;
constexpr WORD kLong = 4;

class TIFFBytes {
public:
  TIFFBytes(const BYTE* inData, std::size_t inLength, bool inBigEndian)
      : mData(inData), mLength(inLength), mBigEndian(inBigEndian) {}

  bool Has(ULONGLONG inAt, ULONGLONG inCount) const { return inAt <= mLength && inCount <= mLength - inAt; }

  // inBytes bytes at inAt (inside the data) as an unsigned number.
  ULONGLONG Number(ULONGLONG inAt, unsigned inBytes) const
  {
    ULONGLONG theValue = 0;
    for (unsigned i = 0; i < inBytes; ++i)
      theValue |= ULONGLONG{mData[inAt + (mBigEndian ? inBytes - 1 - i : i)]} << (8 * i);
    return theValue;
  }

private:
  const BYTE* mData;
  std::size_t mLength;
  bool mBigEndian;
};

}  // namespace

TIFFPages ReadTIFFPages(const BYTE* inData, std::size_t inLength)
{
  TIFFPages thePages;
  if (!inData || inLength < 8 || inData[0] != inData[1] || (inData[0] != 'I' && inData[0] != 'M'))
    return thePages;
  const TIFFBytes theBytes(inData, inLength, inData[0] == 'M');
  const ULONGLONG theMagic = theBytes.Number(2, 2);
  if (theMagic != 42 && (theMagic != 43 || inLength < 16))
    return thePages;
  const bool theBig = theMagic == 43;
  // Classic: 2-byte entry counts, 12-byte entries, 4-byte offsets; BigTIFF:
  // 8, 20 and 8.
  const unsigned theOffsetSize = theBig ? 8 : 4;
  const unsigned theCountSize = theBig ? 8 : 2;
  const unsigned theEntrySize = theBig ? 20 : 12;
  std::set<ULONGLONG> theSeen;
  for (ULONGLONG theAt = theBytes.Number(theBig ? 8 : 4, theOffsetSize);
       theAt != 0 && thePages.mAlpha.size() < kMaxPages && theSeen.insert(theAt).second;) {
    if (!theBytes.Has(theAt, theCountSize))
      break;
    const ULONGLONG theEntries = theBytes.Number(theAt, theCountSize);
    const ULONGLONG theFirst = theAt + theCountSize;
    if (theEntries > inLength / theEntrySize || !theBytes.Has(theFirst, theEntries * theEntrySize + theOffsetSize))
      break;
    ULONGLONG theSamples = 1, thePhotometric = 0, theExtra = 0;
    for (ULONGLONG i = 0; i < theEntries; ++i) {
      const ULONGLONG theEntry = theFirst + i * theEntrySize;
      const auto theTag = static_cast<WORD>(theBytes.Number(theEntry, 2));
      const auto theType = static_cast<WORD>(theBytes.Number(theEntry + 2, 2));
      const ULONGLONG theCount = theBytes.Number(theEntry + 4, theOffsetSize);
      const ULONGLONG theValueAt = theEntry + 4 + theOffsetSize;
      const ULONGLONG theValue = theType == kShort ? theBytes.Number(theValueAt, 2)
                                 : theType == kLong ? theBytes.Number(theValueAt, 4)
                                                    : 0;
      if (theTag == kSamplesPerPixel)
        theSamples = theValue;
      else if (theTag == kPhotometric)
        thePhotometric = theValue;
      else if (theTag == kExtraSamples)
        theExtra = theCount;
      else if (theTag == kPhotoshopLayers)
        thePages.mLayers = true;
    }
    thePages.mAlpha.push_back(theExtra > 0 || (theSamples == 4 && thePhotometric == kPhotometricRGB));
    theAt = theBytes.Number(theFirst + theEntries * theEntrySize, theOffsetSize);
  }
  return thePages;
}
