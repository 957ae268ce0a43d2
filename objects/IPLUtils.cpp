#include "objects/IPLUtils.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "platform/gdi/Gdi.h"

std::mutex IPLBridge::gWarpLock;

namespace {

// A kernel header over the pixels of a DIB section, labelled with their byte
// order; 0, or the status of the failure (-3 when the kernels left none).
LONG MakeIPLHeader(HBITMAP inHBM, IPLBridge::Order inOrder, ImageHeader*& outImage)
{
  TL_ASSERT(inHBM);
  outImage = nullptr;
  DIBSECTION theDIB{};
  if (GetObjectA(inHBM, sizeof(theDIB), &theDIB) != static_cast<int>(sizeof(theDIB)) || !theDIB.dsBm.bmBits)
    return IPL_STATUS_INTERNAL;
  LONG theHeight = theDIB.dsBmih.biHeight;
  const int theOrigin = theHeight > 0 ? IPL_ORIGIN_BL : IPL_ORIGIN_TL;
  if (theHeight < 0)
    theHeight = -theHeight;
  const bool theRGBA = inOrder == IPLBridge::Order::kRGBA;
  switch (theDIB.dsBm.bmBitsPixel) {
    case 24:
      outImage = iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", theRGBA ? "RGB" : "BGR", IPL_DATA_ORDER_PIXEL,
                                      theOrigin, IPL_ALIGN_4BYTES, theDIB.dsBm.bmWidth, theHeight, nullptr,
                                      nullptr, nullptr, nullptr);
      break;
    case 32:
      outImage = iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", theRGBA ? "RGBA" : "BGRA", IPL_DATA_ORDER_PIXEL,
                                      theOrigin, IPL_ALIGN_4BYTES, theDIB.dsBm.bmWidth, theHeight, nullptr,
                                      nullptr, nullptr, nullptr);
      break;
    case 1:
      TL_ASSERT(FALSE);
      outImage = iplCreateImageHeader(1, 0, IPL_DEPTH_1U, "GRAY", "GRAY", IPL_DATA_ORDER_PIXEL, theOrigin,
                                      IPL_ALIGN_4BYTES, theDIB.dsBm.bmWidth, theHeight, nullptr, nullptr, nullptr,
                                      nullptr);
      break;
    default:
      TL_ASSERT(FALSE);
      break;
  }
  if (!outImage) {
    const int theStatus = iplStatusGet();
    return theStatus != 0 ? theStatus : IPL_STATUS_INTERNAL;
  }
  // Row alignment 4 makes the kernels' row step the DIB's row length.
  outImage->imageData = static_cast<std::uint8_t*>(theDIB.dsBm.bmBits);
  iplBorderModeSet(outImage, IPL_BORDER_REPLICATE, IPL_SIDE_ALL, 0);
  return 0;
}

}  // namespace

IPLBridge::IPLBridge()
{
  mLock.emplace(gWarpLock);
  iplErrorModeSet(2);
  iplStatusSet(IPL_STATUS_OK);
}

IPLBridge::~IPLBridge()
{
  TL_ASSERT((!mSrcIPL) && (!mDstIPL) && (!mDstBMCopy));
}

void IPLBridge::SetSource(HBITMAP inSrc, Order inOrder)
{
  TL_ASSERT((inSrc) && (!mSrcIPL));
  if (mErr != 0 || !inSrc || mSrcIPL)
    return;
  mOrder = inOrder;
  ImageHeader* theHeader = nullptr;
  mErr = MakeIPLHeader(inSrc, inOrder, theHeader);
  mSrcIPL.reset(theHeader);
  TL_ASSERT((mSrcIPL) || (mErr));
}

void IPLBridge::SetDestination(Bitmap* inDst)
{
  TL_ASSERT((inDst) && (!mDstBM) && (!mDstIPL) && (!mDstBMCopy));
  if (mErr != 0 || !inDst || mDstBM)
    return;
  mDstBM = inDst;
  const LONG theDepth = inDst->GetDepth();
  const bool theInPlace = theDepth == 32 || (theDepth == 24 && mOrder == Order::kDIB);
  HBITMAP theTarget = inDst->GetHBITMAP();
  if (!theInPlace) {
    mDstBMCopy = std::make_unique<Bitmap>();
    if (mDstBMCopy->Create(inDst->GetWidth(), inDst->GetHeight(), 32, nullptr) != 0 ||
        mDstBMCopy->CopyAllFromDC(inDst->GetHDC()) != 0) {
      mErr = IPL_STATUS_INTERNAL;
      return;
    }
    theTarget = mDstBMCopy->GetHBITMAP();
  }
  ImageHeader* theHeader = nullptr;
  mErr = theTarget ? MakeIPLHeader(theTarget, mOrder, theHeader) : IPL_STATUS_INTERNAL;
  mDstIPL.reset(theHeader);
  TL_ASSERT((mDstIPL) || (mErr));
}

void IPLBridge::SetTransform(const Transform& inTransform)
{
  // The XFORM order is eM11, eM12, eM21, eM22: the rows take it transposed.
  // The transform maps the plane in which pixel (x, y) is the square from
  // (x, y) to (x + 1, y + 1), as GDI copies; the kernels map pixel indices,
  // so centres go to centres: x' = T(x + 0.5) - 0.5.
  mCoeffs[0][0] = inTransform.eM11;
  mCoeffs[0][1] = inTransform.eM21;
  mCoeffs[0][2] = 0.5 * (mCoeffs[0][0] + mCoeffs[0][1]) + inTransform.eDx - 0.5;
  mCoeffs[1][0] = inTransform.eM12;
  mCoeffs[1][1] = inTransform.eM22;
  mCoeffs[1][2] = 0.5 * (mCoeffs[1][0] + mCoeffs[1][1]) + inTransform.eDy - 0.5;
}

void IPLBridge::SetClip(const RECT& inRect)
{
  if (mErr != 0)
    return;
  TL_ASSERT(mSrcIPL);
  if (!mSrcIPL)
    return;
  const LONGLONG theWidth = LONGLONG{inRect.right} - inRect.left;
  const LONGLONG theHeight = LONGLONG{inRect.bottom} - inRect.top;
  if (mSrcIPL->width <= theWidth && mSrcIPL->height <= theHeight)
    return;
  if (theWidth <= 0 || theHeight <= 0)
    return;
  iplRoiFill(&mRoi, 0, inRect.left, inRect.top, static_cast<int>(theWidth), static_cast<int>(theHeight));
  mSrcIPL->roi = &mRoi;
}

LONG IPLBridge::Run()
{
  if (mErr == 0) {
    TL_ASSERT(mSrcIPL && mDstIPL);
    if (!mSrcIPL || !mDstIPL)
      mErr = IPL_STATUS_NULL_HEADER;
  }
  if (mErr == 0) {
    Bitmap* theTarget = mDstBMCopy ? mDstBMCopy.get() : mDstBM;
    if (mOrder == Order::kRGBA)
      theTarget->ToRGBA();
    iplWarpAffine(mSrcIPL.get(), mDstIPL.get(), mCoeffs,
                  IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES | IPL_INTER_PIXEL_AREAS);
    mErr = iplStatusGet();
    Unlock();
    theTarget->FromRGBA();
    if (mErr == 0 && mDstBMCopy && mDstBM->CopyAllFromDC(mDstBMCopy->GetHDC()) != 0)
      mErr = IPL_STATUS_INTERNAL;
  }
  Unlock();
  mSrcIPL.reset();
  mDstIPL.reset();
  mDstBMCopy.reset();
  return mErr;
}

const char* IPLStatusText(LONG inStatus)
{
  return inStatus == 0 ? nullptr : iplStatusMessage(inStatus);
}
