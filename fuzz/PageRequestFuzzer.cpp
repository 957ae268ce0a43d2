// What a request gives a page: a query string or form body, and the names a
// page maps below its page root. The first bytes are a value to encode and a
// name to map, the rest a query string.
//
// - Decoding never fails and answers valid UTF-8; a value percent-encoded
//   byte by byte comes back as it was (when it was valid UTF-8); a trailing
//   '&' changes nothing.
// - A mapped name lies below the root, with no "." or ".." part left, even
//   through the link "out" that leads to "/".

#include "fuzz/FuzzSupport.h"
#include "host/FormFields.h"
#include "host/PageRoot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

std::string PercentEncoded(std::string_view inBytes)
{
  static const char kDigits[] = "0123456789ABCDEF";
  std::string theText;
  for (char theByte : inBytes) {
    const auto theValue = static_cast<unsigned char>(theByte);
    theText += '%';
    theText += kDigits[theValue >> 4];
    theText += kDigits[theValue & 15];
  }
  return theText;
}

const PageRoot& Root()
{
  static const PageRoot theRoot = [] {
    std::string theFolder = "/tmp/tlfuzz-root-XXXXXX";
    if (!mkdtemp(theFolder.data()) || mkdir((theFolder + "/pages").c_str(), 0700) != 0 ||
        symlink("/", (theFolder + "/pages/out").c_str()) != 0)
      FuzzFail("making the page root", __FILE__, __LINE__);
    return PageRoot(theFolder, theFolder + "/pages");
  }();
  return theRoot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const std::string_view theValue = theInput.Text(64);
  const std::string_view theName = theInput.Text(64);
  const std::string_view theQuery = theInput.Rest();

  const FormFields theFields = FormFields::Parse(theQuery);
  const std::optional<std::string> theFound = theFields.Get(theName);
  TL_FUZZ_CHECK(!theFound || IsValidUtf8(*theFound));
  TL_FUZZ_CHECK(FormFields::Parse(std::string(theQuery) + "&").Get(theName) == theFound);
  const std::optional<std::string> theBack = FormFields::Parse("v=" + PercentEncoded(theValue)).Get("v");
  TL_FUZZ_CHECK(theBack && IsValidUtf8(*theBack));
  TL_FUZZ_CHECK(!IsValidUtf8(theValue) || *theBack == theValue);

  std::string thePath;
  std::string theError;
  if (Root().Map(theName, thePath, theError)) {
    TL_FUZZ_CHECK(Root().Contains(thePath));
    const std::string theSlashed = thePath + "/";
    TL_FUZZ_CHECK(theSlashed.find("/./") == std::string::npos && theSlashed.find("/../") == std::string::npos &&
                  theSlashed.find("//") == std::string::npos);
  } else {
    TL_FUZZ_CHECK(!theError.empty());
  }
  return 0;
}
