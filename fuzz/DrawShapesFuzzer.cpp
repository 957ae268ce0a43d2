// Shapes and text as a page asks for them: the first byte picks the member
// (DrawShape, DrawText, TextArea or TextLength) and the canvas's depth; then
// come the shape's name, the parameter string (with its point lists,
// rectangles, colours, fonts and transforms) and the text, each of a length
// given by one byte. What a run holds to:
// - every member answers S_OK, or E_FAIL with a description;
// - DrawShape and DrawText answer a rectangle that reads back as one;
// - TextArea's measures are not negative and its text result says the same;
// - TextLength's count of characters is at most the text's length.

#include "fuzz/ObjectFuzzSupport.h"

namespace {

const char* const kDepths[] = {"millions", "thousands", "256", "16", "2"};

std::string ResultText(const Variant& inValue)
{
  TL_FUZZ_CHECK(inValue.Type() == VT_BSTR);
  return BstrToUtf8(inValue->bstrVal);
}

LONG ResultLong(const Variant& inValue)
{
  TL_FUZZ_CHECK(inValue.Type() == VT_I4);
  return inValue->lVal;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartObjects();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const int theMember = theInput.Between(0, 3);
  const char* theDepth = kDepths[theInput.Between(0, 4)];
  Variant theShape{theInput.Text(16)};
  Variant theParams{theInput.Text()};
  const std::string_view theTextBytes = theInput.Rest();
  Variant theText{theTextBytes};

  ComPtr<ComObject<Canvas>> theCanvas = NewCanvas(theDepth, 64, 48);

  Variant theFirst;
  Variant theSecond;
  Variant theThird;
  Variant theResult;
  RECT theRect{};
  switch (theMember) {
  case 0:
    if (Succeeded(theCanvas->DrawShape(theShape.Get(), theParams.Get(), theResult.Get())))
      TL_FUZZ_CHECK(ParseRect(ResultText(theResult), theRect));
    break;
  case 1:
    if (Succeeded(theCanvas->DrawText(theText.Get(), theParams.Get(), theResult.Get())))
      TL_FUZZ_CHECK(ParseRect(ResultText(theResult), theRect));
    break;
  case 2:
    if (Succeeded(theCanvas->TextArea(theText.Get(), theParams.Get(), theFirst.Get(), theSecond.Get(), theThird.Get(),
                                      theResult.Get()))) {
      const LONG theWidth = ResultLong(theFirst);
      const LONG theHeight = ResultLong(theSecond);
      const LONG theLine = ResultLong(theThird);
      TL_FUZZ_CHECK(theWidth >= 0 && theHeight >= 0 && theLine >= 0);
      TL_FUZZ_CHECK(ResultText(theResult) == FormatLong(theWidth) + ',' + FormatLong(theHeight) + ',' +
                                                FormatLong(theLine));
    }
    break;
  default:
    if (Succeeded(theCanvas->TextLength(theText.Get(), theParams.Get(), theFirst.Get(), theResult.Get()))) {
      const std::string theCount = ResultText(theFirst);
      TL_FUZZ_CHECK(theCount == ResultText(theResult));
      TL_FUZZ_CHECK(std::stoll(theCount) >= 0 &&
                    static_cast<std::size_t>(std::stoll(theCount)) <= Utf8ToUtf16(theTextBytes).size());
    }
    break;
  }
  return 0;
}
