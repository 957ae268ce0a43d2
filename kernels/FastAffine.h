#pragma once
// The fast layer of the affine kernels: the rows of a kernel are split into
// bands shared out among the threads of the worker pool (WorkerPool.h), and
// the system's own kernel (8-bit, pixel order, linear) has vector bodies
// (LinearU8Vector.h). A move by whole pixels (a picture placed at its natural
// size) is a copy for it and for the 8-bit nearest kernel. Every band starts from the row terms the plain kernel
// would have accumulated to it, and every vector body gives the plain kernel's
// bytes: most do its double arithmetic lane by lane, the single-precision ones
// make again in double every pixel whose result lies near a rounding boundary
// (AffineKernelTests' FastLayerMatchesThePlainKernels).
//
// TL_KERNELS_PLAIN=1 in the environment switches the layer off.

#include "kernels/AffineKernels.h"
#include "kernels/LinearU8Vector.h"

namespace kernels {

// Runs kernel inIndex (0..17, or kBitKernel) over rows ymin..ymax.
void RunAffineKernel(int inIndex, const AffineKernelArgs& inArgs);

// Whether the layer is on, how many threads it may use (0: one per core) and
// the widest vectors it may use (at most what the processor runs). Tests and
// benchmarks switch it; the environment sets whether it starts on.
bool FastLayerEnabled();
void SetFastLayer(bool inEnabled, int inThreads = 0, VectorLevel inVectors = VectorLevel::kAvx512);

}  // namespace kernels
