#pragma once
// The small canvas operations: Erase and Invert work on the whole of the
// pixels and read nothing from the parameters record; DrawCanvas and
// SetChannel take another image as a GDI handle (a bitmap or a memory device
// context, typically another canvas's Image), which they borrow and never
// delete. A handle that is neither is refused by SetImage with "Unable to
// understand image provided", and the operation then draws nothing.

#include "objects/Operation.h"

// Fills the canvas with its natural colour; a failure is the Windows code.
class EraseCanvas : public Operation {
public:
  EraseCanvas() : Operation("Erase Canvas:") {}

protected:
  LONG DoIt(Bitmap& inWorld) override;
};

// Inverts every colour of the canvas (the colour table of indexed pixels).
class InvertCanvas : public Operation {
public:
  InvertCanvas() : Operation("Invert Canvas:") {}

protected:
  LONG DoIt(Bitmap& inWorld) override;
};

// Draws the image onto the canvas where the parameter string places it; the
// placed rectangle becomes the operation's rectangle. An empty canvas first
// takes the image's size. With the transfer mode copy, a 32-bit image, the
// preference IPLTransform on, a transform that moves the image and a source
// rectangle of at least 2 x 2 pixels, the pixels go through the kernels'
// affine warp (from a copy when the image is the canvas's own); otherwise
// through a GDI world-transform copy, which applies the mode. The image's
// pixels are never changed.
class DrawCanvas : public Operation {
public:
  DrawCanvas() : Operation("Draw Canvas:") {}

  virtual void SetImage(HGDIOBJ inImage);

protected:
  LONG DoIt(Bitmap& inWorld) override;

private:
  HGDIOBJ mImage = nullptr;
};

// Stretches the image over the whole canvas as 256 grey levels and writes
// each pixel's level into one channel (0 red, 1 green, 2 blue, 3 alpha),
// leaving the other three as they were. The canvas becomes 32-bit first; an
// empty one becomes 256 x 256 unless its width or height is set.
class SetChannel : public Operation {
public:
  SetChannel() : Operation("Set Channel:") {}

  virtual void SetImage(HGDIOBJ inImage);
  // "red", "green", "blue" or "alpha"; anything else is refused with
  // "Unable to understand channel.".
  virtual void SetChannelIndex(const char* inChannel);

protected:
  LONG DoIt(Bitmap& inWorld) override;

private:
  HGDIOBJ mImage = nullptr;
  LONG mChannel = 0;
};
