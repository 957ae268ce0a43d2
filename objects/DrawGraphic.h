#pragma once
// DrawGraphic: the operation behind the Canvas methods DrawFile and DrawData.
// It decodes an image from a file path or a block of bytes and draws it onto
// the canvas where the parameter string places it; the rectangle it drew
// into becomes the operation's rectangle.
//
// Readers, in a fixed order gated by preferences: a JPEG (by its bytes, not
// its name) goes to the JPEG library reader (IJLImport) and no further, even
// when it refuses the file; anything else goes to the QuickTime graphics
// importer (QTImport, when QuickTime is available), then ImageMagick
// (IMImport), then the QuickTime movie importer (QTImportMovies, off by
// default). The error object is cleared whole before each fallback, so the
// error a script sees is the last reader's; when no reader drew and none
// failed, the draw fails with "No importer could read the image.".
//
// Size limit. No step accepts more than MaxSize squared pixels (the
// preference, 2000 by default): the image, the canvas an empty canvas would
// grow to, and the decoded JPEG. A JPEG larger than a sixteenth of the limit
// is decoded at 1/2, 1/4 or 1/8 size when its placed size allows, so a photo
// drawn small is accepted where its full size would not be.
//
// Placing. With the transfer mode copy, the preference IPLTransform on and a
// source rectangle of at least 2 x 2 pixels, the pixels go through the
// kernels' affine warp (IPLBridge, linear with smoothed edges); otherwise
// through a GDI world-transform copy, which applies the mode. An empty canvas
// first takes the size of the placed picture, shifted back to 0,0 when a
// rotation or skew would put it left of or above the origin. A failed draw
// leaves the canvas as it was.

#include "objects/Operation.h"
#include "objects/IPLUtils.h"
#include "platform/automation/Variant.h"

#include <string>

class ImportOptions;

class DrawGraphic : public Operation {
public:
  explicit DrawGraphic(const char* inLabel) : Operation(inLabel) {}
  ~DrawGraphic() override;

  virtual void SetFile(const char* inFile);
  // The VARIANT's byte array is read in place: the caller keeps it alive for
  // the operation's life. Anything but a byte array fails the operation with
  // the access error as its Windows code.
  virtual void SetData(const VARIANT* inData);
  // A file-type or extension hint for the readers.
  virtual void SetType(const char* inType);

protected:
  LONG DoIt(Bitmap& inWorld) override;

  virtual void DrawWithImporter(ImportOptions& ioImporter, Bitmap& inWorld, LONGLONG inLimit);
  virtual void DrawWithIJL(Bitmap& inWorld, LONGLONG inLimit);
  virtual void DrawWithMagick(Bitmap& inWorld, LONGLONG inLimit);
  // Puts the source DC's pixels (its bitmap, in inOrder) through inTransform
  // onto the canvas, in the parameters' dither, mode and mode colour.
  virtual void PlaceImage(Bitmap& inWorld, HDC inSrcDC, HBITMAP inSrcHBM, IPLBridge::Order inOrder,
                          const RECT& inSrcRect, const Transform& inTransform);
  // Gives a canvas without pixels the size of a placed inWidth x inHeight
  // picture.
  virtual void PrepareCanvas(Bitmap& inWorld, LONG inWidth, LONG inHeight, LONGLONG inLimit);

private:
  // The kernel road: mode copy, IPLTransform on, a rectangle of 2 x 2 or more.
  bool UseIPLTransform(const RECT& inRect) const;
  // Erases a canvas that PrepareCanvas made and left unfilled, once.
  void FillNewCanvas(Bitmap& inWorld);
  // Whether a copy of inSrcRect through inTransform in mode copy writes every
  // pixel of the canvas, whose new pixels then need no fill.
  bool CoversCanvas(Bitmap& inWorld, const RECT& inSrcRect, const Transform& inTransform);
  // Where a picture placed at inPlacement went: moved as PrepareCanvas moved
  // the picture onto an empty canvas.
  RECT PlacedRect(const RECT& inPlacement) const;
  void AddLimitMessage();
  // Keeps the IPL status as the two messages "IPL Error - " and its text.
  void AddIPLError(LONG inStatus);

  std::string mPath;
  bool mGotPath = false;
  VARIANT mData{};
  bool mGotData = false;
  LONG mDataLength = 0;
  BYTE* mDataPtr = nullptr;
  bool mDrawn = false;  // a reader put pixels on the canvas
  bool mNewCanvas = false;  // PrepareCanvas made the canvas, not yet filled
};
