#pragma once
// One JPEG file or memory block decoded through the JPEG library into a DIB
// section, for the DrawGraphic operation: the frame size first, then an
// optional reduced decoding scale (1/2, 1/4, 1/8), then the pixels.
//
//   IJLTempFileReader theReader;          // IJLTempFileReader.h
//   theReader.SetData(theBytes, theLength);
//   theReader.ReadHeader();
//   theReader.ChooseScale(400, 300);      // the smallest size still larger than the box
//   theReader.ReadImage();
//   if (const char* theError = theReader.GetErrorText())
//     ... "JPEG Error - " and theError ...
//   HBITMAP theBitmap = theReader.GetHBITMAP();  // the reader's: use it before the reader goes
//
// The DIB section is top-down, as the canvas is, and holds a DIB's own byte
// order: 24-bit B, G, R for colour and grey JPEGs; 32-bit B, G, R, 0 for
// 4-channel ones, whose samples are first made CMYK (YCCK converted, Adobe's
// inverted CMYK inverted back, CMYK without an Adobe marker taken as it is)
// and then RGB with the JPEG's embedded ICC profile, or the default CMYK
// profile (ColorSpace.h).
//
// Init, ReadHeader and ReadImage each run once; the first error stops every
// later step and stays the reader's error text. The sizes and the bitmap are
// asked for through calls that read the header (or the image) first.

#include "platform/base/WinTypes.h"
#include "platform/jpeg/Jpeg.h"

#include <string>
#include <vector>

class IJLReader {
public:
  IJLReader() = default;
  virtual ~IJLReader();
  IJLReader(const IJLReader&) = delete;
  IJLReader& operator=(const IJLReader&) = delete;

  // A path of up to 259 bytes; a longer one is ignored.
  virtual void SetPath(const char* inPath);
  // A block that the caller keeps alive while the reader reads it.
  virtual void SetData(const void* inData, LONG inLength);
  // After the header and before the image: the largest reduction whose size
  // (rounded up) is still larger than inMinWidth x inMinHeight in both
  // directions, or the natural size.
  virtual void ChooseScale(LONG inMinWidth, LONG inMinHeight);
  // Null without an error; else the error text, ending in ".".
  virtual const char* GetErrorText();
  virtual LONG GetScale() const { return mScale; }

  // The decoded size.
  virtual LONG GetWidth();
  virtual LONG GetHeight();
  virtual LONGLONG GetPixelCount();
  virtual RECT GetBounds();
  // The JPEG frame's size.
  virtual LONG GetNaturalWidth();
  virtual LONG GetNaturalHeight();
  virtual LONGLONG GetNaturalPixelCount();
  virtual RECT GetNaturalBounds();

  // Reads the image; the DIB section, or null after an error.
  virtual HBITMAP GetHBITMAP();
  // Reads the header; true for a 4-channel (CMYK or YCCK) JPEG.
  virtual bool IsCMYK();

  virtual void ReadHeader();
  virtual void ReadImage();
  // The ICC profile embedded in the JPEG; empty when there is none or the
  // markers cannot be walked.
  virtual std::vector<BYTE> GetICCProfile();
  virtual void Init();

protected:
  bool HasError() const { return !mError.empty(); }
  bool HeaderRead() const { return mHeaderRead; }
  // The frame's width as the last header read left it, without reading.
  LONG FrameWidth() const { return mNaturalWidth; }
  bool ReadsData() const { return mData != nullptr; }
  const BYTE* GetData() const { return mData; }
  LONG GetDataLength() const { return mDataLength; }
  // Keeps the first error, cut to 255 bytes.
  void SetError(const char* inText);
  // Ends the library's use of the record and clears the once-flags, so that
  // the reader can start again on another input.
  void Restart();

private:
  // Makes the 4-channel pixels B, G, R, 0.
  void ConvertFourChannels(BYTE* ioPixels);

  std::string mError;
  std::string mPath;
  const BYTE* mData = nullptr;
  LONG mDataLength = 0;
  LONG mNaturalWidth = 0;
  LONG mNaturalHeight = 0;
  LONG mWidth = 0;
  LONG mHeight = 0;
  LONG mScale = 1;
  HBITMAP mHBM = nullptr;
  bool mInitialized = false;
  bool mHeaderRead = false;
  bool mImageRead = false;
  bool mLibraryOpen = false;  // ijlInit succeeded: ijlFree is owed
  JPEG_CORE_PROPERTIES mProps{};
};
