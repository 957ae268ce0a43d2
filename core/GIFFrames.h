#pragma once
// One frame of a GIF file as a GIF file of its own. A GIF frame is an LZW
// stream over the global colour table or its own, placed by its descriptor,
// with its transparency and timing in the extensions just before it; it
// needs nothing of the frames before it. So a frame can be decoded alone
// from the file's header and global colour table, the blocks between the end
// of the frame before it and its descriptor, and the frame itself: the way
// to decode frame 300 of a file without decoding the 299 before it.
//
// Blocks are walked as a reader that only pings walks them: extensions and
// image data by their sub-blocks, a stray byte between blocks skipped, the
// trailer ending the walk. (ImageMagick's decoder reads a frame's data only
// up to its LZW end code and reads on from there: in a file whose LZW data
// ends before its sub-blocks do, which no encoder writes, it may see other
// frames than this walk does.)

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <vector>

// The bytes of a GIF file holding frame inFrame (counted from 1) of inData
// alone, ended by a trailer. Empty when inData is not a GIF file or has fewer
// frames. A frame cut short by the end of the data is kept as it is.
std::vector<BYTE> CutGIFFrame(const BYTE* inData, std::size_t inLength, LONG inFrame);
