#pragma once
// Readers of Photoshop image resources and of the IPTC-NAA datasets that one
// of them carries, over a ByteSource (all numbers big-endian).
//
// An image-resource block is "8BIM", a 16-bit id, a name (a length byte and
// that many bytes, the two padded to an even count with a zero byte), a 32-bit
// data size and the data; data of odd size is followed by a pad byte. The
// search looks for "8BIM" byte by byte, so it finds the blocks anywhere in a
// Photoshop file, in a JPEG's APP13 segment or in a bare resource block, and
// passes over pad bytes.
//
// An IPTC-NAA dataset is the tag 0x1C, a record number, a dataset number, a
// 16-bit data length and the data. A length whose first byte has its top bit
// set (an extended length) is not read.
//
// Positions and sizes are reckoned in 64 bits: a block or dataset whose size
// runs past the end of its source stops the walk, however large the source.
//
//   ByteSource theFile(theData, theLength);
//   ByteSource theIPTC;
//   FindImageResource(theFile, kIPTCResourceID, theIPTC);
//   LONG theCount = ReadIPTCRecords(theIPTC, AddItem, &theList);

#include "core/ByteSource.h"
#include "platform/base/WinTypes.h"

#include <array>

inline constexpr LONG kResolutionResourceID = 0x03ED;
inline constexpr LONG kIPTCResourceID = 0x0404;

struct IPTCDataSetName {
  LONG mDataSet;
  const char* mName;
};

// The names of the datasets, by dataset number whatever the record.
inline constexpr std::array<IPTCDataSetName, 52> kIPTCDataSetNames = {{
  {5, "Image Name"},
  {7, "Edit Status"},
  {10, "Priority"},
  {15, "Category"},
  {20, "Supplemental Category"},
  {22, "Fixture Identifier"},
  {25, "Keyword"},
  {30, "Release Date"},
  {35, "Release Time"},
  {40, "Special Instructions"},
  {45, "Reference Service"},
  {47, "Reference Date"},
  {50, "Reference Number"},
  {55, "Created Date"},
  {60, "Created Time"},
  {65, "Originating Program"},
  {70, "Program Version"},
  {75, "Object Cycle"},
  {80, "Byline"},
  {85, "Byline Title"},
  {90, "City"},
  {95, "Province State"},
  {100, "Country Code"},
  {101, "Country"},
  {103, "Original Transmission Reference"},
  {105, "Headline"},
  {110, "Credit"},
  {115, "Source"},
  {116, "Copyright String"},
  {120, "Caption"},
  {121, "Local Caption"},
  {122, "Caption Writer"},
  {200, "Custom Field 1"},
  {201, "Custom Field 2"},
  {202, "Custom Field 3"},
  {203, "Custom Field 4"},
  {204, "Custom Field 5"},
  {205, "Custom Field 6"},
  {206, "Custom Field 7"},
  {207, "Custom Field 8"},
  {208, "Custom Field 9"},
  {209, "Custom Field 10"},
  {210, "Custom Field 11"},
  {211, "Custom Field 12"},
  {212, "Custom Field 13"},
  {213, "Custom Field 14"},
  {214, "Custom Field 15"},
  {215, "Custom Field 16"},
  {216, "Custom Field 17"},
  {217, "Custom Field 18"},
  {218, "Custom Field 19"},
  {219, "Custom Field 20"},
}};

// The name of a dataset number; the empty text for one not in the table.
const char* GetIPTCDataSetName(LONG inDataSet);

// The next two (or four) bytes, the first highest; -1 when any is missing.
LONG ReadBE16(ByteSource& inSource);
LONG ReadBE32(ByteSource& inSource);

// Looks from the source's current position for the first resource block
// with the id inID and sets outData to its data; outData is emptied first
// and stays empty when there is none. Answers the number of blocks passed
// before it, or of all blocks read when none matched. A block that is cut
// short ends the search.
LONG FindImageResource(ByteSource& inSource, LONG inID, ByteSource& outData);

// Called for each dataset with its record and dataset numbers, its name from
// kIPTCDataSetNames, and its data (inLength bytes at inData, which points
// into the source; 0 bytes for an empty dataset).
using IPTCRecordProc = void (*)(LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData,
                                LONG inLength, void* inContext);

// Skips to the first tag 0x1C and hands each dataset in turn to inProc.
// Answers the number of datasets; 0 when an extended length is met; -1 when
// the datasets are cut short or another byte stands where a tag should (the
// datasets before it have been handed over).
LONG ReadIPTCRecords(ByteSource& inSource, IPTCRecordProc inProc, void* inContext);

// The horizontal and vertical resolution of a resolution resource's data
// (16.16 fixed-point numbers at bytes 0 and 8); 72.0 each when it holds fewer
// than 16 bytes.
void ReadResolutionInfo(ByteSource& inSource, double& outHorizontal, double& outVertical);
