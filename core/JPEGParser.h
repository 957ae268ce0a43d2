#pragma once
// A walk over the marker segments of a JPEG stream (baseline and extended
// JPEG, with the JFIF APP0, Adobe APP14 and ICC_PROFILE APP2 conventions)
// that reads the frame size, the component count, the JFIF and Adobe fields
// and the embedded ICC profile without decoding the image.
//
// The walk reads from a ByteSource it does not own. Format failures inside
// the walk set the error text and throw JPEGParserFailure: "JPEG file too
// short", "Bad JPEG marker length" (a segment length below 2),
// "Bad SOF marker length", "Bad SOS marker length". A stream that does not
// start with a start-of-image marker answers 1 with "JPEG header missing".
//
// The ICC profile is collected by ParseAll: chunk n of N of each
// "ICC_PROFILE" APP2 segment is kept until chunks 1 to N are all there, where
// N is the total of the first chunk kept; then they are joined in order and
// the walk stops. Chunks announcing a total of 0, numbered 0 or above the
// total are ignored; a chunk that comes again replaces the earlier copy.
//
// The Photoshop image resources are collected by TakePhotoshopResources: the
// data after "Photoshop 3.0" and its zero of every APP13 segment before the
// first scan, joined in file order, since a writer splits resources that
// outgrow one segment over several, cutting anywhere inside a block.
//
//   ByteSource theSource(thePtr, theLength);
//   JPEGParser theParser;
//   theParser.SetSource(&theSource);
//   std::vector<BYTE> theProfile = theParser.TakeICC();  // empty: none

#include "core/ByteSource.h"
#include "platform/base/WinTypes.h"

#include <optional>
#include <string>
#include <vector>

// What the parser throws; its text is the parser's error text.
class JPEGParserFailure {
public:
  explicit JPEGParserFailure(const char* inText) : mText(inText) {}
  const char* GetText() const { return mText; }

private:
  const char* mText;
};

struct JFIFFields {
  bool mPresent = false;
  BYTE mMajorVersion = 1;
  BYTE mMinorVersion = 1;
  BYTE mUnits = 0;
  LONG mXDensity = 1;
  LONG mYDensity = 1;
};

class JPEGParser {
public:
  JPEGParser() = default;
  virtual ~JPEGParser() = default;
  JPEGParser(const JPEGParser&) = delete;
  JPEGParser& operator=(const JPEGParser&) = delete;

  virtual void SetSource(ByteSource* inSource);
  // Traces the walk on the standard error stream.
  virtual void SetDebug(bool inDebug);
  virtual const std::string& GetErrorText() const { return mError; }
  virtual LONG GetWidth() const { return mWidth; }
  virtual LONG GetHeight() const { return mHeight; }
  virtual LONG GetComponents() const { return mComponents; }
  // ParseAll, then the assembled profile, which the parser forgets (empty
  // when there is none, or when the walk failed before it was complete).
  virtual std::vector<BYTE> TakeICC();
  // ParseAll, then the size of the assembled profile.
  virtual DWORD GetICCSize();
  // A walk from SOI to the first scan, then the joined data of the
  // "Photoshop 3.0" APP13 segments met, which the parser forgets (empty when
  // there are none; the segments before a failure when the walk fails).
  virtual std::vector<BYTE> TakePhotoshopResources();
  // 0 for a stream that starts with SOI and either ends with EOI (without a
  // walk) or walks to EOI; 1 without SOI. Throws JPEGParserFailure.
  virtual LONG Check();
  // 0 when the walk from SOI reaches EOI (or the profile, under ParseAll);
  // 1 without SOI. Throws JPEGParserFailure.
  virtual LONG Parse();
  // Once per parser: Parse, collecting the ICC profile and stopping when it
  // is complete. Throws JPEGParserFailure.
  virtual void ParseAll();

  const JFIFFields& GetJFIF() const { return mJFIF; }
  bool HasAdobe() const { return mAdobePresent; }
  LONG GetAdobeTransform() const { return mAdobeTransform; }

protected:
  // Each segment handler answers true to go on with the walk.
  virtual bool HandleMarker(BYTE inMarker, bool& outInScan);
  // The next marker code: the byte after an FF and any fill FFs, skipping FF
  // 00 (byte stuffing) while inside entropy-coded data.
  virtual BYTE NextMarker(bool inInScan, bool& outSkipped);
  virtual void SkipMarker(const char* inName);
  virtual void TextMarker(const char* inName);
  virtual void SOF(BYTE inMarker);
  virtual void SOS();
  virtual void APP0();
  virtual void APP2();
  virtual void APP13();
  virtual void APP14();
  virtual void AssembleICC();
  virtual void FreeICCChunks();

  // Reading primitives, big-endian; each throws "JPEG file too short" at the end.
  virtual BYTE ReadByte();
  virtual WORD Read16();
  virtual void Read(DWORD inCount, BYTE* outBytes);
  // Reads up to and including the next inByte; outCount counts every byte read.
  virtual void ScanTo(BYTE inByte, DWORD& outCount);
  virtual void Skip(ULONGLONG inCount);
  virtual void Log(const std::string& inText);

  [[noreturn]] void Fail(const char* inText);

private:
  // A segment's length field; below 2 it is "Bad JPEG marker length".
  WORD ReadLength();
  DWORD Remaining() const;
  bool StartsWithSOI();

  ByteSource* mSource = nullptr;
  bool mDebug = false;
  std::string mError;
  LONG mWidth = 0;
  LONG mHeight = 0;
  LONG mComponents = 0;
  JFIFFields mJFIF;
  bool mAdobePresent = false;
  LONG mAdobeTransform = 0;
  bool mParsed = false;
  bool mCollectICC = false;
  bool mStopAfterICC = false;
  WORD mICCChunkCount = 0;
  std::vector<std::optional<std::vector<BYTE>>> mICCChunks;  // chunk n in entry n - 1
  bool mICCAssembled = false;
  std::vector<BYTE> mICCData;
  bool mCollectPhotoshop = false;
  std::vector<BYTE> mPhotoshopData;
};

// True when inLength bytes at inData are a JPEG stream (Check answers 0); a
// null pointer or a length of 0 answers false.
bool IsJPEGData(const void* inData, DWORD inLength);
// The same for a file; false when it cannot be read.
bool IsJPEGFile(const char* inPath);
