#include "objects/XColor.h"

#include "core/Utilities.h"
#include "platform/automation/ComError.h"

namespace {

constexpr WORD ColorValue::*kChannels[] = {&ColorValue::mRed, &ColorValue::mGreen, &ColorValue::mBlue,
                                           &ColorValue::mAlpha};

// A channel as a colour text prints it, in single precision.
float ReadPercent(WORD inChannel)
{
  return static_cast<float>(PercentFromChannel(inChannel));
}

// The value of an [in] VARIANT converted to a single-precision number.
float VariantFloat(const VARIANT& inValue)
{
  Variant theConverted;
  if (HRESULT theResult = VariantChangeType(theConverted.Get(), VariantDeref(&inValue), 0, VT_R4); FAILED(theResult))
    throw _com_error(theResult);
  return theConverted->fltVal;
}

void SetFloatResult(VARIANT* outValue, float inValue)
{
  VariantInit(outValue);
  outValue->vt = VT_R4;
  outValue->fltVal = inValue;
}

// The high byte of a channel; the byte of a number at inShift into the high
// byte of a channel.
LONG HighByte(WORD inChannel)
{
  return inChannel >> 8;
}

WORD ChannelFromByteAt(LONG inNumber, int inShift)
{
  return static_cast<WORD>(((static_cast<DWORD>(inNumber) >> inShift) & 0xFF) << 8);
}

}  // namespace

HRESULT XColor::GetPercent(VARIANT* outValue, Channel inChannel) const
{
  return MethodFrame(kXColorReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetFloatResult(outValue, ReadPercent(mColor.*inChannel));
    return S_OK;
  });
}

HRESULT XColor::PutPercent(const VARIANT& inValue, Channel inChannel)
{
  return MethodFrame(kXColorReporter, [&] {
    const float thePercent = VariantFloat(inValue);
    ColorValue theColor;
    for (Channel theChannel : kChannels)
      theColor.*theChannel = ChannelFromPercent(theChannel == inChannel ? thePercent : ReadPercent(mColor.*theChannel));
    mColor = theColor;
    return S_OK;
  });
}

HRESULT XColor::get_String(VARIANT* outValue)
{
  return MethodFrame(kXColorReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetTextResult(outValue, FormatColor(mColor));
    return S_OK;
  });
}

HRESULT XColor::put_String(VARIANT inValue)
{
  return MethodFrame(kXColorReporter, [&] {
    ColorValue theColor = mColor;
    if (!ParseColor(VariantText(inValue, "XColor String"), theColor))
      return kXColorReporter.ReportSetPropertyError("XColor String", inValue, 0, 0);
    mColor = theColor;
    return S_OK;
  });
}

HRESULT XColor::get_Red(VARIANT* outValue)
{
  return GetPercent(outValue, &ColorValue::mRed);
}

HRESULT XColor::put_Red(VARIANT inValue)
{
  return PutPercent(inValue, &ColorValue::mRed);
}

HRESULT XColor::get_Green(VARIANT* outValue)
{
  return GetPercent(outValue, &ColorValue::mGreen);
}

HRESULT XColor::put_Green(VARIANT inValue)
{
  return PutPercent(inValue, &ColorValue::mGreen);
}

HRESULT XColor::get_Blue(VARIANT* outValue)
{
  return GetPercent(outValue, &ColorValue::mBlue);
}

HRESULT XColor::put_Blue(VARIANT inValue)
{
  return PutPercent(inValue, &ColorValue::mBlue);
}

HRESULT XColor::get_Alpha(VARIANT* outValue)
{
  return GetPercent(outValue, &ColorValue::mAlpha);
}

HRESULT XColor::put_Alpha(VARIANT inValue)
{
  return PutPercent(inValue, &ColorValue::mAlpha);
}

HRESULT XColor::get_RGB(VARIANT* outValue)
{
  return MethodFrame(kXColorReporter, [&] {
    if (!outValue)
      return E_POINTER;
    SetLongResult(outValue, HighByte(mColor.mBlue) << 16 | HighByte(mColor.mGreen) << 8 | HighByte(mColor.mRed));
    return S_OK;
  });
}

HRESULT XColor::put_RGB(VARIANT inValue)
{
  return MethodFrame(kXColorReporter, [&] {
    const LONG theNumber = VariantLong(inValue);
    mColor = ColorValue(ChannelFromByteAt(theNumber, 0), ChannelFromByteAt(theNumber, 8),
                        ChannelFromByteAt(theNumber, 16), 65535);
    return S_OK;
  });
}
