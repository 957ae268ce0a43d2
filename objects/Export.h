#pragma once
// Export: the operation behind the canvas methods SaveAs and GetAs. It
// encodes the canvas in the format that the type text or the file extension
// names and writes it to the file (SetFile) or keeps it for the caller to copy
// out (GetDataPtr, GetDataSize) while the operation lives.
//
// Writers, in this order, the first that applies:
// - GIF ("gif", "gif image", "image/gif", or a type or path ending ".gif"):
//   the library's own encoder (GifEncode.h). Canvases of more colours than
//   "depth" asks for are reduced on a 32-bit copy to a table of "palette"'s
//   kind, dithered with "dither"; "transparent" names the transparent entry
//   by a point (clamped into the canvas) or a colour (the nearest entry; a
//   colour wins over a point); the preference UseLZW chooses LZW.
// - JPEG (the jpg, jpeg and jfif words and extensions) through the JPEG
//   library, when no resolution ("hres", "vres") is asked for and the
//   preference IJLExport is on; quality 0..1024 becomes the library's
//   (q x 100) >> 10, plus 20 above 30, held to 100; chroma sampled 2 x 1.
//   A JPEG given to the library is never given to another writer.
// - QuickTime's graphics exporters, when QuickTime is there and QTExport is
//   on; when they fail, the ImageMagick writer follows with the error cleared
//   (its context kept).
// - ImageMagick (preference IMExport).
// When none applies the operation fails with "No writer is available for
// this file type".

#include "objects/Operation.h"

#include "core/ExportOptions.h"
#include "platform/gdi/Gdi.h"
#include "platform/jpeg/Jpeg.h"

#include <memory>
#include <string>

class Export : public Operation {
public:
  // inLabel: "Save As:" or "Get As:".
  explicit Export(const char* inLabel) : Operation(inLabel) {}
  ~Export() override;

  // Writes to the file from now on; an empty path fails with "File path is
  // blank". A finished save with a path also writes its line to SaveAs.log.
  virtual void SetFile(const char* inPath);
  // The parameter "type".
  virtual void SetType(const char* inType);
  // After Run: the encoded bytes, the writer's or the operation's own; null
  // when nothing was encoded. They stay the operation's.
  virtual const void* GetDataPtr() const;
  virtual LONG GetDataSize() const;

protected:
  LONG DoIt(Bitmap& inWorld) override;

  virtual void WriteQuickTime(Bitmap& inWorld);
  virtual void WriteMagick(Bitmap& inWorld);
  // Fills mWriteXX's options from the parameters and writes; its status.
  virtual LONG RunWriter(Bitmap& inWorld);
  virtual bool IsGIFType(const std::string& inType, const char* inTypeExt, const char* inPathExt) const;
  virtual void WriteGIF(Bitmap& inWorld);
  virtual bool IsJPEGType(const std::string& inType, const char* inTypeExt, const char* inPathExt) const;
  virtual void WriteJPEG(Bitmap& inWorld);
  // One library write of top-down rows of B, G, R (inChannels 3) or B, G,
  // R, A (4; alpha is not written); to the path, or without one into ioBlock
  // (capacity ioLength). ioLength gets the length written, or the length
  // needed when the library answers IJL_BUFFER_TOO_SMALL. The library's result.
  virtual IJLERR IJLWrite(const char* inPath, BYTE* ioBlock, LONG& ioLength, LONG inWidth, LONG inHeight,
                          LONG inRowBytes, LONG inChannels, BYTE* inPixels, LONG inQuality);
  // A 24-bit top-down DIB section holding a copy of the DC's pixels; null on failure.
  virtual HBITMAP MakeDIB24(HDC inDC, LONG inWidth, LONG inHeight);
  // The 32-bit canvas as packed B, G, R rows, top row first, whatever its
  // channel masks; null without memory.
  virtual std::unique_ptr<BYTE[]> Convert32To24(Bitmap& inWorld);

private:
  // GetLastError() as the Windows code; reported as an assertion, and the
  // failure kept as E_FAIL, when there is none.
  void RecordLastError();
  // A GIF that could not be made: inWhat as the message, with GetLastError()
  // as the Windows code when there is one.
  void ReportGIFFailure(const char* inWhat);

  bool mToFile = false;
  std::string mPath;
  std::unique_ptr<BYTE[]> mOutput;
  LONG mOutputLength = 0;
  std::unique_ptr<ExportOptions> mWriteXX;
};
