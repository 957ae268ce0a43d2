#pragma once
// Image files for the Graphic and GraphicIPTC suites: IPTC-NAA datasets and
// Photoshop image resources built byte by byte, a JPEG that carries them in
// its APP13 segment, and files that ImageMagick's convert makes.

#include "objects/Graphic.h"
#include "platform/automation/Variant.h"
#include "platform/base/WinTypes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace graphictest {

using Bytes = std::vector<BYTE>;

Bytes Join(std::initializer_list<Bytes> inParts);
void Append(Bytes& ioBytes, const Bytes& inMore);

// 0x1C, the record and dataset numbers, a 16-bit length and the data.
Bytes DataSet(LONG inRecord, LONG inDataSet, const std::string& inData);
// "8BIM", the id, an empty name (with its pad byte), the size and the data,
// with a pad byte after data of odd size.
Bytes Resource(LONG inID, const Bytes& inData);
// A JPEG written by libjpeg-turbo with an APP13 "Photoshop 3.0" segment of
// inResources after its SOI marker.
Bytes JpegWithResources(const Bytes& inResources);
// An 8 x 6 picture written by convert as inFormat, with inResources as its
// "8bim" profile.
Bytes Convert(const Bytes& inResources, const std::string& inFormat);

// The file inName in a fresh folder of the test home, written by convert
// from inArguments (in the format inPrefix names, else the extension's);
// its path.
std::string ConvertFile(const std::vector<std::string>& inArguments, const std::string& inName,
                        const std::string& inPrefix = "");
// The bytes of a file.
Bytes ReadBytes(const std::string& inPath);

// inBytes as the file inName in a fresh folder of the test home; its path.
std::string WriteFile(const Bytes& inBytes, const std::string& inName);

// The bytes as a byte-array VARIANT.
Variant ByteArray(const Bytes& inBytes);
// The description and source of the thread's error info, "(none)" without.
std::string ErrorInfoText();

// A new Graphic, its class registered as the library registers it.
class GraphicFixture : public testing::Test {
protected:
  void SetUp() override;

  ObjectPtr<Graphic> mGraphic;
};

}  // namespace graphictest
