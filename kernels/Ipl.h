#pragma once
// The public interface of the image-processing kernels: records and constants,
// the process-wide status, headers and their storage, and the affine, bilinear
// and perspective warps.

#include "kernels/AffineWarp.h"
#include "kernels/AlignedAlloc.h"
#include "kernels/BilinearWarp.h"
#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/IplTypes.h"
#include "kernels/PerspectiveWarp.h"
