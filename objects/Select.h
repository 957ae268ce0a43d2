#pragma once
// Select: writes a selection into the alpha channel of the canvas. Every
// pixel gets a selection value v, 255 or 0, and its alpha a becomes the
// combination of the two by the transfer mode, so that selections add to,
// subtract from or limit each other (P is the high byte of modecolor's red):
//
//   addpin   min(a + v, P)        subpin   max(a - v, P)
//   addover  (a + v) mod 256      subover  (a - v) mod 256
//   addmax   min(a + v, 255)      submin   max(a - v, 0)
//   addmin   min(a, v)            any other mode: v
//
// By selection type: "color" selects the pixels whose squared distance from
// the key colour (8-bit red, green and blue) is below 3 t^2, "notcolor" those
// above it, so neither takes a pixel right at the limit; t is the tolerance,
// a percentage held to 0..100, of 256. "all" gives every pixel 255, "none" 0.
// keylocation takes the key colour from the canvas.
//
// The canvas is made 32-bit first, and an empty one 256 x 256.

#include "objects/Operation.h"

class Select : public Operation {
public:
  Select() : Operation("Select:") {}

  // The type as the keyword selectiontype: an unknown one is a parameter error.
  virtual void SetSelectionType(const char* inType);

protected:
  // Depth 32, and pixels when there are none; the status.
  virtual LONG PrepareCanvas(Bitmap& inWorld);
  virtual void SelectByColor(Bitmap& inWorld, BYTE inKeyRed, BYTE inKeyGreen, BYTE inKeyBlue, LONG inTolerance,
                             bool inInvert);
  virtual void SelectAll(Bitmap& inWorld, BYTE inValue);
  LONG DoIt(Bitmap& inWorld) override;

private:
  // Combines inValueOf(red, green, blue) of every pixel into its alpha.
  template <typename ValueOf>
  void CombineIntoAlpha(Bitmap& inWorld, ValueOf inValueOf);
};
