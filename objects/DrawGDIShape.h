#pragma once
// One shape or one block of text drawn on the canvas through GDI. The text
// methods (DrawText, TextArea, TextLength) build it drawing straight onto the
// canvas's device context with the selected pen, brush and font; DrawShape's
// GDI road builds it recording the shape as a path, which the draw mode then
// strokes (1), fills (2) or both (3). Draw mode 0 only measures text.
//
// Set-up, from the parameters record: a canvas without pixels is made (256 x
// 256 unless its width or height is set), the shape rectangle is the
// placement of the canvas bounds, the world transform the record's transform
// of that rectangle onto itself; a solid pen of the pen size and colour (a
// pattern pen is refused, for every draw mode), a brush of the paint colour or
// of the canvas pattern, the text colour with a transparent background, and
// the first installed font of the record's list at its size in points. Every
// colour is the high byte of its 16-bit channels. Whatever happens, the device
// context gets its objects, modes and an identity transform back.
//
// The pen stays inside the shape: with h = pen / 2, u = (pen + 1) / 2 and
// d = (pen - 1) / 2, a rectangle is inset by h at left and top and u at right
// and bottom, an oval by d and u, polygon and line points move by h; painting
// alone (draw mode 2) insets nothing.
//
// Text is laid out in the shape rectangle (word wrap, the horizontal
// alignment, then the vertical alignment of its height within the rectangle),
// or, when the record holds points, placed character by character along them.
// Along a path each character is turned to its segment's direction; kerning
// is in thousandths of the widest character, the offset from the path a
// percentage of the text height; left alignment runs forward from the first
// point, right alignment backward from the last, middle alignment both ways
// from the point at half the path's length.
//
// Failures: a failed GDI call stores its last error as the Windows code (one
// with no last error is none); the messages for a pattern pen and a pattern
// that cannot be reached. Every run ends with the context "Unable to draw
// shape".

#include "objects/Operation.h"
#include "platform/faults/Faults.h"
#include "platform/gdi/Gdi.h"

#include <string_view>

class DrawGDIShape : public Operation {
public:
  // inDrawDirect: draw onto the device context (the text methods) rather than
  // through a path. Never impersonates; draw mode 3.
  DrawGDIShape(const char* inLabel, bool inDrawDirect);
  ~DrawGDIShape() override;

  // Applies the keyword "shape" (a bad name is the parameter error).
  virtual void SetShape(const char* inShape);
  // Shape 5 with the text as given.
  virtual void SetText(std::u16string_view inText);
  // 0 measures text and draws nothing.
  virtual void SetDrawMode(LONG inMode);
  // The shape rectangle; after measuring, the text's.
  virtual RECT GetTextRect() const { return mShapeRect; }
  // One line of the font, as measured by the last text layout.
  virtual LONG GetLineHeight() const { return mLineHeight; }
  // The UTF-16 units of the text that were laid out or placed on the path.
  virtual LONG GetCharsDrawn() const { return mCharsDrawn; }

protected:
  LONG DoIt(Bitmap& inWorld) override;
  // False when drawing cannot go on.
  virtual bool SetupGDI(Bitmap& inWorld);
  // Safe to run twice; the destructor runs it too.
  virtual void CleanupGDI();
  virtual void InsetForPen(LONG inPen);
  virtual bool DrawShapePath();
  virtual bool DrawTextShape();
  virtual bool LayoutText();
  virtual bool DrawTextOnPath();

private:
  struct PathRun;

  // Stores the thread's last error, when there is one, and answers false.
  bool Failed();
  // Selects inObject, keeping the first object it replaces in ioOld.
  bool Select(HGDIOBJ inObject, HGDIOBJ& ioOld);
  // Places the characters of one run along the path, inKerning apart and
  // inOffset from it, until they or the points run out; answers the UTF-16
  // units placed.
  LONG PlaceTextOnPath(PathRun& ioRun, double inKerning, double inOffset);
  // Draws one character turned from inStart toward inEnd.
  void PlaceChar(FloatPoint inStart, FloatPoint inEnd, std::u16string_view inCharacter, bool inForward,
                 double inOffset);

  bool mDrawDirect;
  HDC mHDC = nullptr;
  int mOldMapMode = 0;
  int mOldGraphicsMode = 0;
  HGDIOBJ mOldPen = nullptr;
  HPEN mPen = nullptr;
  HGDIOBJ mOldBrush = nullptr;
  HBRUSH mBrush = nullptr;
  int mOldBkMode = 0;
  COLORREF mOldTextColor = 0;
  bool mTextColorSet = false;
  HGDIOBJ mOldFont = nullptr;
  HFONT mFont = nullptr;
  HFONT mRotatedFont = nullptr;  // the last font turned for text on a path
  LONG mEscapement = 0;          // of the font selected now
  RECT mShapeRect{0, 0, 0, 0};
  LONG mCharsDrawn = 0;
  LONG mLineHeight = 0;
  FaultUndo mUndo;  // entered while the device context holds what set-up made
};
