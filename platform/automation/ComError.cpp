#include "platform/automation/ComError.h"

#include "platform/base/Numbers.h"
#include "platform/base/SystemText.h"

#include <cinttypes>

namespace {

constexpr std::uint32_t kFirstDispatchError = 0x80040200u;
constexpr std::uint32_t kLastDispatchError = 0x8004FFFFu;

}  // namespace

std::string _com_error::ErrorMessage() const
{
  const std::uint32_t theCode = static_cast<std::uint32_t>(mResult);
  std::string theText = GetSystemText(theCode);
  if (theText.size() > 1 && theText.back() == '\n') {
    theText.pop_back();
    if (theText.back() == '\r')
      theText.pop_back();
  }
  if (!theText.empty())
    return theText;
  if (theCode > kFirstDispatchError && theCode <= kLastDispatchError)
    return FormatC("IDispatch error #%" PRIu32, theCode - kFirstDispatchError);
  return FormatC("Unknown error 0x%" PRIX32, theCode);
}
