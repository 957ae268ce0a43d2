#include "objects/MiscOps.h"

#include "core/Bitmap.h"

LONG EraseCanvas::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = inWorld.Erase();
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  return theStatus;
}

LONG InvertCanvas::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = inWorld.Invert();
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  return theStatus;
}
