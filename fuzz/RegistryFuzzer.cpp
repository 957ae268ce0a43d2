// Registry keys and values from the input, in a store of the target's own: a
// key that can be made opens again under any ASCII case and one that cannot
// is refused as a bad name; a value reads back with its type and bytes (a
// string with its final NUL), under any case of its name; a buffer too small
// answers ERROR_MORE_DATA with the size and stays untouched; a deleted value
// is gone.

#include "fuzz/FuzzSupport.h"
#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"

#include <string>
#include <vector>

namespace {

constexpr const char* kRoot = "SOFTWARE\\Fuzz";

// Open keys, closed at the end of the scope.
class Key {
public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key()
  {
    if (mKey)
      RegCloseKey(mKey);
  }
  HKEY* Receive() { return &mKey; }
  HKEY Get() const { return mKey; }

private:
  HKEY mKey = nullptr;
};

std::string Upper(std::string inText)
{
  for (char& theChar : inText)
    if (theChar >= 'a' && theChar <= 'z')
      theChar = static_cast<char>(theChar - 'a' + 'A');
  return inText;
}

// Text up to its first NUL, as a C string argument sees it.
std::string CText(std::string_view inText)
{
  return std::string(inText.substr(0, inText.find('\0')));
}

void CheckValue(HKEY inKey, const std::string& inName, DWORD inType, std::string_view inData)
{
  const BYTE* theData = reinterpret_cast<const BYTE*>(inData.data());
  const LONG theSet = RegSetValueExA(inKey, inName.c_str(), 0, inType, theData, static_cast<DWORD>(inData.size()));
  if (inType == REG_DWORD && inData.size() != 4) {
    TL_FUZZ_CHECK(theSet == ERROR_INVALID_PARAMETER);
    return;
  }
  TL_FUZZ_CHECK(theSet == ERROR_SUCCESS);
  std::string theExpected(inData);
  if ((inType == REG_SZ || inType == REG_EXPAND_SZ) && (theExpected.empty() || theExpected.back() != '\0'))
    theExpected += '\0';

  for (const std::string& theName : {inName, Upper(inName)}) {
    DWORD theType = 0;
    DWORD theSize = 0;
    TL_FUZZ_CHECK(RegQueryValueExA(inKey, theName.c_str(), nullptr, &theType, nullptr, &theSize) == ERROR_SUCCESS);
    TL_FUZZ_CHECK(theType == inType && theSize == theExpected.size());
    std::vector<BYTE> theBuffer(theSize + 1, 0xA5);
    TL_FUZZ_CHECK(RegQueryValueExA(inKey, theName.c_str(), nullptr, &theType, theBuffer.data(), &theSize) ==
                  ERROR_SUCCESS);
    TL_FUZZ_CHECK(theSize == theExpected.size() && std::memcmp(theBuffer.data(), theExpected.data(), theSize) == 0);
    if (theSize == 0)
      continue;
    std::vector<BYTE> theSmall(theSize, 0x5A);  // one byte more than it is said to hold
    DWORD theSmallSize = theSize - 1;
    TL_FUZZ_CHECK(RegQueryValueExA(inKey, theName.c_str(), nullptr, &theType, theSmall.data(), &theSmallSize) ==
                  ERROR_MORE_DATA);
    TL_FUZZ_CHECK(theSmallSize == theSize);
    TL_FUZZ_CHECK(std::all_of(theSmall.begin(), theSmall.end(), [](BYTE inByte) { return inByte == 0x5A; }));
  }
  TL_FUZZ_CHECK(RegDeleteValueA(inKey, Upper(inName).c_str()) == ERROR_SUCCESS);
  DWORD theSize = 0;
  TL_FUZZ_CHECK(RegQueryValueExA(inKey, inName.c_str(), nullptr, nullptr, nullptr, &theSize) == ERROR_FILE_NOT_FOUND);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  static constexpr DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD};
  const DWORD theType = kTypes[theInput.Between(0, 3)];
  const std::string thePath = CText(theInput.Text());
  const std::string theName = CText(theInput.Text());
  const std::string_view theData = theInput.Rest();

  const std::string theFull = std::string(kRoot) + "\\" + thePath;
  Key theKey;
  const LONG theMade =
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, theFull.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, theKey.Receive(), nullptr);
  if (theMade != ERROR_SUCCESS) {
    TL_FUZZ_CHECK(theMade == ERROR_INVALID_PARAMETER || theMade == ERROR_BAD_PATHNAME);
    return 0;
  }
  Key theAgain;
  TL_FUZZ_CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Upper(theFull).c_str(), 0, KEY_READ, theAgain.Receive()) ==
                ERROR_SUCCESS);
  CheckValue(theKey.Get(), theName, theType, theData);
  TL_FUZZ_CHECK(RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot) == ERROR_SUCCESS);
  return 0;
}
