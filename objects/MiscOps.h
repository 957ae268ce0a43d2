#pragma once
// The small canvas operations that work on the whole of the pixels and read
// nothing from the parameters record.

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
