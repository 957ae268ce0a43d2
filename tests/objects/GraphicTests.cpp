// Graphic and GraphicImage in-process: files that convert writes, described
// through SetFile and SetData alike and checked against what identify reads
// in them; input no reader takes; the flags; the errors a script meets.

#include "core/IPTCUtils.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "objects/ClassTable.h"
#include "objects/Graphic.h"
#include "platform/automation/Registration.h"
#include "platform/base/Numbers.h"
#include "platform/quicktime/QuickTime.h"
#include "tests/objects/GraphicTestFiles.h"
#include "tests/objects/PageSupport.h"
#include "tests/support/HostProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

using graphictest::ByteArray;
using graphictest::Bytes;
using graphictest::ErrorInfoText;

// A result VARIANT as a script prints it.
std::string Shown(const Variant& inValue)
{
  switch (inValue.Type()) {
    case VT_BOOL:
      return inValue->boolVal ? "true" : "false";
    case VT_I4:
      return std::to_string(inValue->lVal);
    case VT_BSTR:
      return "\"" + VariantText(*inValue.Get()) + "\"";
    default:
      return "type " + std::to_string(inValue.Type());
  }
}

template <class I>
std::string Shown(I* inObject, HRESULT (I::*inGet)(VARIANT*))
{
  Variant theValue;
  EXPECT_EQ((inObject->*inGet)(theValue.Receive()), S_OK);
  return Shown(theValue);
}

// Format, Count, Drawable, then per image Depth, Resolution, ColorSpace,
// ColorProfile, Rectangle, Width and Height.
std::string Description(IGraphic* inGraphic)
{
  LONG theCount = -1;
  EXPECT_EQ(inGraphic->get_Count(&theCount), S_OK);
  std::string theText = Shown(inGraphic, &IGraphic::get_Format) + " " + std::to_string(theCount) + " " +
                        Shown(inGraphic, &IGraphic::get_Drawable);
  for (LONG i = 1; i <= theCount; ++i) {
    ComPtr<IGraphicImage> theImage;
    EXPECT_EQ(inGraphic->get_Item(i, theImage.Receive()), S_OK);
    if (!theImage)
      continue;
    IGraphicImage* theGI = theImage.Get();
    theText += " | " + Shown(theGI, &IGraphicImage::get_Depth) + " " + Shown(theGI, &IGraphicImage::get_Resolution) +
               " " + Shown(theGI, &IGraphicImage::get_ColorSpace) + " " +
               Shown(theGI, &IGraphicImage::get_ColorProfile) + " " + Shown(theGI, &IGraphicImage::get_Rectangle) +
               " " + Shown(theGI, &IGraphicImage::get_Width) + " " + Shown(theGI, &IGraphicImage::get_Height);
  }
  return theText;
}

// What identify reads in the file, in the same terms: format and count, and
// per image resolution, colour space and rectangle.
std::string IdentifyDescription(const std::string& inPath)
{
  const tltest::RunResult theRun = tltest::RunProgram(
      {"/usr/bin/identify", "-format", "%m %x %U %[colorspace] %X %Y %w %h\n", inPath});
  EXPECT_EQ(theRun.mStatus, 0) << theRun.mErr;
  std::istringstream theLines(theRun.mOut);
  std::string theFormat, theImages;
  int theCount = 0;
  std::string theUnits, theSpace;
  double theResolution = 0;
  long theX = 0, theY = 0, theWidth = 0, theHeight = 0;
  while (theLines >> theFormat >> theResolution >> theUnits >> theSpace >> theX >> theY >> theWidth >> theHeight) {
    ++theCount;
    const long theDPI = theUnits == "PixelsPerInch" ? std::lround(std::trunc(theResolution)) : 72;
    theImages += " | " + std::to_string(theDPI) + " " + (theSpace == "sRGB" ? "RGB" : theSpace) + " " +
                 std::to_string(theX) + "," + std::to_string(theY) + "," + std::to_string(theX + theWidth) + "," +
                 std::to_string(theY + theHeight);
  }
  return theFormat + " " + std::to_string(theCount) + theImages;
}

// The same from our description.
std::string OurIdentifyTerms(IGraphic* inGraphic)
{
  LONG theCount = 0;
  EXPECT_EQ(inGraphic->get_Count(&theCount), S_OK);
  Variant theFormat;
  EXPECT_EQ(inGraphic->get_Format(theFormat.Receive()), S_OK);
  std::string theText = VariantText(*theFormat.Get()) + " " + std::to_string(theCount);
  for (LONG i = 1; i <= theCount; ++i) {
    ComPtr<IGraphicImage> theGI;
    EXPECT_EQ(inGraphic->get_Item(i, theGI.Receive()), S_OK);
    Variant theResolution, theSpace, theRect;
    EXPECT_EQ(theGI->get_Resolution(theResolution.Receive()), S_OK);
    EXPECT_EQ(theGI->get_ColorSpace(theSpace.Receive()), S_OK);
    EXPECT_EQ(theGI->get_Rectangle(theRect.Receive()), S_OK);
    theText += " | " + std::to_string(theResolution->lVal) + " " + VariantText(*theSpace.Get()) + " " +
               VariantText(*theRect.Get());
  }
  return theText;
}

class GraphicTest : public graphictest::GraphicFixture {
protected:
  HRESULT SetFile(const std::string& inPath)
  {
    Variant thePath(inPath);
    return mGraphic->SetFile(thePath.Get());
  }

  HRESULT SetData(const Bytes& inBytes, const std::string& inType)
  {
    Variant theData = ByteArray(inBytes);
    Variant theType(inType);
    return mGraphic->SetData(theData.Get(), theType.Get());
  }

  HRESULT Put(HRESULT (IGraphic::*inPut)(VARIANT), const std::string& inText)
  {
    return (mGraphic.Get()->*inPut)(*Variant(inText).Get());
  }

  std::string Flags()
  {
    IGraphic* theGraphic = mGraphic.Get();
    return Shown(theGraphic, &IGraphic::get_ReadImages) + " " + Shown(theGraphic, &IGraphic::get_ReadIPTC);
  }
};

TEST_F(GraphicTest, DescribesEachFormatAsImageMagickReadsIt)
{
  struct Case {
    const char* mName;
    std::vector<std::string> mConvert;
    const char* mExpected;
    const char* mPrefix = "";
  } kCases[] = {
      {"alpha.png", {"-size", "12x8", "xc:rgba(255,0,0,0.5)"},
       "\"PNG\" 1 true | \"millions\" 72 \"RGB\" false \"0,0,12,8\" \"12\" \"8\""},
      {"palette.png", {"-size", "12x8", "xc:red", "xc:blue", "xc:lime", "-append", "+repage", "-colors", "3", "-type",
                       "Palette"},
       "\"PNG\" 1 true | \"4\" 72 \"RGB\" false \"0,0,12,24\" \"12\" \"24\"", "PNG8:"},
      {"anim.gif", {"-size", "20x20", "xc:white", "(", "-size", "10x10", "xc:red", "-repage", "20x20+5+5", ")", "(",
                    "-size", "6x4", "xc:blue", "-repage", "20x20+2+3", ")"},
       "\"GIF\" 3 true | \"2\" 72 \"RGB\" false \"0,0,20,20\" \"20\" \"20\" | \"2\" 72 \"RGB\" false \"5,5,15,15\" "
       "\"10\" \"10\" | \"2\" 72 \"RGB\" false \"2,3,8,7\" \"6\" \"4\""},
      {"pages.tif", {"-size", "8x6", "xc:red", "xc:green", "xc:blue"},
       "\"TIFF\" 3 true | \"millions\" 72 \"RGB\" false \"0,0,8,6\" \"8\" \"6\" | \"millions\" 72 \"RGB\" false "
       "\"0,0,8,6\" \"8\" \"6\" | \"millions\" 72 \"RGB\" false \"0,0,8,6\" \"8\" \"6\""},
      {"picture.bmp", {"-size", "9x7", "xc:orange"},
       "\"BMP3\" 1 true | \"millions\" 72 \"RGB\" false \"0,0,9,7\" \"9\" \"7\"", "BMP3:"},
      {"grey.jpg", {"-size", "10x6", "gradient:", "-colorspace", "Gray"},
       "\"JPEG\" 1 true | \"millions\" 72 \"Gray\" false \"0,0,10,6\" \"10\" \"6\""},
      {"cmyk.jpg", {"-size", "10x6", "xc:red", "-colorspace", "CMYK"},
       "\"JPEG\" 1 true | \"millions\" 72 \"CMYK\" false \"0,0,10,6\" \"10\" \"6\""},
      {"cmyk-icc.jpg", {"-size", "10x6", "xc:red", "-colorspace", "CMYK", "-profile", TL_CMYK_PROFILE},
       "\"JPEG\" 1 true | \"millions\" 72 \"CMYK\" true \"0,0,10,6\" \"10\" \"6\""},
      {"dpi.psd", {"-size", "8x8", "xc:green", "-units", "PixelsPerInch", "-density", "300"},
       "\"PSD\" 2 true | \"millions\" 300 \"RGB\" false \"0,0,8,8\" \"8\" \"8\" | \"millions\" 300 \"RGB\" false "
       "\"0,0,8,8\" \"8\" \"8\""},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    const std::string theFile = graphictest::ConvertFile(theCase.mConvert, theCase.mName, theCase.mPrefix);
    ASSERT_EQ(SetFile(theFile), S_OK);
    EXPECT_EQ(Description(mGraphic.Get()), theCase.mExpected);
    EXPECT_EQ(OurIdentifyTerms(mGraphic.Get()), IdentifyDescription(theFile));
    ASSERT_EQ(SetData(graphictest::ReadBytes(theFile), theCase.mName), S_OK);
    EXPECT_EQ(Description(mGraphic.Get()), theCase.mExpected) << "from the bytes";
  }
}

// Each SetFile starts again: nothing of a good file stays after a bad one,
// and a good file after a bad one is described whole. A URL in an MVG or
// an SVG is never fetched.
TEST_F(GraphicTest, InputNoReaderTakesIsNoErrorAndLeavesItEmpty)
{
  const int theServer = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(theServer, 0);
  sockaddr_in theAddress{};
  theAddress.sin_family = AF_INET;
  theAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t theLength = sizeof theAddress;
  ASSERT_EQ(bind(theServer, reinterpret_cast<sockaddr*>(&theAddress), sizeof theAddress), 0);
  ASSERT_EQ(listen(theServer, 4), 0);
  ASSERT_EQ(getsockname(theServer, reinterpret_cast<sockaddr*>(&theAddress), &theLength), 0);
  const std::string theURL = "http://127.0.0.1:" + std::to_string(ntohs(theAddress.sin_port)) + "/x.png";

  const std::string theGood = graphictest::ConvertFile({"-size", "4x3", "xc:red"}, "good.png");
  Bytes theCut = graphictest::ReadBytes(theGood);
  theCut.resize(theCut.size() / 2);
  const std::string theSVG = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                             "width=\"10\" height=\"10\"><image xlink:href=\"" + theURL + "\" width=\"10\" height=\"10\"/></svg>";
  const std::string theMVG = "viewbox 0 0 10 10 image over 0,0 10,10 \"" + theURL + "\"\n";
  const struct Case {
    const char* mName;
    Bytes mBytes;
  } kCases[] = {
      {"text.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}},
      {"empty.png", {}},
      {"cut.png", theCut},
      {"picture.svg", Bytes(theSVG.begin(), theSVG.end())},
      {"picture.mvg", Bytes(theMVG.begin(), theMVG.end())},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    ASSERT_EQ(SetFile(theGood), S_OK);
    ASSERT_EQ(Description(mGraphic.Get()), "\"PNG\" 1 true | \"2\" 72 \"RGB\" false \"0,0,4,3\" \"4\" \"3\"");
    EXPECT_EQ(SetFile(graphictest::WriteFile(theCase.mBytes, theCase.mName)), S_OK);
    EXPECT_EQ(Description(mGraphic.Get()), "\"\" 0 false");
    EXPECT_EQ(SetData(theCase.mBytes, theCase.mName), S_OK);
    EXPECT_EQ(Description(mGraphic.Get()), "\"\" 0 false");
  }
  const int theClient = accept(theServer, nullptr, nullptr);
  EXPECT_LT(theClient, 0) << "a URL was fetched";
  close(theServer);
}

// The flags read as booleans and take words and numbers; a text that does
// not parse changes nothing. With both off, ImageMagick only pings: a PSD
// cut inside its pixel data is then described from its header. By default a
// PSD is decoded (its ping misses profiles and alpha), and the cut one is
// refused; a PNG is pinged either way, so one whose pixel data is spoilt is
// described from its header.
TEST_F(GraphicTest, FlagsParseAsBooleansAndBothOffReadsAttributesOnly)
{
  EXPECT_EQ(Flags(), "true false");
  const struct Case {
    const char* mImages;
    const char* mIPTC;
    const char* mExpected;
  } kCases[] = {
      {"no", "yes", "false true"}, {"maybe", "", "false true"}, {"7", "0", "true false"},
      {"FALSE", "-1", "false true"}, {"true", "no", "true false"},
  };
  for (const Case& theCase : kCases) {
    EXPECT_EQ(Put(&IGraphic::put_ReadImages, theCase.mImages), S_OK);
    EXPECT_EQ(Put(&IGraphic::put_ReadIPTC, theCase.mIPTC), S_OK);
    EXPECT_EQ(Flags(), theCase.mExpected) << theCase.mImages << " " << theCase.mIPTC;
  }

  Bytes theSpoilt = graphictest::ReadBytes(graphictest::ConvertFile({"-size", "12x8", "xc:red"}, "spoilt.png"));
  const auto theData = std::search(theSpoilt.begin(), theSpoilt.end(), std::begin("IDAT"), std::end("IDAT") - 1);
  ASSERT_NE(theData, theSpoilt.end());
  std::fill(theData + 4, theSpoilt.end() - 12, BYTE{0});
  Bytes theCut = graphictest::ReadBytes(
      graphictest::ConvertFile({"-size", "40x30", "gradient:red-blue", "-compress", "RLE"}, "cut.psd"));
  ASSERT_GT(theCut.size(), 3000u);
  theCut.resize(3000);
  const std::string thePNG = "\"PNG\" 1 true | \"2\" 72 \"RGB\" false \"0,0,12,8\" \"12\" \"8\"";
  ASSERT_EQ(SetData(theSpoilt, "png"), S_OK);
  EXPECT_EQ(Description(mGraphic.Get()), thePNG) << "by default";
  ASSERT_EQ(SetData(theCut, "psd"), S_OK);
  EXPECT_EQ(Description(mGraphic.Get()), "\"\" 0 false") << "decoded";
  ASSERT_EQ(Put(&IGraphic::put_ReadImages, "0"), S_OK);
  ASSERT_EQ(SetData(theSpoilt, "png"), S_OK);
  EXPECT_EQ(Description(mGraphic.Get()), thePNG) << "pinged";
  ASSERT_EQ(SetData(theCut, "psd"), S_OK);
  EXPECT_EQ(Description(mGraphic.Get()),
            "\"PSD\" 2 true | \"millions\" 72 \"RGB\" false \"0,0,40,30\" \"40\" \"30\" | \"millions\" 72 \"RGB\" "
            "false \"0,0,40,30\" \"40\" \"30\"")
      << "pinged";
}

TEST_F(GraphicTest, ListsTheIPTCDataSetsOfTheFirstImage)
{
  const Bytes theDataSets = graphictest::Join({graphictest::DataSet(2, 120, "A caption"),
                                               graphictest::DataSet(2, 25, "one")});
  const std::string thePath =
      graphictest::WriteFile(graphictest::JpegWithResources(graphictest::Resource(kIPTCResourceID, theDataSets)),
                             "caption.jpg");
  ASSERT_EQ(Put(&IGraphic::put_ReadIPTC, "yes"), S_OK);
  ASSERT_EQ(SetFile(thePath), S_OK);
  ComPtr<IGraphicIPTC> theIPTC;
  ASSERT_EQ(mGraphic->get_IPTC(theIPTC.Receive()), S_OK);
  LONG theCount = 0;
  EXPECT_EQ(theIPTC->get_Count(&theCount), S_OK);
  EXPECT_EQ(theCount, 2);
  ComPtr<IIPTCItem> theCaption;
  ASSERT_EQ(theIPTC->get_Item(1, theCaption.Receive()), S_OK);
  Bstr theText;
  EXPECT_EQ(theCaption->get_Text(theText.Receive()), S_OK);
  EXPECT_EQ(theText.ToUtf8(), "A caption");

  ASSERT_EQ(SetData({'x'}, "txt"), S_OK);
  EXPECT_EQ(theIPTC->get_Count(&theCount), S_OK);
  EXPECT_EQ(theCount, 0) << "the list goes with the description";
}

TEST_F(GraphicTest, FailuresReachTheScriptAndImagesLiveOn)
{
  for (LONG theIndex : {1, 0, -1}) {
    SetErrorInfo(0, nullptr);
    ComPtr<IGraphicImage> theImage;
    EXPECT_EQ(mGraphic->get_Item(theIndex, theImage.Receive()), E_FAIL) << theIndex;
    EXPECT_EQ(ErrorInfoText(), "Image index out of range / Tessaline4.Graphic.1") << theIndex;
  }
  const std::string theGood = graphictest::ConvertFile({"-size", "4x3", "xc:red", "xc:blue"}, "two.tif");
  ASSERT_EQ(SetFile(theGood), S_OK);
  ComPtr<IGraphicImage> theSecond;
  ASSERT_EQ(mGraphic->get_Item(2, theSecond.Receive()), S_OK);
  for (LONG theIndex : {0, -1, 3}) {
    ComPtr<IGraphicImage> theImage;
    EXPECT_EQ(mGraphic->get_Item(theIndex, theImage.Receive()), E_FAIL) << theIndex;
    EXPECT_FALSE(theImage);
  }

  SetErrorInfo(0, nullptr);
  Variant theText("abc"), theType("png");
  EXPECT_EQ(mGraphic->SetData(theText.Get(), theType.Get()), E_FAIL);
  EXPECT_EQ(ErrorInfoText(), "Unable to access data / Tessaline4.Graphic.1");
  EXPECT_EQ(Description(mGraphic.Get()), "\"\" 0 false") << "the old description is gone";

  mGraphic.Reset();
  EXPECT_EQ(Shown(theSecond.Get(), &IGraphicImage::get_Rectangle), "\"0,0,4,3\"");

  ASSERT_EQ(ComObject<Graphic>::Create(nullptr, mGraphic), S_OK);
  EXPECT_EQ(mGraphic->SetFile(nullptr), E_POINTER);
  EXPECT_EQ(mGraphic->SetData(theText.Get(), nullptr), E_POINTER);
  EXPECT_EQ(mGraphic->get_Count(nullptr), E_POINTER);
  EXPECT_EQ(mGraphic->get_Item(1, nullptr), E_POINTER);
  EXPECT_EQ(mGraphic->get_IPTC(nullptr), E_POINTER);
  EXPECT_EQ(mGraphic->get_Format(nullptr), E_POINTER);
  EXPECT_EQ(theSecond->get_Width(nullptr), E_POINTER);
}

// Graphic as a page meets it: files and their bytes, the images by index
// and by enumerator, the errors with their numbers and source, the flags.
// With QuickTime there (the stand-in, which reads BMP and JPEG), the reader
// that describes a BMP3 file shows the order: QuickTime names it "BMP",
// ImageMagick "BMP3". A PNG the stand-in refuses goes on to ImageMagick.
class GraphicWithQuickTime : public GraphicTest {
protected:
  void SetUp() override
  {
    setenv(kQTLibraryVariable, TL_QUICKTIME_STANDIN, 1);
    GraphicTest::SetUp();
  }
};

TEST_F(GraphicWithQuickTime, QuickTimeDescribesFirstOnlyWhenImagesAloneAreAsked)
{
  const std::string theBMP = graphictest::ConvertFile({"-size", "9x7", "xc:orange"}, "picture.bmp", "BMP3:");
  const std::string thePNG = graphictest::ConvertFile({"-size", "4x3", "xc:red"}, "picture.png");
  const struct Case {
    const char* mImages;
    const char* mIPTC;
    LONG mQTInfo, mIMInfo;
    const std::string& mFile;
    const char* mFormat;
  } kCases[] = {
      {"true", "false", 1, 1, theBMP, "\"BMP\""},    {"true", "true", 1, 1, theBMP, "\"BMP3\""},
      {"false", "false", 1, 1, theBMP, "\"BMP3\""},  {"true", "true", 1, 0, theBMP, "\"BMP\""},
      {"false", "false", 1, 0, theBMP, "\"BMP\""},   {"true", "false", 0, 1, theBMP, "\"BMP3\""},
      {"true", "false", 1, 1, thePNG, "\"PNG\""},    {"true", "false", 1, 0, thePNG, "\"\""},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(std::string("ReadImages ") + theCase.mImages + ", ReadIPTC " + theCase.mIPTC + ", QTInfo " +
                 std::to_string(theCase.mQTInfo) + ", IMInfo " + std::to_string(theCase.mIMInfo) + ", " +
                 theCase.mFile);
    ASSERT_EQ(Put(&IGraphic::put_ReadImages, theCase.mImages), S_OK);
    ASSERT_EQ(Put(&IGraphic::put_ReadIPTC, theCase.mIPTC), S_OK);
    ASSERT_EQ(SetPrefLong("QTInfo", theCase.mQTInfo), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("IMInfo", theCase.mIMInfo), ERROR_SUCCESS);
    ASSERT_EQ(SetFile(theCase.mFile), S_OK);
    EXPECT_EQ(Shown<IGraphic>(mGraphic.Get(), &IGraphic::get_Format), theCase.mFormat);
  }
  ASSERT_EQ(Put(&IGraphic::put_ReadImages, "true"), S_OK);
  ASSERT_EQ(Put(&IGraphic::put_ReadIPTC, "false"), S_OK);
  ASSERT_EQ(SetPrefLong("QTInfo", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetData(graphictest::ReadBytes(theBMP), "picture.bmp"), S_OK);
  EXPECT_EQ(Description(mGraphic.Get()), "\"BMP\" 1 true | \"millions\" 72 \"RGB\" false \"0,0,9,7\" \"9\" \"7\"");
}

TEST(GraphicPage, DescribesFilesAndBytesAndReportsTheFailures)
{
  tltest::RunResult theResult = tltest::Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  const std::string kFiles[] = {
      graphictest::ConvertFile({"-size", "20x20", "xc:white", "(", "-size", "10x10", "xc:red", "-repage", "20x20+5+5",
                                ")", "(", "-size", "6x4", "xc:blue", "-repage", "20x20+2+3", ")"},
                               "anim.gif"),
      graphictest::ConvertFile({"-size", "10x6", "xc:red", "-colorspace", "CMYK"}, "cmyk.jpg"),
      graphictest::ConvertFile({"-size", "10x6", "xc:red", "-profile", TL_SRGB_PROFILE}, "srgb.jpg"),
      graphictest::ConvertFile({"-size", "8x8", "xc:green", "-units", "PixelsPerInch", "-density", "300"}, "dpi.psd"),
      graphictest::WriteFile({'t', 'e', 'x', 't'}, "text.txt"),
  };
  std::vector<std::string> theArguments;
  for (const std::string& thePath : kFiles) {
    theArguments.push_back(thePath);
    std::string theHex;
    for (BYTE theByte : graphictest::ReadBytes(thePath))
      theHex += FormatC("%02x", theByte);
    theArguments.push_back(theHex);
  }
  theResult = tltest::RunPage("graphic.js", {}, theArguments);
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, tltest::Expected("graphic.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

}  // namespace
