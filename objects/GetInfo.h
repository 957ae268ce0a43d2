#pragma once
// GetInfo: answers a query about the canvas, named without regard to case.
//   "selectionrect"  text: the bounds of the pixels whose alpha is not 0 (the
//                    selection Select writes), "left,top,right,bottom";
//                    "0,0,0,0" when there is none; the whole canvas on
//                    canvases of other depths
//   "palette"        bytes: red, green, blue of each colour-table entry; none
//                    for a canvas without a table
// Any other query answers nothing, and is no error.

#include "objects/Operation.h"

#include <string>
#include <vector>

class GetInfo : public Operation {
public:
  GetInfo() : Operation("GetInfo:") {}

  virtual void SetType(const char* inType);
  virtual bool HasData() const { return mHasData; }
  virtual bool HasText() const { return mHasText; }
  // The result bytes; null when there are none.
  virtual const BYTE* GetDataPtr() const { return mData.empty() ? nullptr : mData.data(); }
  virtual DWORD GetDataSize() const { return static_cast<DWORD>(mData.size()); }
  // Null without a text result.
  virtual const char* GetResultText() const { return mHasText ? mText.c_str() : nullptr; }

protected:
  virtual void GetSelectionRect(Bitmap& inWorld);
  virtual RECT GetAlphaBounds(Bitmap& inWorld);
  virtual void GetPalette(Bitmap& inWorld);
  LONG DoIt(Bitmap& inWorld) override;

private:
  std::string mType;
  bool mHasText = false;
  bool mHasData = false;
  std::string mText;
  std::vector<BYTE> mData;
};
