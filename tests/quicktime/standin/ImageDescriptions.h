#pragma once
// Image descriptions: the 86-byte record in a handle, followed by its
// extensions, each stored as its byte count (header included) and type
// (32-bit, native order) and then its bytes; idSize counts them all.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/DecodedImage.h"

#include <string_view>

void AddImageDescriptionServices(QTServices& ioTable);

// A new description of an image (with its 'cspc' extension when it has a
// colour space); null when out of memory.
ImageDescriptionHandle NewImageDescription(const ImageInfo& inInfo);
