#pragma once
// GWorlds: offscreen ports over pixels in memory, each with a device context
// that draws into the same pixels through a DIB section.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/Pixels.h"

void AddGWorldServices(QTServices& ioTable);

// A view of a live pixel map's pixels; false for anything else.
bool PixMapView(PixMapHandle inPixMap, PixelView& outView);
// The pixel map of a live GWorld; null for anything else.
PixMapHandle PixMapOfWorld(GWorldPtr inWorld);
