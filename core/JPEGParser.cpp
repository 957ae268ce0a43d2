#include "core/JPEGParser.h"

#include "core/EventLog.h"
#include "core/MappedFileSource.h"
#include "platform/base/Numbers.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr BYTE kMarkerPrefix = 0xFF;
constexpr BYTE kSOI = 0xD8;
constexpr BYTE kEOI = 0xD9;
constexpr std::size_t kMaxText = 255;
constexpr std::size_t kMaxICCChunks = 256;
constexpr BYTE kICCIdentifier[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr BYTE kJFIFIdentifier[5] = {'J', 'F', 'I', 'F', 0};
constexpr BYTE kAdobeIdentifier[5] = {'A', 'd', 'o', 'b', 'e'};
constexpr BYTE kPhotoshopIdentifier[14] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};

const char* ProcessName(BYTE inMarker)
{
  switch (inMarker) {
    case 0xC0: return "JPEG Process: Baseline";
    case 0xC1: return "JPEG Process: Extended sequential";
    case 0xC2: return "JPEG Process: Progressive";
    case 0xC3: return "JPEG Process: Lossless";
    case 0xC5: return "JPEG Process: Differential sequential";
    case 0xC6: return "JPEG Process: Differential progressive";
    case 0xC7: return "JPEG Process: Differential lossless";
    case 0xC9: return "JPEG Process: Extended sequential, arithmetic coding";
    case 0xCA: return "JPEG Process: Progressive, arithmetic coding";
    case 0xCB: return "JPEG Process: Lossless, arithmetic coding";
    case 0xCD: return "JPEG Process: Differential sequential, arithmetic coding";
    case 0xCE: return "JPEG Process: Differential progressive, arithmetic coding";
    case 0xCF: return "JPEG Process: Differential lossless, arithmetic coding";
    default: return "JPEG Process: Unknown";
  }
}

bool IsStartOfFrame(BYTE inMarker)
{
  return inMarker >= 0xC0 && inMarker <= 0xCF && inMarker != 0xC4 && inMarker != 0xC8 && inMarker != 0xCC;
}

bool IsJPEGSource(ByteSource& inSource)
{
  JPEGParser theParser;
  theParser.SetSource(&inSource);
  try {
    return theParser.Check() == 0;
  } catch (const JPEGParserFailure&) {
    return false;
  }
}

}  // namespace

void JPEGParser::SetSource(ByteSource* inSource)
{
  mSource = inSource;
}

void JPEGParser::SetDebug(bool inDebug)
{
  mDebug = inDebug;
}

std::vector<BYTE> JPEGParser::TakeICC()
{
  try {
    ParseAll();
  } catch (const JPEGParserFailure&) {
    // The error text tells; a profile completed before the failure stands.
  }
  std::vector<BYTE> theProfile;
  theProfile.swap(mICCData);
  return theProfile;
}

DWORD JPEGParser::GetICCSize()
{
  try {
    ParseAll();
  } catch (const JPEGParserFailure&) {
    // As in TakeICC.
  }
  return static_cast<DWORD>(mICCData.size());
}

std::vector<BYTE> JPEGParser::TakePhotoshopResources()
{
  mCollectPhotoshop = true;
  try {
    Parse();
  } catch (const JPEGParserFailure&) {
    // The error text tells; the segments joined before the failure stand.
  }
  mCollectPhotoshop = false;
  return std::exchange(mPhotoshopData, {});
}

bool JPEGParser::StartsWithSOI()
{
  if (mSource)
    mSource->Seek(0);
  if (ReadByte() == kMarkerPrefix && ReadByte() == kSOI)
    return true;
  mError = "JPEG header missing";
  return false;
}

LONG JPEGParser::Check()
{
  if (!StartsWithSOI())
    return 1;
  DWORD theLength = mSource->GetLength();
  if (theLength >= 4) {
    mSource->Seek(theLength - 2);
    if (ReadByte() == kMarkerPrefix && ReadByte() == kEOI)
      return 0;
  }
  return Parse();
}

LONG JPEGParser::Parse()
{
  if (!StartsWithSOI())
    return 1;
  bool theInScan = false;
  for (;;) {
    bool theSkipped = false;
    BYTE theMarker = NextMarker(theInScan, theSkipped);
    theInScan = false;
    if (!HandleMarker(theMarker, theInScan))
      return 0;
  }
}

void JPEGParser::ParseAll()
{
  if (mParsed)
    return;
  mParsed = true;
  mCollectICC = true;
  mStopAfterICC = true;
  Parse();
}

bool JPEGParser::HandleMarker(BYTE inMarker, bool& outInScan)
{
  if (IsStartOfFrame(inMarker)) {
    SOF(inMarker);
    return true;
  }
  if (inMarker >= 0xD0 && inMarker <= 0xD7) {
    Log("Restart");
    outInScan = true;
    return true;
  }
  switch (inMarker) {
    case 0x01: Log("Warning - Temporary Reserved Marker Used"); break;
    case 0xC4: SkipMarker("DHT"); break;
    case kSOI: SkipMarker("Start of Image"); break;
    case kEOI: Log("End of Image"); return false;
    case 0xDA:
      SOS();
      outInScan = true;
      // The resources a writer puts into APP13 segments stand before the image data.
      if (mCollectPhotoshop)
        return false;
      break;
    case 0xDB: SkipMarker("DQT"); break;
    case 0xE0: APP0(); break;
    case 0xE2:
      APP2();
      if (mStopAfterICC && mICCAssembled)
        return false;
      break;
    case 0xEC: TextMarker("Application 12"); break;
    case 0xED: APP13(); break;
    case 0xEE: APP14(); break;
    case 0xFE: TextMarker("Comment"); break;
    default: SkipMarker("Unknown"); break;
  }
  return true;
}

BYTE JPEGParser::NextMarker(bool inInScan, bool& outSkipped)
{
  BYTE theByte;
  do {
    DWORD theCount = 0;
    ScanTo(kMarkerPrefix, theCount);
    outSkipped = theCount >= 2;
    do
      theByte = ReadByte();
    while (theByte == kMarkerPrefix);
  } while (theByte == 0 && inInScan);
  return theByte;
}

WORD JPEGParser::ReadLength()
{
  WORD theLength = Read16();
  if (theLength < 2)
    Fail("Bad JPEG marker length");
  return theLength;
}

void JPEGParser::SkipMarker(const char* inName)
{
  WORD theLength = ReadLength();
  if (mDebug) {
    Log(inName);
    Log(FormatC("Length = %" PRId32, static_cast<LONG>(theLength)));
  }
  Skip(theLength - 2u);
}

void JPEGParser::TextMarker(const char* inName)
{
  DWORD theCount = ReadLength() - 2u;
  DWORD theKept = std::min<DWORD>(theCount, kMaxText);
  std::string theText(theKept, '\0');
  Read(theKept, reinterpret_cast<BYTE*>(theText.data()));
  Skip(theCount - theKept);
  if (mDebug) {
    Log(inName);
    Log(theText.c_str());
  }
}

void JPEGParser::SOF(BYTE inMarker)
{
  WORD theLength = ReadLength();
  LONG thePrecision = ReadByte();
  mHeight = Read16();
  mWidth = Read16();
  mComponents = ReadByte();
  if (mDebug) {
    Log("Start of Frame");
    Log(FormatC("JPEG image: %" PRId32 " by %" PRId32 ", %" PRId32 " components, %" PRId32 " bits per sample", mWidth,
                mHeight, mComponents, thePrecision));
    Log(ProcessName(inMarker));
  }
  if (theLength != 8 + 3 * mComponents)
    Fail("Bad SOF marker length");
  Skip(3u * static_cast<DWORD>(mComponents));
}

void JPEGParser::SOS()
{
  WORD theLength = ReadLength();
  LONG theComponents = ReadByte();
  Log("Start of Scan");
  if (theLength != 6 + 2 * theComponents)
    Fail("Bad SOS marker length");
  if (mDebug)
    Log(FormatC("Length = %" PRId32 ", Components = %" PRId32, static_cast<LONG>(theLength), theComponents));
  Skip(theLength - 3u);
}

void JPEGParser::APP0()
{
  WORD theLength = ReadLength();
  if (theLength < 14) {
    Skip(theLength - 2u);
    return;
  }
  BYTE theIdentifier[5];
  Read(sizeof theIdentifier, theIdentifier);
  if (std::memcmp(theIdentifier, kJFIFIdentifier, sizeof theIdentifier) == 0) {
    mJFIF.mPresent = true;
    mJFIF.mMajorVersion = ReadByte();
    mJFIF.mMinorVersion = ReadByte();
    mJFIF.mUnits = ReadByte();
    mJFIF.mXDensity = Read16();
    mJFIF.mYDensity = Read16();
    Log("JFIF APP0 Header");
  } else {
    Skip(7);
  }
  Skip(theLength - 14u);
}

void JPEGParser::APP13()
{
  if (!mCollectPhotoshop) {
    SkipMarker("Application 13");
    return;
  }
  DWORD theCount = ReadLength() - 2u;
  Log("Application 13");
  if (theCount < sizeof kPhotoshopIdentifier) {
    Skip(theCount);
    return;
  }
  BYTE theIdentifier[sizeof kPhotoshopIdentifier];
  Read(sizeof theIdentifier, theIdentifier);
  theCount -= sizeof theIdentifier;
  if (std::memcmp(theIdentifier, kPhotoshopIdentifier, sizeof theIdentifier) != 0) {
    Skip(theCount);
    return;
  }
  std::vector<BYTE> theData(theCount);
  Read(theCount, theData.data());
  mPhotoshopData.insert(mPhotoshopData.end(), theData.begin(), theData.end());
}

void JPEGParser::APP14()
{
  WORD theLength = ReadLength();
  if (theLength < 14) {
    Skip(theLength - 2u);
    return;
  }
  BYTE theIdentifier[5];
  Read(sizeof theIdentifier, theIdentifier);
  if (std::memcmp(theIdentifier, kAdobeIdentifier, sizeof theIdentifier) == 0) {
    mAdobePresent = true;
    Skip(6);  // version and two flag words
    mAdobeTransform = ReadByte();
    Log("Adobe APP14 Header");
  } else {
    Skip(7);
  }
  Skip(theLength - 14u);
}

void JPEGParser::APP2()
{
  WORD theLength = ReadLength();
  if (theLength < 16 || mICCAssembled) {
    Skip(theLength - 2u);
    return;
  }
  BYTE theIdentifier[12];
  Read(sizeof theIdentifier, theIdentifier);
  BYTE theNumber = ReadByte();
  BYTE theTotal = ReadByte();
  if (mDebug)
    Log(FormatC("ICC Chunk %" PRId32 " of %" PRId32, static_cast<LONG>(theNumber), static_cast<LONG>(theTotal)));
  DWORD theDataLength = theLength - 16u;
  bool theWanted = mCollectICC && std::memcmp(theIdentifier, kICCIdentifier, sizeof theIdentifier) == 0 &&
                   theNumber != 0 && theTotal != 0 && theNumber <= theTotal &&
                   (mICCChunks.empty() || theNumber <= mICCChunkCount);
  if (!theWanted) {
    Skip(theDataLength);
    return;
  }
  if (mICCChunks.empty()) {
    mICCChunkCount = theTotal;
    mICCChunks.resize(kMaxICCChunks);
  }
  std::vector<BYTE> theChunk(theDataLength);
  Read(theDataLength, theChunk.data());
  mICCChunks[theNumber - 1u] = std::move(theChunk);
  AssembleICC();
}

void JPEGParser::AssembleICC()
{
  if (mICCAssembled || mICCChunks.empty())
    return;
  auto theEnd = mICCChunks.begin() + mICCChunkCount;
  if (std::any_of(mICCChunks.begin(), theEnd, [](const auto& inChunk) { return !inChunk.has_value(); }))
    return;
  std::vector<BYTE> theProfile;
  for (auto theChunk = mICCChunks.begin(); theChunk != theEnd; ++theChunk)
    theProfile.insert(theProfile.end(), (*theChunk)->begin(), (*theChunk)->end());
  mICCData = std::move(theProfile);
  mICCAssembled = true;
  FreeICCChunks();
}

void JPEGParser::FreeICCChunks()
{
  mICCChunks = {};
  mICCChunkCount = 0;
}

DWORD JPEGParser::Remaining() const
{
  return mSource ? mSource->GetLength() - mSource->GetPosition() : 0;
}

BYTE JPEGParser::ReadByte()
{
  LONG theByte = mSource ? mSource->ReadByte() : -1;
  if (theByte < 0)
    Fail("JPEG file too short");
  return static_cast<BYTE>(theByte);
}

WORD JPEGParser::Read16()
{
  WORD theHigh = ReadByte();
  return static_cast<WORD>(theHigh << 8 | ReadByte());
}

void JPEGParser::Read(DWORD inCount, BYTE* outBytes)
{
  if (inCount > Remaining()) {
    Skip(inCount);
    return;
  }
  if (inCount > 0)
    std::memcpy(outBytes, mSource->GetCurrentPtr(), inCount);
  mSource->Seek(mSource->GetPosition() + inCount);
}

void JPEGParser::ScanTo(BYTE inByte, DWORD& outCount)
{
  DWORD theRemaining = Remaining();
  const void* theHit = theRemaining > 0 ? std::memchr(mSource->GetCurrentPtr(), inByte, theRemaining) : nullptr;
  if (!theHit) {
    if (mSource)
      mSource->Seek(mSource->GetLength());
    Fail("JPEG file too short");
  }
  outCount = static_cast<DWORD>(static_cast<const BYTE*>(theHit) - mSource->GetCurrentPtr()) + 1;
  mSource->Seek(mSource->GetPosition() + outCount);
}

void JPEGParser::Skip(ULONGLONG inCount)
{
  if (inCount > Remaining()) {
    if (mSource)
      mSource->Seek(mSource->GetLength());
    Fail("JPEG file too short");
  }
  mSource->Seek(mSource->GetPosition() + static_cast<DWORD>(inCount));
}

void JPEGParser::Log(const std::string& inText)
{
  if (mDebug)
    std::fprintf(stderr, "%s\n", inText.c_str());
}

void JPEGParser::Fail(const char* inText)
{
  mError = inText;
  throw JPEGParserFailure(inText);
}

bool IsJPEGData(const void* inData, DWORD inLength)
{
  TL_ASSERT_TEXT(inData, "inPtr");
  TL_ASSERT_TEXT(inLength > 0, "inLen > 0");
  if (!inData || inLength == 0)
    return false;
  ByteSource theSource(inData, inLength);
  return IsJPEGSource(theSource);
}

bool IsJPEGFile(const char* inPath)
{
  TL_ASSERT_TEXT(inPath, "inFile");
  // Check's first test, SOI at the start and EOI at the end, from four bytes.
  BYTE theFirst[2];
  BYTE theLast[2];
  if (inPath && ReadFileEnds(inPath, 2, theFirst, theLast) && theFirst[0] == kMarkerPrefix && theFirst[1] == kSOI &&
      theLast[0] == kMarkerPrefix && theLast[1] == kEOI)
    return true;
  MappedFileSource theSource;
  if (!inPath || theSource.Open(inPath))
    return false;
  return IsJPEGSource(theSource);
}
