// Image data drawn on a canvas as a page draws an upload, through every reader
// the preferences allow. The first bytes pick the canvas (no pixels yet, or
// 40 x 30 pixels of 32, 16 or 8 bits), the readers (the JPEG library,
// ImageMagick), MaxSize (small values, so that the size limit and reduced JPEG
// decoding are reached, or the default), one of a few parameter strings, and
// whether the result is taken out again with GetAs; the rest is the file.
// What a run holds to:
// - every member answers S_OK, or E_FAIL with a description;
// - a canvas that had no pixels and drew the picture has pixels, at most
//   MaxSize squared of them;
// - a canvas with pixels is taken out as PNG, JPEG and GIF bytes that are not
//   empty.

#include "fuzz/ObjectFuzzSupport.h"

namespace {

const char* const kDepths[] = {"millions", "thousands", "256"};
const LONG kMaxSizes[] = {2000, 8, 40, 100, 300};
const char* const kParameters[] = {
  "",
  "image=2",
  "rect=5,5,25,20",
  "limitwidth=16 limitheight=16",
  "stretch=3,2",
  "rotate=30",
  "mode=transparent",
  "rect=0,0,400,300 source=1,1,9,9",
};
const char* const kExportTypes[] = {"png", "jpg", "gif"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartObjects();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const bool theEmpty = theInput.Flag();
  const char* theDepth = kDepths[theInput.Between(0, 2)];
  const LONG theMaxSize = kMaxSizes[theInput.Between(0, 4)];
  const bool theJPEGLibrary = theInput.Flag();
  const bool theMagick = theInput.Flag();
  const char* theParameters = kParameters[theInput.Between(0, 7)];
  const bool theExport = theInput.Flag();
  UsePreference("MaxSize", theMaxSize);
  UsePreference("IJLImport", theJPEGLibrary);
  UsePreference("IMImport", theMagick);

  ComPtr<ComObject<Canvas>> theCanvas = NewCanvas(theDepth, theEmpty ? 0 : 40, 30);

  Variant theData = BytesArgument(theInput.Rest());
  Variant theType(std::string_view(""));
  Variant theParams{std::string_view(theParameters)};
  Variant theRect;
  const bool theDrawn = Succeeded(theCanvas->DrawData(theData.Get(), theType.Get(), theParams.Get(), theRect.Get()));
  const LONGLONG theWidth = LongProperty(*theCanvas.Get(), &Canvas::get_Width);
  const LONGLONG theHeight = LongProperty(*theCanvas.Get(), &Canvas::get_Height);
  if (theEmpty && theDrawn) {
    TL_FUZZ_CHECK(theWidth > 0 && theHeight > 0);
    TL_FUZZ_CHECK(theWidth * theHeight <= LONGLONG{theMaxSize} * theMaxSize);
  }
  if (!theExport || theWidth == 0 || theHeight == 0)
    return 0;
  for (const char* theFormat : kExportTypes) {
    Variant theExportType{std::string_view(theFormat)};
    Variant theNoParams{std::string_view("")};
    Variant theBytes;
    TL_FUZZ_CHECK(theCanvas->GetAs(theExportType.Get(), theNoParams.Get(), theBytes.Get()) == S_OK);
    BYTE* theStart = nullptr;
    LONG theLength = 0;
    TL_FUZZ_CHECK(AccessVARIANT(*theBytes.Get(), theStart, theLength) == S_OK && theLength > 0);
    UnaccessVARIANT(*theBytes.Get());
  }
  return 0;
}
