#pragma once
// The colour of every pen, brush, background and key colour: 16-bit channels
// (65535 = full; alpha 65535 is opaque) and a tag that marks the canvas's fill
// pattern instead of a colour.

#include "platform/base/WinTypes.h"

struct ColorValue {
  static constexpr LONG kPlainTag = 0;
  static constexpr LONG kPatternTag = 1;  // the channels are not used

  WORD mRed = 0;
  WORD mGreen = 0;
  WORD mBlue = 0;
  WORD mAlpha = 65535;
  LONG mTag = kPlainTag;

  // Opaque black.
  constexpr ColorValue() = default;
  constexpr ColorValue(WORD inRed, WORD inGreen, WORD inBlue, WORD inAlpha)
    : mRed(inRed), mGreen(inGreen), mBlue(inBlue), mAlpha(inAlpha)
  {
  }

  bool IsPattern() const { return mTag != kPlainTag; }

  friend constexpr bool operator==(const ColorValue&, const ColorValue&) = default;
};
