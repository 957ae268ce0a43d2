// Atom containers over handles.

#include "tests/quicktime/standin/AtomContainer.h"

#include "tests/quicktime/standin/HandleStore.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct AtomView {
  QTAtomType mType = 0;
  QTAtomID mID = 0;
  std::string_view mData;
};

// The atoms of a container; false when it is no live handle or malformed.
bool ReadAtoms(QTAtomContainer inContainer, std::vector<AtomView>& outAtoms)
{
  outAtoms.clear();
  if (CheckHandle(inContainer) != kQTNoErr)
    return false;
  std::string_view theBytes = HandleBytes(inContainer);
  while (!theBytes.empty()) {
    if (theBytes.size() < 12)
      return false;
    UInt32 theHeader[3];
    std::memcpy(theHeader, theBytes.data(), sizeof theHeader);
    if (theHeader[2] > theBytes.size() - 12)
      return false;
    outAtoms.push_back({theHeader[0], static_cast<QTAtomID>(theHeader[1]), theBytes.substr(12, theHeader[2])});
    theBytes.remove_prefix(12 + theHeader[2]);
  }
  return true;
}

// The positions (1-based) of the atoms of a type (0: any).
std::vector<QTAtom> AtomsOfType(QTAtomContainer inContainer, QTAtom inParent, QTAtomType inType)
{
  std::vector<AtomView> theAtoms;
  std::vector<QTAtom> thePositions;
  if (inParent != 0 || !ReadAtoms(inContainer, theAtoms))
    return thePositions;
  for (std::size_t i = 0; i < theAtoms.size(); ++i)
    if (inType == 0 || theAtoms[i].mType == inType)
      thePositions.push_back(static_cast<QTAtom>(i + 1));
  return thePositions;
}

SInt16 QTCountChildrenOfType(QTAtomContainer inContainer, QTAtom inParent, QTAtomType inType)
{
  return static_cast<SInt16>(AtomsOfType(inContainer, inParent, inType).size());
}

QTAtom QTFindChildByIndex(QTAtomContainer inContainer, QTAtom inParent, QTAtomType inType, SInt16 inIndex,
                          QTAtomID* outID)
{
  std::vector<QTAtom> thePositions = AtomsOfType(inContainer, inParent, inType);
  if (inIndex < 1 || static_cast<std::size_t>(inIndex) > thePositions.size())
    return 0;
  QTAtom theAtom = thePositions[static_cast<std::size_t>(inIndex - 1)];
  if (outID) {
    std::vector<AtomView> theAtoms;
    ReadAtoms(inContainer, theAtoms);
    *outID = theAtoms[static_cast<std::size_t>(theAtom - 1)].mID;
  }
  return theAtom;
}

// The atom at a position; false when there is none.
bool FindAtom(QTAtomContainer inContainer, QTAtom inAtom, AtomView& outAtom)
{
  std::vector<AtomView> theAtoms;
  if (!ReadAtoms(inContainer, theAtoms) || inAtom < 1 || static_cast<std::size_t>(inAtom) > theAtoms.size())
    return false;
  outAtom = theAtoms[static_cast<std::size_t>(inAtom - 1)];
  return true;
}

OSErr QTGetAtomTypeAndID(QTAtomContainer inContainer, QTAtom inAtom, QTAtomType* outType, QTAtomID* outID)
{
  AtomView theAtom;
  if (!FindAtom(inContainer, inAtom, theAtom))
    return kQTParamErr;
  if (outType)
    *outType = theAtom.mType;
  if (outID)
    *outID = theAtom.mID;
  return kQTNoErr;
}

OSErr QTGetAtomDataPtr(QTAtomContainer inContainer, QTAtom inAtom, Size* outSize, Ptr* outData)
{
  AtomView theAtom;
  if (!FindAtom(inContainer, inAtom, theAtom))
    return kQTParamErr;
  if (outSize)
    *outSize = static_cast<Size>(theAtom.mData.size());
  if (outData)
    *outData = const_cast<char*>(theAtom.mData.data());
  return kQTNoErr;
}

OSErr QTDisposeAtomContainer(QTAtomContainer inContainer)
{
  OSErr theErr = CheckHandle(inContainer);
  if (theErr == kQTNoErr)
    DisposeHandle(inContainer);
  return theErr;
}

void AppendAtom(std::string& ioBytes, QTAtomType inType, std::string_view inData)
{
  UInt32 theHeader[3] = {inType, 1, static_cast<UInt32>(inData.size())};
  ioBytes.append(reinterpret_cast<const char*>(theHeader), sizeof theHeader);
  ioBytes.append(inData);
}

}  // namespace

QTAtomContainer NewFormatInfo(std::string_view inExtensions, std::string_view inMIME,
                              std::string_view inDescription)
{
  std::string theBytes;
  AppendAtom(theBytes, kQTExtensionAtom, inExtensions);
  AppendAtom(theBytes, kQTMIMEAtom, inMIME);
  AppendAtom(theBytes, kQTDescriptionAtom, inDescription);
  return NewHandleWithBytes(theBytes);
}

void AddAtomContainerServices(QTServices& ioTable)
{
  ioTable.QTCountChildrenOfType = QTCountChildrenOfType;
  ioTable.QTFindChildByIndex = QTFindChildByIndex;
  ioTable.QTGetAtomTypeAndID = QTGetAtomTypeAndID;
  ioTable.QTGetAtomDataPtr = QTGetAtomDataPtr;
  ioTable.QTDisposeAtomContainer = QTDisposeAtomContainer;
}
