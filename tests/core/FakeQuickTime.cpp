// A QuickTime library whose start steps fail on request, for the life-cycle
// tests: the stand-in's table with start, stop and version of its own.
//   TL_TEST_FAKE_ENTER_ERR    EnterMovies answers this error
//   TL_TEST_FAKE_GESTALT_ERR  the version query answers this error
//   TL_TEST_FAKE_PARTIAL      when set, only those five entries are served
//   TL_TEST_FAKE_WILD         when set, every entry is non-null and points nowhere
// It counts InitializeQTML, TerminateQTML, EnterMovies and ExitMovies calls.

#include "platform/base/Numbers.h"
#include "platform/quicktime/QTServices.h"

#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <string_view>

namespace {

// The calls counted, in the order above.
std::atomic<std::int32_t> gCounts[4];

OSErr ErrorFromEnvironment(const char* inName)
{
  const char* theValue = std::getenv(inName);
  std::int64_t theErr = 0;
  if (theValue)
    ScanInteger(std::string_view(theValue), 10, theErr);
  return static_cast<OSErr>(theErr);
}

OSErr InitializeQTML(SInt32)
{
  ++gCounts[0];
  return kQTNoErr;
}

void TerminateQTML()
{
  ++gCounts[1];
}

OSErr EnterMovies()
{
  OSErr theErr = ErrorFromEnvironment("TL_TEST_FAKE_ENTER_ERR");
  if (theErr == kQTNoErr)
    ++gCounts[2];
  return theErr;
}

void ExitMovies()
{
  ++gCounts[3];
}

OSErr Gestalt(OSType, SInt32* outResponse)
{
  OSErr theErr = ErrorFromEnvironment("TL_TEST_FAKE_GESTALT_ERR");
  *outResponse = theErr == kQTNoErr ? 0x06000000 : 0;
  return theErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) OSErr TLQuickTimeGetServices(QTServices* ioServices)
{
  if (ioServices->mVersion != kQTServicesVersion || ioServices->mSize != sizeof(QTServices))
    return kQTParamErr;
  if (std::getenv("TL_TEST_FAKE_WILD")) {
    const std::uintptr_t theNowhere = 0x10;
    for (std::size_t theAt = offsetof(QTServices, InitializeQTML); theAt < sizeof(QTServices);
         theAt += sizeof theNowhere)
      std::memcpy(reinterpret_cast<unsigned char*>(ioServices) + theAt, &theNowhere, sizeof theNowhere);
    return kQTNoErr;
  }
  if (!std::getenv("TL_TEST_FAKE_PARTIAL")) {
    void* theStandIn = dlopen(TL_QUICKTIME_STANDIN, RTLD_NOW | RTLD_LOCAL);
    auto theFill = theStandIn ? reinterpret_cast<QTGetServicesProc>(dlsym(theStandIn, kQTGetServicesName)) : nullptr;
    if (!theFill || theFill(ioServices) != kQTNoErr)
      return kQTParamErr;
  }
  ioServices->InitializeQTML = InitializeQTML;
  ioServices->TerminateQTML = TerminateQTML;
  ioServices->EnterMovies = EnterMovies;
  ioServices->ExitMovies = ExitMovies;
  ioServices->Gestalt = Gestalt;
  return kQTNoErr;
}

extern "C" __attribute__((visibility("default"))) void TLQuickTimeFakeCounts(std::int32_t* outCounts)
{
  for (int i = 0; i < 4; ++i)
    outCounts[i] = gCounts[i];
}
