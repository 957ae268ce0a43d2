#include "kernels/ErrorStatus.h"

#include <cstdlib>

namespace {

ErrorStatusRecord gErrorStatus{{0}, {0}, {&iplDefaultErrorHandler}};

constexpr const char* kUnknownStatus = "Unknown error or status code";

}  // namespace

ErrorStatusRecord* iplErrorContext()
{
  return &gErrorStatus;
}

void iplErrorContextInit(ErrorStatusRecord* inRecord)
{
  if (!inRecord)
    return;
  inRecord->status.store(0);
  inRecord->mode.store(0);
  inRecord->handler.store(&iplDefaultErrorHandler);
}

int iplStatusGet()
{
  return gErrorStatus.status.load();
}

void iplStatusSet(int inStatus)
{
  gErrorStatus.status.store(inStatus);
}

int iplErrorModeGet()
{
  return gErrorStatus.mode.load();
}

void iplErrorModeSet(int inMode)
{
  gErrorStatus.mode.store(inMode);
}

IplErrorHandler iplErrorHandlerSet(IplErrorHandler inHandler)
{
  return gErrorStatus.handler.exchange(inHandler ? inHandler : &iplDefaultErrorHandler);
}

int iplError(int inStatus, const char* inFunction, const char* inMessage, const char* inModule,
             int inLine)
{
  if (inStatus != IPL_STATUS_BACKTRACE && inStatus != IPL_STATUS_AUTOTRACE) {
    gErrorStatus.status.store(inStatus);
    if (inStatus == IPL_STATUS_OK)
      return 0;
  }
  IplErrorHandler theHandler = gErrorStatus.handler.load();
  return theHandler(inStatus, inFunction, inMessage, inModule, inLine);
}

int iplDefaultErrorHandler(int inStatus, const char*, const char*, const char*, int)
{
  if (gErrorStatus.mode.load() == 0)
    std::exit(1);
  return inStatus;
}

const char* iplStatusMessage(int inStatus)
{
  switch (inStatus) {
    case 0: return "No Error";
    case -1: return "Backtrace";
    case -3: return "Internal error (bad state)";
    case -4: return "Insufficient memory";
    case -5: return "Bad argument";
    case -6: return "Unsupported function";
    case -7: return "Iteration convergence failed";
    case -8: return "Autotrace call";
    case -9: return "Null pointer to an image header";
    case -10: return "Incorrect image size";
    case -11: return "Incorrect offset of ROI of the image";
    case -12: return "Image must be tiled or must have nonzero data pointer";
    case -13: return "Incorrect widthStep of the image";
    case -14: return "Incorrect Color model or channel sequence of the image";
    case -15: return "Incorrect number of channels in the image";
    case -16: return "Number of channels for 1U depth image must be one";
    case -17: return "Incorrect depth value in the image header";
    case -18: return "Incorrect alpha channel number in the image header";
    case -19: return "Incorrect data order value in the image header";
    case -20: return "Incorrect data origin value in the image header";
    case -21: return "Incorrect data alignment value in the image header";
    case -22: return "Null pointer to callback function";
    case -23: return "Incorrect size of the tile";
    case -24: return "Incorrect COI of the image";
    case -25: return "Incorrect size of ROI in the image header";
    case -26: return "Mask image is taled";
    case -27: return "Null pointer";
    case -28: return "Incorrect vector length";
    case -29: return "Incorrect filter structure content";
    case -30: return "Incorrect transform kernel content";
    case -31: return "Incorrect filter ofset value";
    // Faults of a mask header.
    case -110: return "Mask. Incorrect image size";
    case -111: return "Mask. Incorrect offset of ROI of the image";
    case -112: return "Mask. Image must be tiled or must have nonzero data pointer";
    case -113: return "Mask. Incorrect widthStep of the image";
    case -114: return "Mask. Incorrect Color model or channel sequence of the image";
    case -115: return "Mask. Incorrect number of channels in the image";
    case -117: return "Mask. Incorrect depth value in the image header";
    case -118: return "Mask. Incorrect alpha channel number in the image header";
    case -119: return "Mask. Incorrect data order value in the image header";
    case -120: return "Mask. Incorrect data origin value in the image header";
    case -121: return "Mask. Incorrect data alignment value in the image header";
    case -124: return "Mask. Incorrect COI of the image";
    case -125: return "Mask. Incorrect size of ROI in the image header";
    default: return kUnknownStatus;
  }
}
