#include "platform/automation/Guid.h"

#include "platform/automation/Bstr.h"
#include "platform/automation/ComMemory.h"
#include "platform/base/Numbers.h"
#include "platform/base/WinError.h"

#include <cstring>

std::string GuidToString(REFGUID inGuid)
{
  return FormatC("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", inGuid.Data1, inGuid.Data2, inGuid.Data3,
                 inGuid.Data4[0], inGuid.Data4[1], inGuid.Data4[2], inGuid.Data4[3], inGuid.Data4[4],
                 inGuid.Data4[5], inGuid.Data4[6], inGuid.Data4[7]);
}

int StringFromGUID2(REFGUID inGuid, LPOLESTR outText, int inMax)
{
  std::string theText = GuidToString(inGuid);
  if (!outText || inMax < static_cast<int>(theText.size()) + 1)
    return 0;
  for (std::size_t i = 0; i < theText.size(); ++i)
    outText[i] = static_cast<OLECHAR>(theText[i]);
  outText[theText.size()] = 0;
  return static_cast<int>(theText.size()) + 1;
}

HRESULT StringFromCLSID(REFCLSID inClassId, LPOLESTR* outText)
{
  if (!outText)
    return E_INVALIDARG;
  *outText = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (!*outText)
    return E_OUTOFMEMORY;
  StringFromGUID2(inClassId, *outText, 39);
  return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR inText, CLSID* outClassId)
{
  if (!outClassId)
    return E_INVALIDARG;
  std::string theNarrow = inText ? Utf16ToUtf8(inText) : std::string();
  std::optional<GUID> theGuid =
      theNarrow.size() == 38 && theNarrow.front() == '{' ? ParseGuid(theNarrow) : std::nullopt;
  *outClassId = theGuid.value_or(GUID_NULL);
  return theGuid ? S_OK : CO_E_CLASSSTRING;
}
