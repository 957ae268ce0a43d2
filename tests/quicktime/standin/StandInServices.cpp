// The stand-in's entry points: the services table, start and stop, the
// version, and the test counters.

#include "tests/quicktime/standin/StandIn.h"

#include "platform/base/Numbers.h"
#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/AtomContainer.h"
#include "tests/quicktime/standin/Components.h"
#include "tests/quicktime/standin/Exporters.h"
#include "tests/quicktime/standin/FileSpecs.h"
#include "tests/quicktime/standin/GWorlds.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"
#include "tests/quicktime/standin/ImageDescriptions.h"
#include "tests/quicktime/standin/Importers.h"
#include "tests/quicktime/standin/Movies.h"
#include "tests/quicktime/standin/Pixels.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

namespace {

constexpr SInt32 kDefaultVersion = 0x06000000;
constexpr int kDefaultExporters = 6;
constexpr int kMostExporters = 99;

std::mutex gLock;
int gStarted = 0;        // InitializeQTML calls not yet balanced
int gMoviesEntered = 0;  // EnterMovies calls not yet balanced
SInt32 gVersion = kDefaultVersion;
std::int32_t gStarts = 0;
std::int32_t gStops = 0;

// One number of a version: digits, then the end or a '.'.
bool ScanVersionPart(std::string_view& ioText, std::int64_t inLargest, std::int64_t& outValue)
{
  if (ioText.empty() || ioText[0] < '0' || ioText[0] > '9')
    return false;
  ScanOutcome theOutcome = ScanInteger(ioText, 10, outValue);
  if (theOutcome.mStatus != ScanStatus::kOk || outValue > inLargest)
    return false;
  ioText.remove_prefix(theOutcome.mUsed);
  if (ioText.empty())
    return true;
  if (ioText[0] != '.')
    return false;
  ioText.remove_prefix(1);
  return !ioText.empty();
}

bool ReadVersion(SInt32& outVersion)
{
  const char* theValue = std::getenv(kStandInVersionVariable);
  if (!theValue) {
    outVersion = kDefaultVersion;
    return true;
  }
  std::string_view theText = theValue;
  std::int64_t theMajor = 0, theMinor = 0, theBugFix = 0;
  if (!ScanVersionPart(theText, 127, theMajor) || theText.empty() || !ScanVersionPart(theText, 15, theMinor))
    return false;
  if (!theText.empty() && (!ScanVersionPart(theText, 15, theBugFix) || !theText.empty()))
    return false;
  outVersion = static_cast<SInt32>((theMajor << 24) | (theMinor << 20) | (theBugFix << 16));
  return true;
}

// Unset or "0": off; "1": on.
bool ReadFlag(const char* inVariable, bool& outOn)
{
  const char* theValue = std::getenv(inVariable);
  const std::string_view theText = theValue ? theValue : "0";
  outOn = theText == "1";
  return outOn || theText == "0";
}

bool ReadExporterCount(int& outCount)
{
  const char* theValue = std::getenv(kStandInExportersVariable);
  std::int64_t theCount = kDefaultExporters;
  if (theValue) {
    std::string_view theText = theValue;
    ScanOutcome theOutcome = ScanInteger(theText, 10, theCount);
    if (theOutcome.mStatus != ScanStatus::kOk || theOutcome.mUsed != theText.size() || theCount < 0 ||
        theCount > kMostExporters)
      return false;
  }
  outCount = static_cast<int>(theCount);
  return true;
}

OSErr InitializeQTML(SInt32)
{
  std::lock_guard theGuard(gLock);
  if (gStarted == 0) {
    int theExporters = 0;
    bool theUnreadableMovies = false;
    if (!ReadVersion(gVersion) || !ReadExporterCount(theExporters) ||
        !ReadFlag(kStandInUnreadableMoviesVariable, theUnreadableMovies))
      return kQTParamErr;
    BuildComponents(theExporters);
    SetMovieFilesUnreadable(theUnreadableMovies);
    ++gStarts;
  }
  ++gStarted;
  return kQTNoErr;
}

void TerminateQTML()
{
  std::lock_guard theGuard(gLock);
  if (gStarted > 0 && --gStarted == 0) {
    gMoviesEntered = 0;
    ++gStops;
  }
}

OSErr EnterMovies()
{
  std::lock_guard theGuard(gLock);
  if (gStarted == 0)
    return kQTParamErr;
  ++gMoviesEntered;
  return kQTNoErr;
}

void ExitMovies()
{
  std::lock_guard theGuard(gLock);
  if (gMoviesEntered > 0)
    --gMoviesEntered;
}

OSErr Gestalt(OSType inSelector, SInt32* outResponse)
{
  if (!outResponse)
    return kQTParamErr;
  if (inSelector != kQTVersionSelector)
    return kQTGestaltUndefSelectorErr;
  std::lock_guard theGuard(gLock);
  *outResponse = gVersion;
  return kQTNoErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) OSErr TLQuickTimeGetServices(QTServices* ioServices)
{
  if (!ioServices || ioServices->mVersion != kQTServicesVersion || ioServices->mSize != sizeof(QTServices))
    return kQTParamErr;
  QTServices theTable{};
  theTable.mVersion = kQTServicesVersion;
  theTable.mSize = sizeof(QTServices);
  theTable.InitializeQTML = InitializeQTML;
  theTable.TerminateQTML = TerminateQTML;
  theTable.EnterMovies = EnterMovies;
  theTable.ExitMovies = ExitMovies;
  theTable.Gestalt = Gestalt;
  AddComponentServices(theTable);
  AddImporterServices(theTable);
  AddExporterServices(theTable);
  AddAtomContainerServices(theTable);
  AddGWorldServices(theTable);
  AddImageDescriptionServices(theTable);
  AddHandleServices(theTable);
  AddFileSpecServices(theTable);
  AddMovieServices(theTable);
  AddGeometryServices(theTable);
  *ioServices = theTable;
  return kQTNoErr;
}

extern "C" __attribute__((visibility("default"))) void TLQuickTimeStandInCounts(std::int32_t* outStarts,
                                                                                std::int32_t* outStops)
{
  std::lock_guard theGuard(gLock);
  if (outStarts)
    *outStarts = gStarts;
  if (outStops)
    *outStops = gStops;
}

extern "C" __attribute__((visibility("default"))) std::int32_t TLQuickTimeStandInLastTransferMode()
{
  return LastTransferMode();
}
