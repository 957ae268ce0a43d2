// The PAM calls of the logon (see PamLibrary.h), and the library's loading.

#include "platform/security/PamLibrary.h"

#include "platform/base/LazyEntry.h"
#include "platform/eventlog/EventLog.h"

#include <security/pam_appl.h>

#include <dlfcn.h>

#include <atomic>
#include <string>

namespace {

constexpr const char* kLibraryName = "libpam.so.0";

std::atomic<void*> gLibrary{nullptr};

// PAM's own entry point of the name once LoadPam has loaded it; else null.
void* PamEntry(const char* inName)
{
  void* theLibrary = gLibrary.load(std::memory_order_acquire);
  return theLibrary ? dlsym(theLibrary, inName) : nullptr;
}

void ReportLoadFailure(const std::string& inWhy)
{
  HANDLE theLog = RegisterEventSourceA(nullptr, "LogonUser");
  if (!theLog)
    return;
  const std::string theText = "PAM cannot be loaded: " + inWhy;
  LPCSTR theStrings[] = {theText.c_str()};
  ReportEventA(theLog, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, theStrings, nullptr);
  DeregisterEventSource(theLog);
}

}  // namespace

#define TL_PAM_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(PamEntry, inReturn, inName, inParameters, inArguments)

// The calls of the logon, with PAM's prototypes.
#define TL_PAM_ENTRIES(X) \
  X(int, pam_acct_mgmt, (pam_handle_t* pamh, int flags), (pamh, flags)) \
  X(int, pam_authenticate, (pam_handle_t* pamh, int flags), (pamh, flags)) \
  X(int, pam_end, (pam_handle_t* pamh, int pam_status), (pamh, pam_status)) \
  X(int, pam_get_item, (const pam_handle_t* pamh, int item_type, const void** item), (pamh, item_type, item)) \
  X(int, pam_start, (const char* service_name, const char* user, const struct pam_conv* pam_conversation, \
                     pam_handle_t** pamh), (service_name, user, pam_conversation, pamh))

TL_PAM_ENTRIES(TL_PAM_ENTRY)

bool LoadPam()
{
  static const bool gLoaded = [] {
    std::string theWhy;
    void* theLibrary = OpenLibraryWithEntries(kLibraryName, {TL_PAM_ENTRIES(TL_LAZY_ENTRY_NAME)}, theWhy);
    if (!theLibrary) {
      ReportLoadFailure(theWhy);
      return false;
    }
    gLibrary.store(theLibrary, std::memory_order_release);
    return true;
  }();
  return gLoaded;
}
