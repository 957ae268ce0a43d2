#pragma once
// What the kernel suites share: a recorder of the reports that reach the
// error handler, images built from sample values, and a tiled image whose
// tiles live in the test and whose callback keeps a log.

#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/IplTypes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kerneltest {

struct Report {
  int mStatus;
  std::string mFunction;
  std::string mMessage;
  std::string mModule;
};

// While it lives: error mode 2, status 0, and a handler that records every
// report. Restores the default handler and mode 0.
class ReportRecorder {
 public:
  ReportRecorder();
  ~ReportRecorder();
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  const std::vector<Report>& Reports() const;
  void Clear();
  // "status function: message [module]" for each report, one per line.
  std::string Describe() const;
};

// Checks the recorded reports against inExpected, in order.
void ExpectReports(const ReportRecorder& inRecorder, const std::vector<Report>& inExpected, const std::string& inCase);

struct HeaderDeleter {
  void operator()(ImageHeader* inImage) const;
};
using HeaderPtr = std::unique_ptr<ImageHeader, HeaderDeleter>;

// A header with owned storage (filled with 0) of the given layout.
HeaderPtr MakeImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha = 0,
                    int inOrder = IPL_DATA_ORDER_PIXEL, int inAlign = IPL_ALIGN_4BYTES);
// The same filled with random samples (floats in 0 .. 1000).
HeaderPtr RandomImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha, int inOrder,
                      unsigned inSeed);
HeaderPtr CopyOf(const ImageHeader* inImage);

// A layout of samples; mAlpha and mCoi are 0 for none.
struct Layout {
  int mDepth, mChannels, mAlpha, mOrder, mCoi;
};
HeaderPtr RandomImage(int inWidth, int inHeight, const Layout& inLayout, unsigned inSeed);
// The first and last channel a kernel processes: the channel of interest,
// else every channel but alpha.
std::pair<int, int> ProcessedChannels(const Layout& inLayout);

// A sample of an 8-, 16- or 32-bit (float) image, or a bit of a 1-bit one.
double SampleAt(const ImageHeader* inImage, int inX, int inY, int inChannel);
void SetSampleAt(ImageHeader* inImage, int inX, int inY, int inChannel, double inValue);
std::vector<std::uint8_t> StorageOf(const ImageHeader* inImage);

// Double-precision reference of a warp's sample of channel inChannel at
// (inSX, inSY): nearest, bilinear, or the cubic through four points, clamped to
// the integer range.
double ReferenceSample(const ImageHeader* inSource, int inChannel, int inMethod, double inSX, double inSY);

// A tiled image over a plain one of the same layout (the "picture"): a tile
// is filled from the picture when first asked for and written back when a
// tile handed out for writing is released. The callback records every call
// and checks the contract (a tile is released only after it was obtained,
// with tileData holding its pointer).
class TiledImage {
 public:
  struct Call {
    int mColumn;
    int mRow;
    int mMode;
  };

  TiledImage(ImageHeader* inPicture, int inTileWidth, int inTileHeight);
  ~TiledImage();
  TiledImage(const TiledImage&) = delete;
  TiledImage& operator=(const TiledImage&) = delete;

  ImageHeader* Header() { return mHeader; }
  const std::vector<Call>& Calls() const { return mCalls; }
  int Held() const { return static_cast<int>(mHeld.size()); }
  int MaxHeld() const { return mMaxHeld; }
  const std::vector<std::string>& Faults() const { return mFaults; }
  // A tile the callback refuses (tileData left null).
  void Refuse(int inColumn, int inRow) { mRefused[{inColumn, inRow}] = true; }

 private:
  static void Callback(const ImageHeader* inImage, int inColumn, int inRow, int inMode);
  void Handle(int inColumn, int inRow, int inMode);
  void CopyTile(int inColumn, int inRow, bool inToPicture);

  ImageHeader* mPicture;
  ImageHeader* mHeader = nullptr;
  TileInfoRecord* mTileInfo = nullptr;
  std::int64_t mTileStep = 0;
  std::map<std::pair<int, int>, std::vector<std::uint8_t>> mTiles;
  std::map<std::pair<int, int>, int> mHeld;  // tile -> mode it was handed out with
  std::map<std::pair<int, int>, bool> mRefused;
  std::vector<Call> mCalls;
  std::vector<std::string> mFaults;
  int mMaxHeld = 0;
};

}  // namespace kerneltest
