#include "objects/GraphicImage.h"

#include "core/Utilities.h"

GraphicImage::GraphicImage(const ImageInfoRecord& inRecord)
    : mDepth(inRecord.mBitDepth),
      mResolution(inRecord.mResolution),
      mColorSpace(inRecord.mColorSpace),
      mHasProfile(inRecord.mHasColorProfile),
      mRect{inRecord.mLeft, inRecord.mTop, inRecord.mRight, inRecord.mBottom}
{
}

HRESULT GraphicImage::get_Depth(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatDepth(mDepth));
    return S_OK;
  });
}

HRESULT GraphicImage::get_Resolution(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, mResolution);
    return S_OK;
  });
}

HRESULT GraphicImage::get_ColorSpace(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColorSpace(mColorSpace));
    return S_OK;
  });
}

HRESULT GraphicImage::get_ColorProfile(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetBoolResult(outValue, mHasProfile == 1);
    return S_OK;
  });
}

HRESULT GraphicImage::get_Rectangle(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatRect(mRect));
    return S_OK;
  });
}

HRESULT GraphicImage::get_Width(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatLong(RectWidth(mRect)));
    return S_OK;
  });
}

HRESULT GraphicImage::get_Height(VARIANT* outValue)
{
  return MethodFrame(kGraphicImageReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatLong(RectHeight(mRect)));
    return S_OK;
  });
}
