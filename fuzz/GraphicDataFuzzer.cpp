// Bytes described as a page describes an upload: Graphic.SetData with the
// first byte's choice of ReadImages and ReadIPTC, then every image's record and
// the IPTC items it found, and GraphicIPTC.SetData of the same bytes. What a
// run holds to:
// - SetData answers S_OK, or E_FAIL with a description; GraphicIPTC.SetData of
//   a byte array always succeeds;
// - every item from 1 to Count answers each of its properties, its rectangle
//   reads back as one and its width and height are the rectangle's; items 0
//   and Count + 1 are refused;
// - every IPTC item answers its record, dataset, name, text and bytes, record
//   and dataset within a byte.

#include "fuzz/ObjectFuzzSupport.h"
#include "objects/Graphic.h"
#include "objects/GraphicIPTC.h"

namespace {

void CheckImages(Graphic& inGraphic)
{
  LONG theCount = -1;
  TL_FUZZ_CHECK(inGraphic.get_Count(&theCount) == S_OK && theCount >= 0);
  for (LONG i = 1; i <= theCount; ++i) {
    ComPtr<IGraphicImage> theImage;
    TL_FUZZ_CHECK(inGraphic.get_Item(i, theImage.Receive()) == S_OK && theImage);
    for (auto theGetter : {&IGraphicImage::get_Depth, &IGraphicImage::get_Resolution, &IGraphicImage::get_ColorSpace,
                           &IGraphicImage::get_ColorProfile}) {
      Variant theValue;
      TL_FUZZ_CHECK((theImage.Get()->*theGetter)(theValue.Get()) == S_OK);
    }
    RECT theRect{};
    TL_FUZZ_CHECK(ParseRect(TextProperty(*theImage.Get(), &IGraphicImage::get_Rectangle), theRect));
    TL_FUZZ_CHECK(TextProperty(*theImage.Get(), &IGraphicImage::get_Width) == FormatLong(RectWidth(theRect)));
    TL_FUZZ_CHECK(TextProperty(*theImage.Get(), &IGraphicImage::get_Height) == FormatLong(RectHeight(theRect)));
  }
  for (LONG theOutside : {LONG{0}, theCount + 1}) {
    ComPtr<IGraphicImage> theImage;
    TL_FUZZ_CHECK(FAILED(inGraphic.get_Item(theOutside, theImage.Receive())) && !theImage);
  }
}

void CheckItems(IGraphicIPTC& inList)
{
  LONG theCount = -1;
  TL_FUZZ_CHECK(inList.get_Count(&theCount) == S_OK && theCount >= 0);
  for (LONG i = 1; i <= theCount; ++i) {
    ComPtr<IIPTCItem> theItem;
    TL_FUZZ_CHECK(inList.get_Item(i, theItem.Receive()) == S_OK && theItem);
    LONG theNumber = -1;
    TL_FUZZ_CHECK(theItem->get_Record(&theNumber) == S_OK && theNumber >= 0 && theNumber <= 255);
    TL_FUZZ_CHECK(theItem->get_DataSet(&theNumber) == S_OK && theNumber >= 0 && theNumber <= 255);
    for (auto theGetter : {&IIPTCItem::get_Name, &IIPTCItem::get_Text}) {
      BSTR theText = nullptr;
      TL_FUZZ_CHECK((theItem.Get()->*theGetter)(&theText) == S_OK);
      SysFreeString(theText);
    }
    Variant theBytes;
    TL_FUZZ_CHECK(theItem->get_Data(theBytes.Get()) == S_OK);
  }
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
  const auto theFlags = theInput.Take<std::uint8_t>();
  const bool theReadImages = theFlags & 1;
  const bool theReadIPTC = theFlags & 2;
  Variant theData = BytesArgument(theInput.Rest());

  ComPtr<ComObject<Graphic>> theGraphic;
  TL_FUZZ_CHECK(ComObject<Graphic>::Create(nullptr, theGraphic) == S_OK);
  TL_FUZZ_CHECK(theGraphic->put_ReadImages(*Variant(LONG{theReadImages}).Get()) == S_OK);
  TL_FUZZ_CHECK(theGraphic->put_ReadIPTC(*Variant(LONG{theReadIPTC}).Get()) == S_OK);
  Variant theType{std::string_view("")};
  if (Succeeded(theGraphic->SetData(theData.Get(), theType.Get()))) {
    CheckImages(*theGraphic.Get());
    ComPtr<IGraphicIPTC> theIPTC;
    TL_FUZZ_CHECK(theGraphic->get_IPTC(theIPTC.Receive()) == S_OK && theIPTC);
    CheckItems(*theIPTC.Get());
  }

  ComPtr<ComObject<GraphicIPTC>> theList;
  TL_FUZZ_CHECK(ComObject<GraphicIPTC>::Create(nullptr, theList) == S_OK);
  TL_FUZZ_CHECK(theList->SetData(*theData.Get()) == S_OK);
  CheckItems(*theList.Get());
  return 0;
}
