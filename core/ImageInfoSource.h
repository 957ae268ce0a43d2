#pragma once
// Describing an image file or block without drawing it: a reader derives
// from ImageInfoSource, fills one record per image of the input, and may
// hand out the input's IPTC block.

#include "platform/base/WinTypes.h"

#include <string>
#include <vector>

struct ImageInfoRecord {
  LONG mBitDepth = 0;
  LONG mResolution = 0;
  LONG mLeft = 0;
  LONG mTop = 0;
  LONG mRight = 0;
  LONG mBottom = 0;
  LONG mColorSpace = 0;  // ImageMagick's numbering
  LONG mHasColorProfile = 0;

  friend constexpr bool operator==(const ImageInfoRecord&, const ImageInfoRecord&) = default;
};

class ImageInfoSource {
public:
  ImageInfoSource() = default;
  virtual ~ImageInfoSource() = default;
  ImageInfoSource(const ImageInfoSource&) = delete;
  ImageInfoSource& operator=(const ImageInfoSource&) = delete;

  // Forgets the records.
  virtual void Reset() { mRecords.clear(); }
  virtual void SetFile(const char* inPath) = 0;
  // The block is read in place; inName is a file name or format hint.
  virtual void SetData(const void* inData, LONG inLength, const char* inName) = 0;
  virtual const char* GetFormatName() = 0;
  // The input's IPTC block and its length in bytes (none here).
  virtual const BYTE* GetIPTCData() { return nullptr; }
  virtual LONG GetIPTCLength() { return 0; }
  virtual LONG GetCount() { return static_cast<LONG>(mRecords.size()); }
  // A copy of record inIndex (0-based); an empty record, reported, for an
  // index out of range.
  virtual ImageInfoRecord GetRecord(LONG inIndex);

protected:
  void AddRecord(const ImageInfoRecord& inRecord) { mRecords.push_back(inRecord); }

private:
  std::vector<ImageInfoRecord> mRecords;
};
