#pragma once
// The options of a codec that writes a Bitmap (QuickTime exporters, the
// ImageMagick writer): what to write, how, and where. A codec derives from
// ExportOptions beside its own base, is filled through the setters in any
// order, writes once and is destroyed. Setters answer the value they keep.

#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>

class Bitmap;

class ExportOptions {
public:
  static constexpr LONG kDefaultQuality = 512;
  // A path holds at most 259 bytes.
  static constexpr std::size_t kMaxPath = 259;

  ExportOptions() = default;
  virtual ~ExportOptions() = default;
  ExportOptions(const ExportOptions&) = delete;
  ExportOptions& operator=(const ExportOptions&) = delete;

  // The depth for a colour count: more than 65536 colours 32 bits, more than
  // 256 16, more than 128 8, then 7 ... 1; answers the depth.
  virtual LONG SetColors(LONG inCount);
  virtual const std::string& SetType(std::string_view inType);
  virtual Bitmap* SetBitmap(Bitmap* inSource);
  virtual LONG SetQuality(LONG inQuality);
  virtual LONG SetInterlace(LONG inInterlace);
  virtual LONG SetAlpha(LONG inAlpha);
  virtual void SetResolution(LONG inHorizontal, LONG inVertical);
  // Writes to this file from now on. A path of at most 259 bytes is kept
  // and the answer is its length plus one; a longer one is refused (0, the
  // old path stays, reported as an assertion).
  virtual LONG SetPath(std::string_view inPath);
  // Writes the source to the path, or to memory without one; a status.
  [[nodiscard]] virtual LONG Write() = 0;
  // The encoded bytes of a write to memory, owned as the codec says.
  virtual void* GetData() const { return mOutputData; }
  virtual LONG GetLength() const { return mOutputLength; }

  LONG GetDepth() const { return mDepth; }
  // The format name wanted; empty for none.
  const std::string& GetType() const { return mType; }
  Bitmap* GetBitmap() const { return mSource; }
  LONG GetQuality() const { return mQuality; }
  LONG GetInterlace() const { return mInterlace; }
  LONG GetAlpha() const { return mAlpha; }
  LONG GetHorizontalResolution() const { return mHorizontalResolution; }
  LONG GetVerticalResolution() const { return mVerticalResolution; }
  const std::string& GetPath() const { return mPath; }
  bool IsToFile() const { return mToFile != 0; }

protected:
  void SetOutput(void* inData, LONG inLength)
  {
    mOutputData = inData;
    mOutputLength = inLength;
  }

private:
  LONG mDepth = 32;
  std::string mType;
  Bitmap* mSource = nullptr;
  LONG mQuality = kDefaultQuality;
  LONG mInterlace = 0;
  LONG mAlpha = 0;
  LONG mHorizontalResolution = 0;
  LONG mVerticalResolution = 0;
  std::string mPath;
  LONG mToFile = 0;
  void* mOutputData = nullptr;
  LONG mOutputLength = 0;
};
