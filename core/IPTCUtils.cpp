#include "core/IPTCUtils.h"

#include "core/EventLog.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr BYTE kResourceSignature[] = {'8', 'B', 'I', 'M'};
constexpr LONG kIPTCTag = 0x1C;
constexpr LONG kExtendedLengthFlag = 0x80;
constexpr ULONGLONG kResolutionInfoSize = 16;
// The fraction of a 16.16 number is read as a part of 65535, so that 0xFFFF
// counts as a whole unit.
constexpr double kFractionScale = 1.5259021896696422e-05;

ULONGLONG Remaining(const ByteSource& inSource)
{
  return ULONGLONG{inSource.GetLength()} - inSource.GetPosition();
}

// Moves past inCount bytes; false, without moving, when fewer remain.
bool Skip(ByteSource& inSource, ULONGLONG inCount)
{
  if (inCount > Remaining(inSource))
    return false;
  inSource.Seek(static_cast<DWORD>(inSource.GetPosition() + inCount));
  return true;
}

double FixedToDouble(LONG inValue)
{
  return (inValue >> 16) + (inValue & 0xFFFF) * kFractionScale;
}

}  // namespace

const char* GetIPTCDataSetName(LONG inDataSet)
{
  const auto theEntry = std::find_if(kIPTCDataSetNames.begin(), kIPTCDataSetNames.end(),
                                     [=](const IPTCDataSetName& inEntry) { return inEntry.mDataSet == inDataSet; });
  return theEntry == kIPTCDataSetNames.end() ? "" : theEntry->mName;
}

LONG ReadBE16(ByteSource& inSource)
{
  const LONG theHigh = inSource.ReadByte();
  const LONG theLow = inSource.ReadByte();
  if (theHigh < 0 || theLow < 0)
    return -1;
  return theHigh << 8 | theLow;
}

LONG ReadBE32(ByteSource& inSource)
{
  const LONG theHigh = ReadBE16(inSource);
  const LONG theLow = ReadBE16(inSource);
  if (theHigh < 0 || theLow < 0)
    return -1;
  return static_cast<LONG>(static_cast<DWORD>(theHigh) << 16 | static_cast<DWORD>(theLow));
}

LONG FindImageResource(ByteSource& inSource, LONG inID, ByteSource& outData)
{
  outData.SetData(nullptr, 0);
  LONG theCount = 0;
  while (Remaining(inSource) >= std::size(kResourceSignature)) {
    const BYTE* theStart = inSource.GetCurrentPtr();
    const BYTE* theSignature = std::search(theStart, theStart + Remaining(inSource), std::begin(kResourceSignature),
                                           std::end(kResourceSignature));
    if (!Skip(inSource, static_cast<ULONGLONG>(theSignature - theStart) + std::size(kResourceSignature)))
      break;
    const LONG theID = ReadBE16(inSource);
    const LONG theNameLength = inSource.ReadByte();
    // The length byte and the name are padded to an even count.
    if (theID < 0 || theNameLength < 0 || !Skip(inSource, theNameLength + (theNameLength % 2 == 0 ? 1 : 0)))
      break;
    const LONG theSize = ReadBE32(inSource);
    if (theSize < 0)
      break;
    const BYTE* theData = inSource.GetCurrentPtr();
    TL_ASSERT(theData);
    if (!theData || !Skip(inSource, static_cast<ULONGLONG>(theSize)))
      break;
    if (theID == inID) {
      outData.SetData(theData, static_cast<DWORD>(theSize));
      break;
    }
    // Data of odd size is followed by a pad byte, which the next search passes over.
    ++theCount;
  }
  return theCount;
}

LONG ReadIPTCRecords(ByteSource& inSource, IPTCRecordProc inProc, void* inContext)
{
  TL_ASSERT(inProc);
  if (!inProc)
    return -1;
  LONG theTag;
  do
    theTag = inSource.ReadByte();
  while (theTag >= 0 && theTag != kIPTCTag);

  LONG theCount = 0;
  while (theTag == kIPTCTag) {
    const LONG theRecord = inSource.ReadByte();
    const LONG theDataSet = inSource.ReadByte();
    const LONG theLengthHigh = inSource.ReadByte();
    if (theRecord < 0 || theDataSet < 0 || theLengthHigh < 0)
      return -1;
    if (theLengthHigh & kExtendedLengthFlag)
      return 0;
    const LONG theLengthLow = inSource.ReadByte();
    if (theLengthLow < 0)
      return -1;
    const LONG theLength = theLengthHigh << 8 | theLengthLow;
    const BYTE* theData = inSource.GetCurrentPtr();
    TL_ASSERT_TEXT(theData, "str");
    if (!theData || !Skip(inSource, static_cast<ULONGLONG>(theLength)))
      return -1;
    inProc(theRecord, theDataSet, GetIPTCDataSetName(theDataSet), theData, theLength, inContext);
    ++theCount;
    theTag = inSource.ReadByte();
  }
  // The datasets end with their source; anything else there is a format error.
  return theTag < 0 ? theCount : -1;
}

void ReadResolutionInfo(ByteSource& inSource, double& outHorizontal, double& outVertical)
{
  outHorizontal = 72.0;
  outVertical = 72.0;
  if (Remaining(inSource) < kResolutionInfoSize)
    return;
  const LONG theHorizontal = ReadBE32(inSource);
  ReadBE16(inSource);  // horizontal unit
  ReadBE16(inSource);  // width unit
  const LONG theVertical = ReadBE32(inSource);
  outHorizontal = FixedToDouble(theHorizontal);
  outVertical = FixedToDouble(theVertical);
}
