// GraphicIPTC and IPTCItem in-process: hand-built IPTC-NAA datasets in a
// JPEG's APP13 segment, a Photoshop file and a bare resource block, read
// through SetFile and SetData alike; malformed blocks; the errors a script
// meets; items that live on after their list. exiv2 reads the same JPEG as
// the independent oracle.

#include "core/IPTCUtils.h"
#include "core/Utilities.h"
#include "objects/ClassTable.h"
#include "objects/Graphic.h"
#include "objects/GraphicIPTC.h"
#include "platform/automation/Registration.h"
#include "tests/objects/GraphicTestFiles.h"
#include "tests/objects/PageSupport.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/support/HostProcess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <iomanip>
#include <sstream>

namespace {

using graphictest::ByteArray;
using graphictest::Bytes;
using graphictest::ErrorInfoText;

struct Item {
  LONG mDataSet = -1;
  LONG mRecord = -1;
  std::string mName;
  std::string mText;
  std::string mData;  // "none" for an empty VARIANT

  bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& ioStream, const Item& inItem)
{
  return ioStream << inItem.mDataSet << ":" << inItem.mRecord << " [" << inItem.mName << "] [" << inItem.mText
                  << "] " << testing::PrintToString(inItem.mData);
}

Item Read(IIPTCItem* inItem)
{
  Item theItem;
  Bstr theText;
  Variant theData;
  EXPECT_EQ(inItem->get_DataSet(&theItem.mDataSet), S_OK);
  EXPECT_EQ(inItem->get_Record(&theItem.mRecord), S_OK);
  EXPECT_EQ(inItem->get_Name(theText.Receive()), S_OK);
  theItem.mName = theText.ToUtf8();
  EXPECT_EQ(inItem->get_Text(theText.Receive()), S_OK);
  theItem.mText = theText.ToUtf8();
  EXPECT_EQ(inItem->get_Data(theData.Receive()), S_OK);
  BYTE* theBytes = nullptr;
  LONG theLength = 0;
  if (theData.Type() == VT_EMPTY)
    theItem.mData = "none";
  else if (SUCCEEDED(AccessVARIANT(*theData.Get(), theBytes, theLength))) {
    theItem.mData.assign(reinterpret_cast<char*>(theBytes), static_cast<std::size_t>(theLength));
    UnaccessVARIANT(*theData.Get());
  }
  return theItem;
}

std::vector<Item> ItemsOf(IGraphicIPTC* inList)
{
  LONG theCount = -1;
  EXPECT_EQ(inList->get_Count(&theCount), S_OK);
  std::vector<Item> theItems;
  for (LONG i = 1; i <= theCount; ++i) {
    ComPtr<IIPTCItem> theItem;
    EXPECT_EQ(inList->get_Item(i, theItem.Receive()), S_OK);
    if (theItem)
      theItems.push_back(Read(theItem.Get()));
  }
  return theItems;
}

std::vector<Item> Enumerate(IGraphicIPTC* inList)
{
  ComPtr<IUnknown> theUnknown;
  ComPtr<IEnumVARIANT> theEnum;
  EXPECT_EQ(inList->get__NewEnum(theUnknown.Receive()), S_OK);
  EXPECT_EQ(theUnknown.As(theEnum), S_OK);
  std::vector<Item> theItems;
  Variant theNext;
  while (theEnum && theEnum->Next(1, theNext.Receive(), nullptr) == S_OK) {
    ComPtr<IIPTCItem> theItem;
    EXPECT_EQ(theNext.Type(), VT_DISPATCH);
    EXPECT_EQ(theNext->pdispVal->QueryInterface(IIPTCItem::kIID, theItem.ReceiveVoid()), S_OK);
    if (theItem)
      theItems.push_back(Read(theItem.Get()));
  }
  return theItems;
}

const std::vector<Item> kExpected = {
    {2, 0, "", "", std::string("\0\4", 2)},
    {2, 120, "Caption", "A caption", "A caption"},
    {2, 25, "Keyword", "one", "one"},
    {2, 25, "Keyword", "two", "two"},
    {2, 90, "City", "Paris", "Paris"},
    {2, 80, "Byline", "Me", "Me"},
    {2, 116, "Copyright String", "ab", std::string("ab\0cd", 5)},
    {1, 90, "City", "", "none"},
};

Bytes Expected()
{
  Bytes theBlock;
  for (const Item& theItem : kExpected)
    graphictest::Append(theBlock, graphictest::DataSet(theItem.mDataSet, theItem.mRecord,
                                                       theItem.mData == "none" ? "" : theItem.mData));
  return theBlock;
}

class IPTCList : public testing::Test {
protected:
  void SetUp() override
  {
    // The error source is the ProgID registered for the class.
    const ServerModule& theModule = Tessaline4Module();
    ASSERT_EQ(RegisterServerClass(*theModule.FindClass(kGraphicIPTCClass), theModule.Library(),
                                  ThreadingModel::kNeutralSynchronized, "/nowhere/libTessaline4.so"),
              S_OK);
    ASSERT_EQ(ComObject<GraphicIPTC>::Create(nullptr, mList), S_OK);
  }

  // SetFile, with the thread's error info cleared first.
  HRESULT SetFile(const std::string& inPath)
  {
    SetErrorInfo(0, nullptr);
    Bstr thePath(inPath);
    return mList->SetFile(thePath.Get());
  }

  ObjectPtr<GraphicIPTC> mList;
};

TEST_F(IPTCList, ListsTheDataSetsOfEachContainerInFileOrder)
{
  const Bytes theResource = graphictest::Resource(kIPTCResourceID, Expected());
  struct Case {
    const char* mName;
    Bytes mBytes;
  } kCases[] = {
      {"JPEG", graphictest::JpegWithResources(theResource)},
      {"PSD", graphictest::Convert(theResource, "PSD")},
      {"resource block after another", graphictest::Join({graphictest::Resource(kResolutionResourceID, Bytes(16, 1)),
                                                          theResource})},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    EXPECT_EQ(SetFile(graphictest::WriteFile(theCase.mBytes, "iptc")), S_OK);
    EXPECT_EQ(ItemsOf(mList.Get()), kExpected);
    EXPECT_EQ(Enumerate(mList.Get()), kExpected);
    ASSERT_EQ(mList->SetData(*ByteArray({}).Get()), S_OK);
    EXPECT_EQ(ItemsOf(mList.Get()), std::vector<Item>{});
    ASSERT_EQ(mList->SetData(*ByteArray(theCase.mBytes).Get()), S_OK);
    EXPECT_EQ(ItemsOf(mList.Get()), kExpected);
  }
}

// exiv2 finds the same datasets of record 2 in the JPEG the test made (it
// shows the record version as a number, so that one is left out).
TEST_F(IPTCList, Exiv2ReadsTheSameDataSets)
{
  if (access("/usr/bin/exiv2", X_OK) != 0)
    GTEST_SKIP() << "exiv2 is not installed";
  const std::string thePath =
      graphictest::WriteFile(graphictest::JpegWithResources(graphictest::Resource(kIPTCResourceID, Expected())), "iptc");
  ASSERT_EQ(SetFile(thePath), S_OK);
  std::ostringstream ours;
  for (const Item& theItem : ItemsOf(mList.Get()))
    if (theItem.mDataSet == 2 && theItem.mRecord != 0)
      ours << "0x" << std::hex << std::setw(4) << std::setfill('0') << theItem.mRecord << " " << theItem.mData << "\n";

  const tltest::RunResult theRun = tltest::RunProgram({"/usr/bin/exiv2", "-PIkXxv", thePath});
  std::ostringstream theirs;
  std::istringstream theLines(theRun.mOut);
  for (std::string theTag, theKey, theValue; theLines >> theTag >> theKey >> std::ws && std::getline(theLines, theValue);)
    if (theKey.rfind("Iptc.Application2.", 0) == 0 && theTag != "0x0000")
      theirs << theTag << " " << theValue << "\n";
  EXPECT_EQ(ours.str(), theirs.str()) << theRun.mErr;
}

// The datasets exiv2 writes into a JPEG of its own.
TEST_F(IPTCList, DataSetsThatExiv2WroteAreListed)
{
  if (access("/usr/bin/exiv2", X_OK) != 0)
    GTEST_SKIP() << "exiv2 is not installed";
  const std::string thePath = graphictest::WriteFile(jpegtest::MakeJpeg({}), "exiv2.jpg");
  const tltest::RunResult theRun = tltest::RunProgram(
      {"/usr/bin/exiv2", "-M", "set Iptc.Application2.RecordVersion 4", "-M",
       "set Iptc.Application2.Caption A caption", "-M", "add Iptc.Application2.Keywords one", "-M",
       "add Iptc.Application2.Keywords two", "-M", "set Iptc.Application2.City Paris", "-M",
       "set Iptc.Application2.Byline Me", thePath});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mErr;
  ASSERT_EQ(SetFile(thePath), S_OK);
  EXPECT_EQ(ItemsOf(mList.Get()), std::vector<Item>(kExpected.begin(), kExpected.begin() + 6));
}

// exiv2 splits IPTC data that outgrows one APP13 segment over two, cutting
// inside a dataset; every road reads the datasets of both, as exiv2 lists them.
TEST_F(IPTCList, DataSetsThatExiv2SplitOverTwoSegmentsAreAllListed)
{
  if (access("/usr/bin/exiv2", X_OK) != 0)
    GTEST_SKIP() << "exiv2 is not installed";
  const std::string thePath = graphictest::WriteFile(jpegtest::MakeJpeg({}), "keywords.jpg");
  std::string theCommands;
  for (int i = 0; i < 2500; ++i) {
    std::ostringstream theKeyword;
    theKeyword << "keyword-" << std::setw(4) << std::setfill('0') << i << "-" << std::string(17, char('a' + i % 26));
    theCommands += "add Iptc.Application2.Keywords String " + theKeyword.str() + "\n";
  }
  const std::string theCommandFile = graphictest::WriteFile(Bytes(theCommands.begin(), theCommands.end()), "cmd");
  tltest::RunResult theRun = tltest::RunProgram({"/usr/bin/exiv2", "-m", theCommandFile, thePath});
  ASSERT_EQ(theRun.mStatus, 0) << theRun.mErr;
  theRun = tltest::RunProgram({"/usr/bin/exiv2", "-pS", thePath});
  std::istringstream theSegments(theRun.mOut);
  int theAPP13Count = 0;
  for (std::string theLine; std::getline(theSegments, theLine);)
    theAPP13Count += theLine.find("APP13") != std::string::npos;
  ASSERT_EQ(theAPP13Count, 2) << theRun.mOut;

  theRun = tltest::RunProgram({"/usr/bin/exiv2", "-pi", thePath});
  std::vector<Item> theirs;
  std::istringstream theLines(theRun.mOut);
  for (std::string theKey, theType, theSize, theValue;
       theLines >> theKey >> theType >> theSize >> std::ws && std::getline(theLines, theValue);) {
    ASSERT_EQ(theKey, "Iptc.Application2.Keywords");
    theirs.push_back({2, 25, "Keyword", theValue, theValue});
  }
  ASSERT_EQ(theirs.size(), 2500u) << theRun.mErr;

  ObjectPtr<Graphic> theGraphic;
  ASSERT_EQ(ComObject<Graphic>::Create(nullptr, theGraphic), S_OK);
  ASSERT_EQ(theGraphic->put_ReadIPTC(*Variant("yes").Get()), S_OK);
  ASSERT_EQ(theGraphic->SetFile(Variant(thePath).Get()), S_OK);
  ComPtr<IGraphicIPTC> theGraphicIPTC;
  ASSERT_EQ(theGraphic->get_IPTC(theGraphicIPTC.Receive()), S_OK);
  auto theSame = [&](const std::vector<Item>& inOurs) {
    if (inOurs.size() != theirs.size())
      return testing::AssertionFailure() << inOurs.size() << " items";
    const auto [theOur, theTheir] = std::mismatch(inOurs.begin(), inOurs.end(), theirs.begin());
    if (theOur != inOurs.end())
      return testing::AssertionFailure() << "item " << theOur - inOurs.begin() + 1 << ": " << *theOur << ", exiv2 "
                                         << *theTheir;
    return testing::AssertionSuccess();
  };
  EXPECT_TRUE(theSame(ItemsOf(theGraphicIPTC.Get()))) << "Graphic.IPTC";
  ASSERT_EQ(SetFile(thePath), S_OK);
  EXPECT_TRUE(theSame(ItemsOf(mList.Get()))) << "SetFile";
  ASSERT_EQ(mList->SetData(*ByteArray(graphictest::ReadBytes(thePath)).Get()), S_OK);
  EXPECT_TRUE(theSame(ItemsOf(mList.Get()))) << "SetData";
}

TEST_F(IPTCList, MalformedBlocksGiveTheDataSetsBeforeTheFault)
{
  const Bytes theGood = graphictest::Join({graphictest::DataSet(2, 120, "A caption"), graphictest::DataSet(2, 25, "one")});
  Bytes theCut = theGood;
  theCut.resize(theCut.size() - 1);
  struct Case {
    const char* mName;
    Bytes mBytes;
    std::size_t mCount;
  } kCases[] = {
      {"whole", graphictest::Resource(kIPTCResourceID, theGood), 2},
      {"resource cut short", graphictest::Join({Bytes{'8', 'B', 'I', 'M', 4, 4, 0, 0, 0, 0, 0, 22}, theCut}), 0},
      {"dataset cut inside its resource", graphictest::Resource(kIPTCResourceID, theCut), 1},
      {"a stray byte after the first", graphictest::Resource(kIPTCResourceID,
                                                             graphictest::Join({graphictest::DataSet(2, 120, "A"),
                                                                                {0}, graphictest::DataSet(2, 25, "one")})),
       1},
      {"an extended length", graphictest::Resource(kIPTCResourceID, graphictest::Join({graphictest::DataSet(2, 120, "A"),
                                                                                       {0x1C, 2, 25, 0x80, 4}})),
       1},
      {"another resource only", graphictest::Resource(kResolutionResourceID, theGood), 0},
      {"datasets without a resource", theGood, 0},
  };
  for (const Case& theCase : kCases) {
    EXPECT_EQ(mList->SetData(*ByteArray(theCase.mBytes).Get()), S_OK) << theCase.mName;
    EXPECT_EQ(ItemsOf(mList.Get()).size(), theCase.mCount) << theCase.mName;
  }
}

TEST_F(IPTCList, FailuresReachTheScriptWithTheirNumbers)
{
  LONG theCount = -1;
  EXPECT_EQ(mList->get_Count(&theCount), S_OK);
  EXPECT_EQ(theCount, 0);
  for (LONG theIndex : {1, 0, -1}) {
    SetErrorInfo(0, nullptr);
    ComPtr<IIPTCItem> theItem;
    EXPECT_EQ(mList->get_Item(theIndex, theItem.Receive()), E_FAIL) << theIndex;
    EXPECT_EQ(ErrorInfoText(), "IPTC index out of range / Tessaline4.GraphicIPTC.1") << theIndex;
    EXPECT_FALSE(theItem);
  }

  const std::string theGood = graphictest::WriteFile(graphictest::Resource(kIPTCResourceID, Expected()), "good");
  ASSERT_EQ(SetFile(theGood), S_OK);
  EXPECT_EQ(SetFile(theGood + ".missing"), static_cast<HRESULT>(0x80040002));
  EXPECT_EQ(ErrorInfoText(), "Unable to access file / Tessaline4.GraphicIPTC.1");
  EXPECT_EQ(static_cast<DWORD>(SetFile(graphictest::WriteFile({}, "empty"))) & 0xFFFF0000u, 0x80040000u);
  EXPECT_EQ(ErrorInfoText(), "Unable to access file / Tessaline4.GraphicIPTC.1");
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(mList->SetData(Variant("abc").Get()[0]), E_INVALIDARG);
  EXPECT_EQ(ErrorInfoText(), "Unable to access data / Tessaline4.GraphicIPTC.1");
  EXPECT_EQ(ItemsOf(mList.Get()), kExpected) << "a failed call keeps the list";

  EXPECT_EQ(mList->get_Count(nullptr), E_POINTER);
  EXPECT_EQ(mList->get_Item(1, nullptr), E_POINTER);
  EXPECT_EQ(mList->get__NewEnum(nullptr), E_POINTER);
}

TEST_F(IPTCList, ItemsAndEnumeratorsLiveOnAfterTheNextSetFile)
{
  ASSERT_EQ(mList->SetData(*ByteArray(graphictest::Resource(kIPTCResourceID, Expected())).Get()), S_OK);
  ComPtr<IIPTCItem> theCaption;
  ASSERT_EQ(mList->get_Item(2, theCaption.Receive()), S_OK);
  ComPtr<IUnknown> theEnum;
  ASSERT_EQ(mList->get__NewEnum(theEnum.Receive()), S_OK);

  ASSERT_EQ(SetFile(graphictest::WriteFile(graphictest::Resource(kIPTCResourceID, graphictest::DataSet(2, 5, "x")),
                                           "other")),
            S_OK);
  ASSERT_EQ(ItemsOf(mList.Get()).size(), 1u);
  mList.Reset();
  EXPECT_EQ(Read(theCaption.Get()), kExpected[1]);
  ComPtr<IEnumVARIANT> theItems;
  ASSERT_EQ(theEnum.As(theItems), S_OK);
  ASSERT_EQ(theItems->Skip(static_cast<ULONG>(kExpected.size() - 1)), S_OK);
  Variant theLast;
  ASSERT_EQ(theItems->Next(1, theLast.Receive(), nullptr), S_OK);
  ComPtr<IIPTCItem> theItem;
  ASSERT_EQ(theLast->pdispVal->QueryInterface(IIPTCItem::kIID, theItem.ReceiveVoid()), S_OK);
  EXPECT_EQ(Read(theItem.Get()), kExpected.back());
}

// The list as a page meets it: a JPEG's datasets, the errors with their
// numbers and source, a Photoshop file next, and an item kept from before.
TEST(IPTCPage, ListsTheDataSetsAndReportsTheFailures)
{
  tltest::RunResult theResult = tltest::Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  const std::string theJpeg =
      graphictest::WriteFile(graphictest::JpegWithResources(graphictest::Resource(kIPTCResourceID, Expected())),
                             "caption.jpg");
  const std::string thePSD = graphictest::WriteFile(
      graphictest::Convert(graphictest::Resource(kIPTCResourceID, graphictest::DataSet(2, 105, "Headline")), "PSD"),
      "headline.psd");
  theResult = tltest::RunPage("iptc.js", {},
                              {theJpeg, thePSD, theJpeg + ".missing", graphictest::WriteFile({}, "empty")});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, tltest::Expected("iptc.expected"));
  EXPECT_EQ(theResult.mStatus, 0);
}

}  // namespace
