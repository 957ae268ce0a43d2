#include "core/PNGChunks.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

namespace {

using Bytes = std::span<const BYTE>;

constexpr std::array<BYTE, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// A chunk's length and type, before its data; its CRC after.
constexpr std::size_t kChunkHead = 8;
constexpr std::size_t kChunkCRC = 4;

DWORD BigEndian32(const BYTE* inBytes)
{
  return DWORD{inBytes[0]} << 24 | DWORD{inBytes[1]} << 16 | DWORD{inBytes[2]} << 8 | inBytes[3];
}

bool IsStream(Bytes inBytes)
{
  return inBytes.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), inBytes.begin());
}

// The bytes after the first NUL from inAt on; empty without one.
Bytes AfterNul(Bytes inData, std::size_t inAt)
{
  const auto theNul = std::find(inData.begin() + static_cast<std::ptrdiff_t>(std::min(inAt, inData.size())),
                                inData.end(), BYTE{0});
  return theNul == inData.end() ? Bytes() : Bytes(theNul + 1, inData.end());
}

// The zlib stream of a compressed chunk's data; empty for other chunks.
Bytes CompressedPart(std::string_view inType, Bytes inData)
{
  // zTXt and iCCP: a name, NUL, the method byte, the stream.
  if (inType == "zTXt" || inType == "iCCP") {
    const Bytes theRest = AfterNul(inData, 0);
    return theRest.empty() ? theRest : theRest.subspan(1);
  }
  // iTXt: a keyword, NUL, the compression flag and method, a language tag,
  // NUL, the translated keyword, NUL, the text.
  if (inType == "iTXt") {
    const Bytes theRest = AfterNul(inData, 0);
    if (theRest.size() < 2 || theRest[0] != 1)
      return {};
    return AfterNul(AfterNul(theRest, 2), 0);
  }
  return {};
}

bool InflatesPastBound(Bytes inStream)
{
  if (inStream.empty())
    return false;
  z_stream theStream{};
  if (inflateInit(&theStream) != Z_OK)
    return false;
  theStream.next_in = const_cast<Bytef*>(inStream.data());
  theStream.avail_in = static_cast<uInt>(inStream.size());
  std::array<Bytef, 16384> theOutput;
  std::size_t theTotal = 0;
  int theResult = Z_OK;
  while (theResult == Z_OK && theTotal <= kMaxInflatedChunk) {
    theStream.next_out = theOutput.data();
    theStream.avail_out = static_cast<uInt>(theOutput.size());
    theResult = inflate(&theStream, Z_NO_FLUSH);
    theTotal += theOutput.size() - theStream.avail_out;
  }
  inflateEnd(&theStream);
  return theTotal > kMaxInflatedChunk;
}

std::string Fault(std::string_view inType, const std::string& inWhat)
{
  return "Corrupt PNG image: chunk \"" + std::string(inType) + "\" " + inWhat;
}

// The stream of inBytes, past its signature.
PNGFacts CheckStream(Bytes inBytes)
{
  PNGFacts theFacts;
  for (std::size_t theAt = kSignature.size(); theAt + kChunkHead <= inBytes.size();) {
    const DWORD theLength = BigEndian32(&inBytes[theAt]);
    const std::string_view theType(reinterpret_cast<const char*>(&inBytes[theAt + 4]), 4);
    const std::size_t theRemaining = inBytes.size() - theAt - kChunkHead;
    if (theLength > theRemaining) {
      theFacts.mFault = Fault(theType, "claims " + std::to_string(theLength) + " bytes, " +
                                           std::to_string(theRemaining) + " remain");
      return theFacts;
    }
    const Bytes theData = inBytes.subspan(theAt + kChunkHead, theLength);
    if (theType == "IHDR" && theAt == kSignature.size() && theLength >= 8) {
      theFacts.mWidth = BigEndian32(&theData[0]);
      theFacts.mHeight = BigEndian32(&theData[4]);
    }
    if (InflatesPastBound(CompressedPart(theType, theData))) {
      theFacts.mFault = Fault(theType, "inflates to more than " + std::to_string(kMaxInflatedChunk) + " bytes");
      return theFacts;
    }
    if (theType == "IEND")
      break;
    theAt += kChunkHead + theLength + kChunkCRC;
  }
  return theFacts;
}

}  // namespace

PNGFacts CheckPNGStream(const BYTE* inData, std::size_t inLength)
{
  const Bytes theBytes(inData, inData ? inLength : 0);
  return IsStream(theBytes) ? CheckStream(theBytes) : PNGFacts{};
}
