// The Canvas object in-process, called by name as a script calls it: what
// the pages cannot reach (null pointers, the defaults an operation gets, the
// pixels' depth, a failing resize, the locks of a byte array).

#include "objects/Canvas.h"
#include "objects/Operation.h"
#include "objects/SelfRegistration.h"
#include "platform/automation/SafeArray.h"
#include "platform/base/WinError.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// An operation that only holds the record SetupOp fills.
class RecordOnly : public Operation {
public:
  RecordOnly() : Operation("Record:") {}

protected:
  LONG DoIt(Bitmap&) override { return 0; }
};

class CanvasObject : public testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(RegisterModule(), S_OK) << "the error source is the registered ProgID";
    ASSERT_EQ(ComObject<Canvas>::Create(nullptr, mCanvas), S_OK);
  }

  // A property get or put, or a method call, by name through IDispatch; a
  // failure answers the member's own HRESULT and leaves its description.
  HRESULT Call(const char* inName, WORD inFlags, std::vector<Variant> inArgs, Variant* outResult = nullptr)
  {
    std::u16string theName = Utf8ToUtf16(inName);
    LPOLESTR theNames[] = {theName.data()};
    DISPID theId = DISPID_UNKNOWN;
    DISPID thePut = DISPID_PROPERTYPUT;
    if (HRESULT theResult = mCanvas->GetIDsOfNames(IID_NULL, theNames, 1, 0, &theId); FAILED(theResult))
      return theResult;
    std::vector<VARIANT> theArgs;
    for (auto theArg = inArgs.rbegin(); theArg != inArgs.rend(); ++theArg)
      theArgs.push_back(*theArg->Get());
    const bool theIsPut = inFlags == DISPATCH_PROPERTYPUT;
    DISPPARAMS theParams{theArgs.data(), theIsPut ? &thePut : nullptr, static_cast<UINT>(theArgs.size()),
                         theIsPut ? 1u : 0u};
    Variant theIgnored;
    EXCEPINFO theException{};
    HRESULT theResult = mCanvas->Invoke(theId, IID_NULL, 0, inFlags, &theParams,
                                        (outResult ? outResult : &theIgnored)->Receive(), &theException, nullptr);
    mDescription = BstrToUtf8(theException.bstrDescription);
    if (theResult == DISP_E_EXCEPTION)
      theResult = theException.scode;
    ClearExcepInfo(&theException);
    return theResult;
  }
  HRESULT Put(const char* inName, Variant inValue) { return Call(inName, DISPATCH_PROPERTYPUT, {inValue}); }
  std::string GetText(const char* inName)
  {
    Variant theValue;
    EXPECT_EQ(Call(inName, DISPATCH_PROPERTYGET, {}, &theValue), S_OK) << inName;
    return VariantText(*theValue.Get());
  }

  ObjectPtr<Canvas> mCanvas;
  std::string mDescription;
};

TEST_F(CanvasObject, NullPointersAnswerEPointerAndFailuresCarryTheirErrorInfo)
{
  Variant theLocation("0,0");
  EXPECT_EQ(mCanvas->get_Width(nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->get_TextFont(nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->get_Pattern(nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->get_Image(nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->GetColor(nullptr, theLocation.Get()), E_POINTER);
  EXPECT_EQ(mCanvas->GetColor(theLocation.Get(), nullptr), E_POINTER);

  EXPECT_EQ(mCanvas->SaveAs(nullptr, theLocation.Get()), E_POINTER);
  EXPECT_EQ(mCanvas->GetAs(theLocation.Get(), theLocation.Get(), nullptr), E_POINTER);

  Variant theRect;
  EXPECT_EQ(mCanvas->DrawCanvas(0, nullptr, theRect.Receive()), E_POINTER);
  EXPECT_EQ(mCanvas->DrawCanvas(0, theLocation.Get(), nullptr), E_POINTER);

  EXPECT_EQ(Call("DrawCanvas", DISPATCH_METHOD, {Variant(LONG{0}), Variant("")}), E_FAIL);
  EXPECT_EQ(mDescription.rfind("Unable to understand image provided", 0), 0u) << mDescription;
  EXPECT_EQ(mCanvas->InterfaceSupportsErrorInfo(ICanvas::kIID), S_OK);
  EXPECT_EQ(mCanvas->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(CanvasObject, SetupOpCopiesEveryDefault)
{
  const std::string theLongFont = std::string(254, 'a') + "\xC3\xA9" + ",DejaVu Sans";
  ASSERT_EQ(Put("PenSize", Variant(LONG{7})), S_OK);
  ASSERT_EQ(Put("PaintColor", Variant("#102030")), S_OK);
  ASSERT_EQ(Put("PenColor", Variant("100,0,0")), S_OK);
  ASSERT_EQ(Put("TextColor", Variant("0,0,100,0")), S_OK);
  ASSERT_EQ(Put("TextFont", Variant(theLongFont)), S_OK);
  ASSERT_EQ(Put("TextSize", Variant(LONG{24})), S_OK);
  ASSERT_EQ(Put("TextStyle", Variant("bold,italic")), S_OK);
  ASSERT_EQ(Put("TextCharset", Variant("0")), S_OK);
  ASSERT_EQ(Put("HAlign", Variant("right")), S_OK);
  ASSERT_EQ(Put("VAlign", Variant("bottom")), S_OK);
  ASSERT_EQ(Put("Pattern", Variant(LONG{1234})), S_OK);
  ASSERT_EQ(Put("Depth", Variant("256")), S_OK);
  ASSERT_EQ(Put("Dither", Variant("yes")), S_OK);

  RecordOnly theOp;
  mCanvas->SetupOp(theOp);
  const Parameters& theRecord = *theOp.GetParams();
  EXPECT_EQ(theRecord.PenSize, 7);
  EXPECT_EQ(theRecord.PaintColor, ColorValue(0x1000, 0x2000, 0x3000, 65535));
  EXPECT_EQ(FormatColor(theRecord.PenColor), "100.0,0.0,0.0,100.0");
  EXPECT_EQ(FormatColor(theRecord.TextColor), "0.0,0.0,100.0,0.0");
  EXPECT_EQ(theRecord.Font, std::string(254, 'a')) << "cut to 255 bytes, and not inside a character";
  EXPECT_EQ(theRecord.TextSize, 24);
  EXPECT_EQ(FormatTextStyle(theRecord.TextStyle), "bold,italic");
  EXPECT_EQ(theRecord.Charset, 0);
  EXPECT_EQ(theRecord.HAlign, 2);
  EXPECT_EQ(theRecord.VAlign, 2);
  EXPECT_EQ(HandleToNumber(theRecord.Pattern), 1234u);
  EXPECT_EQ(theRecord.Depth, 256);
  EXPECT_EQ(theRecord.Dither, 1);
  EXPECT_EQ(theRecord.Mode, 0);
}

TEST_F(CanvasObject, DepthPutsConvertThePixelsAndAFailedResizeKeepsTheNewSize)
{
  ASSERT_EQ(Put("Width", Variant(LONG{40})), S_OK);
  ASSERT_EQ(Put("Height", Variant(LONG{30})), S_OK);
  for (const auto& [theDepth, theBits] : {std::pair{"256", 8}, std::pair{"thousands", 16}, std::pair{"2", 1}}) {
    SCOPED_TRACE(theDepth);
    ASSERT_EQ(Put("Depth", Variant(theDepth)), S_OK);
    EXPECT_EQ(GetText("Depth"), theDepth);
    LONG theImage = 0;
    ASSERT_EQ(mCanvas->get_Image(&theImage), S_OK);
    DIBSECTION theSection{};
    ASSERT_NE(GetObjectA(GetCurrentObject(NumberToHandle<HDC>(static_cast<std::uint32_t>(theImage)), OBJ_BITMAP),
                         sizeof theSection, &theSection),
              0);
    EXPECT_EQ(theSection.dsBm.bmBitsPixel, theBits);
    EXPECT_EQ(theSection.dsBm.bmWidth, 40);
  }

  // 100000 x 100000 pixels of 32 bits are past what a DIB section holds.
  ASSERT_EQ(Put("Depth", Variant("millions")), S_OK);
  EXPECT_EQ(Put("Width", Variant(LONG{100000})), S_OK) << "the height is still 30";
  EXPECT_EQ(Put("Height", Variant(LONG{100000})), E_FAIL);
  EXPECT_EQ(mDescription,
            "A Windows error occurred that indicates that there was not enough memory (8).\n\n\n"
            "Set Canvas Height  =  100000");
  EXPECT_EQ(GetText("Height"), "100000") << "the new height stays set";
}

TEST_F(CanvasObject, SelectionReductionAndInformationRefuseNullsAndGiveThePaletteBack)
{
  Variant theText("all");
  EXPECT_EQ(mCanvas->Select(nullptr, theText.Get()), E_POINTER);
  EXPECT_EQ(mCanvas->Select(theText.Get(), nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->ReduceColors(theText.Get(), theText.Get(), nullptr), E_POINTER);
  EXPECT_EQ(mCanvas->GetInfo(theText.Get(), nullptr), E_POINTER);

  // The bytes are read in place, and unlocked after a success and a failure alike.
  ASSERT_EQ(Put("Width", Variant(LONG{20})), S_OK);
  ASSERT_EQ(Put("Height", Variant(LONG{20})), S_OK);
  for (const auto& [theLength, theResult] : {std::pair{6u, S_OK}, std::pair{2u, E_FAIL}}) {
    Variant thePalette;
    thePalette.Set(VT_ARRAY | VT_UI1).parray = SafeArrayCreateVector(VT_UI1, 0, theLength);
    Variant theColors("16");
    Variant theDither("no");
    EXPECT_EQ(mCanvas->ReduceColors(thePalette.Get(), theColors.Get(), theDither.Get()), theResult);
    EXPECT_EQ(thePalette->parray->cLocks, 0u) << theLength << " bytes";
  }
  Variant theInfo;
  ASSERT_EQ(Call("GetInfo", DISPATCH_METHOD, {Variant("palette")}, &theInfo), S_OK);
  ASSERT_EQ(theInfo.Type(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(theInfo->parray->rgsabound[0].cElements, 768u);
  ASSERT_EQ(Call("GetInfo", DISPATCH_METHOD, {Variant("nonsense")}, &theInfo), S_OK);
  EXPECT_EQ(theInfo.Type(), VT_EMPTY);
}

// A canvas of two colours holds black and white: black painted on it reads
// back, and selection, reduction and drawing onto another canvas see black.
TEST_F(CanvasObject, ATwoColourCanvasHoldsBlackAndWhite)
{
  // Red, green and blue (GDI leaves a 32-bit canvas's alpha 0).
  const std::string theBlack = "0.0,0.0,0.0";
  const std::string theWhite = "100.0,100.0,100.0";
  auto theColorAt = [](ICanvas* inCanvas, const char* inPoint) {
    Variant theColor;
    EXPECT_EQ(inCanvas->GetColor(Variant(inPoint).Get(), theColor.Receive()), S_OK);
    const std::string theText = VariantText(*theColor.Get());
    return theText.substr(0, theText.rfind(','));
  };
  auto theBlackSquare = [&] {
    ASSERT_EQ(Call("Clear", DISPATCH_METHOD, {}), S_OK);
    ASSERT_EQ(Put("Depth", Variant("2")), S_OK);
    ASSERT_EQ(Put("Width", Variant(LONG{20})), S_OK);
    ASSERT_EQ(Put("Height", Variant(LONG{20})), S_OK);
    ASSERT_EQ(Call("DrawShape", DISPATCH_METHOD,
                   {Variant("rect"), Variant("rect=0,0,10,10 op=paint paintcolor=#000000")}),
              S_OK)
        << mDescription;
  };

  theBlackSquare();
  EXPECT_EQ(theColorAt(mCanvas.Get(), "5,5"), theBlack);
  EXPECT_EQ(theColorAt(mCanvas.Get(), "15,15"), theWhite);
  Variant theTable;
  ASSERT_EQ(Call("GetInfo", DISPATCH_METHOD, {Variant("palette")}, &theTable), S_OK);
  ASSERT_EQ(theTable.Type(), VT_ARRAY | VT_UI1);
  const BYTE* theEntries = static_cast<const BYTE*>(theTable->parray->pvData);
  EXPECT_EQ(std::vector<BYTE>(theEntries, theEntries + theTable->parray->rgsabound[0].cElements),
            (std::vector<BYTE>{0, 0, 0, 255, 255, 255}));

  ObjectPtr<Canvas> theTarget;
  ASSERT_EQ(ComObject<Canvas>::Create(nullptr, theTarget), S_OK);
  ASSERT_EQ(theTarget->put_Width(*Variant(LONG{20}).Get()), S_OK);
  ASSERT_EQ(theTarget->put_Height(*Variant(LONG{20}).Get()), S_OK);
  LONG theImage = 0;
  ASSERT_EQ(mCanvas->get_Image(&theImage), S_OK);
  Variant theRect;
  ASSERT_EQ(theTarget->DrawCanvas(theImage, Variant("").Get(), theRect.Receive()), S_OK);
  EXPECT_EQ(theColorAt(theTarget.Get(), "5,5"), theBlack) << "drawn onto another canvas";
  EXPECT_EQ(theColorAt(theTarget.Get(), "15,15"), theWhite) << "drawn onto another canvas";

  ASSERT_EQ(Call("ReduceColors", DISPATCH_METHOD, {Variant("uniform"), Variant("8"), Variant("false")}), S_OK);
  EXPECT_EQ(theColorAt(mCanvas.Get(), "5,5"), theBlack) << "reduced";

  theBlackSquare();
  ASSERT_EQ(Call("Select", DISPATCH_METHOD, {Variant("color"), Variant("keycolor=#000000 tolerance=10")}), S_OK);
  Variant theSelection;
  ASSERT_EQ(Call("GetInfo", DISPATCH_METHOD, {Variant("selectionrect")}, &theSelection), S_OK);
  EXPECT_EQ(VariantText(*theSelection.Get()), "0,0,10,10") << "selected";
}

// A NUL inside a script's string is never cut off: a parameter string is
// refused with the parser's code 8, any other text in the member's words,
// and nothing is drawn, read or written.
TEST_F(CanvasObject, StringsHoldingANulAreRefusedWhole)
{
  using namespace std::string_literals;
  using namespace std::string_view_literals;
  const std::string theFolder = tltest::MakeTempFolder("nul");
  const std::string theBlue = theFolder + "/blue.gif";
  ASSERT_EQ(Put("Width", Variant(LONG{20})), S_OK);
  ASSERT_EQ(Put("Height", Variant(LONG{20})), S_OK);
  ASSERT_EQ(Put("Color", Variant("#0000FF")), S_OK);
  ASSERT_EQ(Call("Erase", DISPATCH_METHOD, {}), S_OK);
  ASSERT_EQ(Call("SaveAs", DISPATCH_METHOD, {Variant(theBlue), Variant("")}), S_OK);
  ASSERT_EQ(Put("Color", Variant("#FFFFFF")), S_OK);
  ASSERT_EQ(Call("Erase", DISPATCH_METHOD, {}), S_OK);
  auto theColorAt = [&](const char* inPoint) {
    Variant theColor;
    EXPECT_EQ(Call("GetColor", DISPATCH_METHOD, {Variant(inPoint)}, &theColor), S_OK);
    return VariantText(*theColor.Get());
  };
  const std::string theWhite = theColorAt("0,0");

  struct Case {
    const char* mMember;
    WORD mFlags;
    std::vector<Variant> mArgs;
    std::string mDescription;  // its start, for an operation's text
  } const kCases[] = {
    {"DrawShape", DISPATCH_METHOD, {Variant("rect"), Variant("rect=0,0,10,10\0 op=paint paintcolor=#FF0000"sv)},
     "Parameter string holds a NUL character at character 14 \"rect=0,0,10,10^\\0 op=paint paintcolor=#FF0000\"\n"},
    {"DrawShape", DISPATCH_METHOD, {Variant("rect\0oval"sv), Variant("paintcolor=#FF0000")},
     "Shape holds a NUL character at character 4 \"rect\\0oval\""},
    {"DrawFile", DISPATCH_METHOD, {Variant(theBlue + "\0.png"s), Variant("")},
     "File name holds a NUL character at character " + std::to_string(theBlue.size()) + " \"" + theBlue +
         "\\0.png\""},
    {"SaveAs", DISPATCH_METHOD, {Variant(theFolder + "/out.gif\0.jpg"s), Variant("")},
     "File name holds a NUL character at character " + std::to_string(theFolder.size() + 8) + " \"" + theFolder +
         "/out.gif\\0.jpg\""},
    {"DrawText", DISPATCH_METHOD, {Variant("ab\0cd"sv), Variant("")}, "Text holds a NUL character at character 2 \"ab\\0cd\""},
    {"Select", DISPATCH_METHOD, {Variant("all\0"sv), Variant("")},
     "Selection type holds a NUL character at character 3 \"all\\0\""},
    {"Color", DISPATCH_PROPERTYPUT, {Variant("#FF0000\0junk"sv)},
     "Canvas Color holds a NUL character at character 7 \"#FF0000\\0junk\""},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mMember);
    EXPECT_EQ(Call(theCase.mMember, theCase.mFlags, theCase.mArgs), E_FAIL);
    EXPECT_EQ(mDescription.substr(0, theCase.mDescription.size()), theCase.mDescription);
  }
  EXPECT_EQ(GetText("Color"), "100.0,100.0,100.0,100.0");
  for (const char* thePoint : {"5,5", "19,19"})
    EXPECT_EQ(theColorAt(thePoint), theWhite) << thePoint;
  EXPECT_FALSE(std::ifstream(theFolder + "/out.gif")) << "nothing written";
}

}  // namespace
