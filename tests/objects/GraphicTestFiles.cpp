#include "tests/objects/GraphicTestFiles.h"

#include "core/Utilities.h"
#include "objects/ClassTable.h"
#include "platform/automation/Registration.h"
#include "platform/automation/ErrorInfo.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <fstream>

namespace graphictest {

Bytes Join(std::initializer_list<Bytes> inParts)
{
  Bytes theBytes;
  for (const Bytes& thePart : inParts)
    Append(theBytes, thePart);
  return theBytes;
}

void Append(Bytes& ioBytes, const Bytes& inMore)
{
  ioBytes.insert(ioBytes.end(), inMore.begin(), inMore.end());
}

Bytes DataSet(LONG inRecord, LONG inDataSet, const std::string& inData)
{
  const std::size_t theLength = inData.size();
  Bytes theBytes = {0x1C, static_cast<BYTE>(inRecord), static_cast<BYTE>(inDataSet), static_cast<BYTE>(theLength >> 8),
                    static_cast<BYTE>(theLength)};
  theBytes.insert(theBytes.end(), inData.begin(), inData.end());
  return theBytes;
}

Bytes Resource(LONG inID, const Bytes& inData)
{
  const std::size_t theSize = inData.size();
  Bytes theBytes = Join({{'8', 'B', 'I', 'M', static_cast<BYTE>(inID >> 8), static_cast<BYTE>(inID), 0, 0},
                         {static_cast<BYTE>(theSize >> 24), static_cast<BYTE>(theSize >> 16),
                          static_cast<BYTE>(theSize >> 8), static_cast<BYTE>(theSize)},
                         inData});
  if (theSize % 2 != 0)
    theBytes.push_back(0);
  return theBytes;
}

Bytes JpegWithResources(const Bytes& inResources)
{
  const std::string kSignature("Photoshop 3.0\0", 14);
  const std::size_t theLength = 2 + kSignature.size() + inResources.size();
  Bytes theSegment = {0xFF, 0xED, static_cast<BYTE>(theLength >> 8), static_cast<BYTE>(theLength)};
  theSegment.insert(theSegment.end(), kSignature.begin(), kSignature.end());
  Append(theSegment, inResources);
  Bytes theJpeg = jpegtest::MakeJpeg({});
  theJpeg.insert(theJpeg.begin() + 2, theSegment.begin(), theSegment.end());
  return theJpeg;
}

Bytes Convert(const Bytes& inResources, const std::string& inFormat)
{
  const std::string theProfile = WriteFile(inResources, "resources.8bim");
  return ReadBytes(ConvertFile({"-size", "8x6", "xc:blue", "-profile", theProfile}, "picture." + inFormat));
}

std::string ConvertFile(const std::vector<std::string>& inArguments, const std::string& inName,
                        const std::string& inPrefix)
{
  const std::string thePath = tltest::MakeTempFolder("graphic") + "/" + inName;
  std::vector<std::string> theArguments = inArguments;
  theArguments.push_back(inPrefix + thePath);
  const tltest::RunResult theRun = tltest::RunConvert(theArguments);
  EXPECT_EQ(theRun.mStatus, 0) << theRun.mErr;
  return thePath;
}

Bytes ReadBytes(const std::string& inPath)
{
  const std::string theFile = tltest::ReadFile(inPath);
  return Bytes(theFile.begin(), theFile.end());
}

std::string WriteFile(const Bytes& inBytes, const std::string& inName)
{
  const std::string thePath = tltest::MakeTempFolder("graphic") + "/" + inName;
  std::ofstream(thePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(inBytes.data()), static_cast<std::streamsize>(inBytes.size()));
  return thePath;
}

Variant ByteArray(const Bytes& inBytes)
{
  Variant theArray;
  EXPECT_EQ(PtrToVARIANT(inBytes.data(), static_cast<DWORD>(inBytes.size()), theArray.Receive()), S_OK);
  return theArray;
}

std::string ErrorInfoText()
{
  ComPtr<IErrorInfo> theInfo;
  if (GetErrorInfo(0, theInfo.Receive()) != S_OK)
    return "(none)";
  Bstr theDescription, theSource;
  theInfo->GetDescription(theDescription.Receive());
  theInfo->GetSource(theSource.Receive());
  return theDescription.ToUtf8() + " / " + theSource.ToUtf8();
}

void GraphicFixture::SetUp()
{
  const ServerModule& theModule = Tessaline4Module();
  ASSERT_EQ(RegisterServerClass(*theModule.FindClass(kGraphicClass), theModule.Library(),
                                ThreadingModel::kNeutralSynchronized, "/nowhere/libTessaline4.so"),
            S_OK);
  ASSERT_EQ(ComObject<Graphic>::Create(nullptr, mGraphic), S_OK);
}

}  // namespace graphictest
