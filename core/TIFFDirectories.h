#pragma once
// The directories of a TIFF file (classic or BigTIFF), walked for what
// ImageMagick's ping of a TIFF leaves out: whether each page has alpha. Its
// decode gives a page alpha when the page has extra samples, or four samples
// of RGB; its ping sets neither. The walk follows the chain of directories
// as long as each lies inside the bytes, never visiting one twice.

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <vector>

struct TIFFPages {
  // Per directory, in order: the page has alpha.
  std::vector<bool> mAlpha;
  // A directory carries Photoshop's layers (tag 37724), which a decode adds
  // as images of their own.
  bool mLayers = false;
};

// Empty for bytes that are not a TIFF file; the pages up to the first that
// does not lie inside the bytes.
TIFFPages ReadTIFFPages(const BYTE* inData, std::size_t inLength);
