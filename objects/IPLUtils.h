#pragma once
// IPLBridge: the one road from the canvas operations into the image-processing
// kernels. It describes a source DIB section and the canvas Bitmap as kernel
// image headers over their own pixel memory (nothing is copied for 24- and
// 32-bit canvases), turns a Transform into the kernels' 2 x 3 coefficients,
// optionally limits the source to a region of interest, and runs the affine
// warp with linear interpolation and edge smoothing.
//
// Placement. The warp lands where a GDI copy through the same transform
// would: every destination pixel whose centre falls inside the mapped
// picture is written (an enlargement by k covers k pixels for each source
// pixel, to the last column and row), sampled at its centre's place in the
// source, so colour edges fall where the copy puts them. Beyond the outer
// source centres the edge pixels are taken in full.
//
//   IPLBridge theBridge;                 // takes the process-wide warp lock
//   theBridge.SetSource(theHBITMAP, IPLBridge::Order::kDIB);
//   theBridge.SetDestination(&theCanvas);
//   theBridge.SetTransform(theTransform);
//   theBridge.SetClip(theSourceRect);    // optional
//   if (LONG theStatus = theBridge.Run(); theStatus != 0)
//     ... "IPL Error - " and IPLStatusText(theStatus) ...
//
// Byte order. The kernels copy channel i to channel i. The source is warped
// in its own byte order and the canvas is brought to that order for the warp:
// a DIB section's B, G, R (A) leaves a 32-bit canvas as it is; an R, G, B, A
// source (a Bitmap after ToRGBA) turns the canvas to R, G, B, A and back.
// A canvas that cannot hold the source's order in place (neither 24- nor
// 32-bit, or 24-bit under an R, G, B, A source) is warped through a 32-bit
// copy, which then goes back onto the canvas. Alpha is never warped: the
// canvas keeps its own.
//
// Status. The kernels keep one status, error mode and handler for the whole
// process. A bridge holds one process-wide lock from its construction (which
// sets mode 2, report by status, and status 0) until Run has read the status
// after the warp, so a warp never reports another thread's failure: warps of
// one process run one at a time (each still uses every core inside). The
// first failing step's status sticks; later steps do nothing and Run still
// releases everything. One bridge serves one warp on one thread.

#include "core/Transform.h"
#include "kernels/Ipl.h"
#include "platform/base/WinTypes.h"
#include "platform/faults/Faults.h"

#include <memory>
#include <mutex>
#include <optional>

class Bitmap;

class IPLBridge {
public:
  // The byte order of a source's pixels.
  enum class Order {
    kDIB,   // a DIB section's own: B, G, R or B, G, R, A
    kRGBA,  // a 32-bit Bitmap after ToRGBA
  };

  IPLBridge();
  virtual ~IPLBridge();
  IPLBridge(const IPLBridge&) = delete;
  IPLBridge& operator=(const IPLBridge&) = delete;

  // The pixels to warp: a DIB section of 24 or 32 bits (1 bit is taken as
  // grey), which must outlive Run.
  virtual void SetSource(HBITMAP inSrc, Order inOrder);
  // The canvas warped into, which must outlive Run.
  virtual void SetDestination(Bitmap* inDst);
  void SetTransform(const Transform& inTransform);
  // Limits the source to inRect when the rectangle has an area and does not
  // cover the whole source.
  void SetClip(const RECT& inRect);
  // Warps and releases the headers and the copy: 0, or the kernels' status.
  [[nodiscard]] LONG Run();

private:
  struct HeaderRelease {
    void operator()(ImageHeader* inHeader) const { iplImageRelease(inHeader, IPL_IMAGE_HEADER); }
  };
  using HeaderPtr = std::unique_ptr<ImageHeader, HeaderRelease>;

  // Gives back the lock (once).
  void Unlock() { mLock.reset(); }

  static std::mutex gWarpLock;

  std::optional<FaultSafeLock<std::mutex>> mLock;
  LONG mErr = 0;
  Order mOrder = Order::kDIB;
  Bitmap* mDstBM = nullptr;
  std::unique_ptr<Bitmap> mDstBMCopy;
  HeaderPtr mSrcIPL;
  HeaderPtr mDstIPL;
  double mCoeffs[2][3] = {{1, 0, 0}, {0, 1, 0}};
  RoiRecord mRoi{};
};

// Null for 0; else the kernels' text of the status.
const char* IPLStatusText(LONG inStatus);
