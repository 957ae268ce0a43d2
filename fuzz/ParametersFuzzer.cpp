// Parameter strings through the parameters record: every failure is one of
// the defined messages with a position inside the text and a context of at
// most 255 bytes that splits no character of valid UTF-8; a second parse
// agrees; and the geometry of a parsed record stays finite and keeps items
// inside their targets.

#include "core/Parameters.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

bool IsDefinedMessage(LONG inCode, const std::string& inMessage)
{
  static const char* const kPrefixes[] = {
    "",
    "",
    "Could not find equals sign expected at character ",
    "Could not find a parameter expected at character ",
    "Gave up getting value at character ",
    "Gave up looking for end quote of quoted string at character ",
    "Could not understand value of parameter \"",
    "Do not recognise parameter \"",
    "Parameter string holds a NUL character at character ",
  };
  return inCode >= 2 && inCode <= 8 && inMessage.starts_with(kPrefixes[inCode]) && inMessage.ends_with("\"");
}

bool IsFinite(const Transform& inTransform)
{
  return std::isfinite(inTransform.eM11) && std::isfinite(inTransform.eM12) && std::isfinite(inTransform.eM21) &&
         std::isfinite(inTransform.eM22) && std::isfinite(inTransform.eDx) && std::isfinite(inTransform.eDy);
}

// Entries small enough that no product with a rectangle's corners overflows a float.
bool IsModest(const Transform& inTransform)
{
  const float theEntries[] = {inTransform.eM11, inTransform.eM12, inTransform.eM21,
                              inTransform.eM22, inTransform.eDx,  inTransform.eDy};
  return std::all_of(std::begin(theEntries), std::end(theEntries), [](float inValue) { return std::abs(inValue) < 1e6f; });
}

void CheckGeometry(const Parameters& inParams)
{
  const RECT theTarget = inParams.GetRect();
  const LONGLONG theTargetWidth = LONGLONG{theTarget.right} - theTarget.left;
  const LONGLONG theTargetHeight = LONGLONG{theTarget.bottom} - theTarget.top;
  // Sides of 0 (no division by them) and modest transforms give finite maps.
  const bool theModest = IsModest(inParams.KeywordTransform) && std::abs(theTargetWidth) < (1 << 20) &&
                         std::abs(theTargetHeight) < (1 << 20);
  for (const SIZE theItem : {SIZE{0, 0}, SIZE{0, 10}, SIZE{7, 0}, SIZE{50, 40}, SIZE{60000, 3}}) {
    TL_FUZZ_CHECK(!theModest || IsFinite(inParams.GetItemTransform(theItem.cx, theItem.cy)));
    if (theTargetWidth < 1 || theTargetHeight < 1 || theTargetWidth > (1 << 30) || theTargetHeight > (1 << 30))
      continue;
    // Fitting shrinks and never grows, and the result lies inside the target.
    const RECT theFitted = FitRectIn({0, 0, theItem.cx, theItem.cy}, theTarget, 0.5, 0.5);
    const LONGLONG theWidth = LONGLONG{theFitted.right} - theFitted.left;
    const LONGLONG theHeight = LONGLONG{theFitted.bottom} - theFitted.top;
    TL_FUZZ_CHECK(theWidth >= 0 && theWidth <= theItem.cx && theWidth <= theTargetWidth);
    TL_FUZZ_CHECK(theHeight >= 0 && theHeight <= theItem.cy && theHeight <= theTargetHeight);
    TL_FUZZ_CHECK(theFitted.left >= theTarget.left && theFitted.right <= theTarget.right);
    TL_FUZZ_CHECK(theFitted.top >= theTarget.top && theFitted.bottom <= theTarget.bottom);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  const std::string_view theText(reinterpret_cast<const char*>(inData), inSize);
  Parameters theParams;
  const LONG theCode = theParams.Parse(theText);
  std::string theMessage;
  TL_FUZZ_CHECK(theParams.GetErrorText(theMessage) == (theCode != 0));
  TL_FUZZ_CHECK(theCode == 0 || IsDefinedMessage(theCode, theMessage));
  TL_FUZZ_CHECK(theParams.GetErrorPosition() >= 0 && static_cast<std::size_t>(theParams.GetErrorPosition()) <= inSize);
  TL_FUZZ_CHECK(theCode != 0 || static_cast<std::size_t>(theParams.GetErrorPosition()) == inSize);
  TL_FUZZ_CHECK(theParams.GetErrorContext().size() <= ParameterParser::kMaxContext);
  TL_FUZZ_CHECK(!IsValidUtf8(theText) || IsValidUtf8(theParams.GetErrorContext()));

  Parameters theAgain;
  TL_FUZZ_CHECK(theAgain.Parse(theText) == theCode);
  TL_FUZZ_CHECK(theAgain.GetErrorPosition() == theParams.GetErrorPosition());
  TL_FUZZ_CHECK(theAgain.GetErrorContext() == theParams.GetErrorContext());
  const Transform theFirst = theParams.GetTransform(), theSecond = theAgain.GetTransform();
  TL_FUZZ_CHECK(std::memcmp(&theFirst, &theSecond, sizeof theFirst) == 0);  // NaN included

  if (theCode == 0)
    CheckGeometry(theParams);
  return 0;
}
