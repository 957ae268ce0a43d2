#pragma once
// The options of a codec that reads an image and draws it into a Bitmap
// (QuickTime importers, the ImageMagick reader): which image, which part,
// where and how to draw it. A codec derives from ImportOptions beside its
// own base; it keeps its first error, which the caller asks for.

#include "core/Transform.h"
#include "platform/base/WinTypes.h"
#include "platform/quicktime/QTTypes.h"

#include <string>
#include <string_view>

class Bitmap;

class ImportOptions {
public:
  // A name holds at most 259 bytes.
  static constexpr std::size_t kMaxName = 259;

  ImportOptions() = default;
  virtual ~ImportOptions() = default;
  ImportOptions(const ImportOptions&) = delete;
  ImportOptions& operator=(const ImportOptions&) = delete;

  virtual void ReadFile(const char* inPath) = 0;
  // The block is read in place and must outlive the codec.
  virtual void ReadData(const void* inData, LONG inLength) = 0;
  // A file name or format hint; null leaves the name. A longer name is cut
  // at 259 bytes (never inside a character) and the cut reported as an
  // assertion.
  virtual void SetName(const char* inName);
  virtual LONG SetImageIndex(LONG inIndex);
  virtual float SetTime(float inTime);
  virtual void SetGraphicsMode(WORD inMode, RGBColor inOpColor);
  virtual LONG SetDither(LONG inDither);
  virtual RECT SetClipRect(RECT inRect);
  virtual void SetTransform(const Transform& inTransform);
  // The codec's last QuickTime and Windows errors (0 here).
  virtual LONG GetQTError() const { return 0; }
  virtual LONG GetWinError() const { return 0; }
  virtual void GetClipRect(RECT& outRect) { outRect = mClipRect; }
  // The image's own rectangle.
  virtual void GetNaturalBounds(RECT& outRect) = 0;
  // Where the image lands: its natural bounds here.
  virtual void GetBounds(RECT& outRect) { GetNaturalBounds(outRect); }
  virtual LONG GetDepth() { return 32; }
  // 1 when drawing covers every pixel of the bounds.
  virtual LONG DrawsAllPixels() { return 1; }
  virtual void Draw(Bitmap* inTarget) = 0;

  const std::string& GetName() const { return mName; }
  LONG GetImageIndex() const { return mImageIndex; }
  float GetTime() const { return mTime; }
  WORD GetGraphicsMode() const { return mGraphicsMode; }
  RGBColor GetOpColor() const { return mOpColor; }
  LONG GetDither() const { return mDither; }
  bool HasTransform() const { return mTransformSet != 0; }
  const Transform& GetTransform() const { return mTransform; }

private:
  std::string mName;
  LONG mImageIndex = 1;
  float mTime = 0;
  WORD mGraphicsMode = 0;
  RGBColor mOpColor{0, 0, 0};
  LONG mDither = 0;
  RECT mClipRect{0, 0, 0, 0};
  LONG mTransformSet = 0;
  Transform mTransform;
};
