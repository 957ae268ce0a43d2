// QuickTime's life cycle in the process, and the format choices of the
// QuickTime codecs.

#include "core/QTUtils.h"

#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/JPEGParser.h"
#include "core/NamedMutex.h"
#include "core/Preferences.h"
#include "core/SystemUtilities.h"
#include "core/Utilities.h"
#include "platform/base/Utf8.h"
#include "platform/quicktime/QuickTime.h"
#include "platform/threads/Threads.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

constexpr const char* kQTInitMutexName = "QTInitMutex";
constexpr DWORD kAcquireTimeout = 600000;     // ms
constexpr DWORD kReleaseTimeout = 15000;      // ms, also for the unload
constexpr DWORD kStartThreadTimeout = 120000; // ms
constexpr std::size_t kMaxInfoText = 255;
constexpr SInt16 kFirstMovieFlags = 7;
constexpr Fixed kMatrixOne = 0x40000000;      // 1.0 in 2.30

// The process-wide state of the life cycle. The count changes atomically;
// everything else is read and written under "QTInitMutex", except that
// gQTAvailable is also read without it.
std::atomic<LONG> gQTReferenceCount{0};
bool gQTLoaded = false;           // a load was attempted and not undone by an unload
OSErr gQTStartErr = kQTNoErr;     // the start's or the version query's error
std::atomic<bool> gQTAvailable{false};
LONG gQTUnloadCounter = 0;        // releases counted while UnloadQuickTime is on
bool gQTReportFailure = true;     // no failure of this process reported yet

// "Not implemented" is no failure for the optional calls of a component.
ComponentResult IgnoringUnimplemented(ComponentResult inResult)
{
  return inResult == kQTBadComponentSelector ? kQTNoErr : inResult;
}

// What a failed component call reports as an OSErr (the component codes
// 0x8000800x keep their low 16 bits).
OSErr ToOSErr(ComponentResult inResult)
{
  return static_cast<OSErr>(inResult);
}

// --- Life cycle -------------------------------------------------------------

// Starts QuickTime and tests its version; the first failure of the process
// is reported.
void LoadQuickTime(OSErr& outErr, bool& outAvailable)
{
  outAvailable = false;
  OSErr theErr = IsNT5OrLater() ? StartQuickTime() : StartQuickTimeOnThread();
  LONG theMajor = 0;
  LONG theMinor = 0;
  LONG theBugFix = 0;
  if (theErr == kQTNoErr) {
    theErr = QueryQuickTimeVersion(theMajor, theMinor, theBugFix);
    if (theErr == kQTNoErr)
      outAvailable = theMajor > 4 || (theMajor == 4 && theMinor >= 1);
    else
      StopQuickTime(kQTNoErr);  // of no use; the unload will not stop it, as the start error is not 0
  }
  outErr = theErr;
  // With no library named, QuickTime is simply not installed: nothing to report.
  const bool theFailed = !outAvailable && (theErr != kQTNotInstalledErr || QTLibraryNamed());
  if (gQTReportFailure && theFailed) {
    gQTReportFailure = false;
    if (theErr != kQTNoErr)
      LogEvent("Unable to access QuickTime (%" PRId32 ")", EVENTLOG_WARNING_TYPE, static_cast<std::int32_t>(theErr));
    else
      LogEvent("QuickTime %" PRId32 ".%" PRId32 ".%" PRId32 " is too old. Please upgrade.", EVENTLOG_WARNING_TYPE,
               theMajor, theMinor, theBugFix);
  }
}

void UnloadQuickTimeIfIdle()
{
  NamedMutex theLock(kQTInitMutexName, kReleaseTimeout);
  if (!theLock.Acquire()) {
    ReportAssertion(__FILE__, __LINE__, "theLock");
    return;
  }
  if (gQTLoaded && gQTReferenceCount.load() == 0) {
    StopQuickTime(gQTStartErr);
    gQTLoaded = false;
    gQTStartErr = kQTNoErr;
    gQTAvailable = false;
  }
}

// What the start thread and its waiter share; it lives as long as either.
struct StartThreadState {
  std::mutex mLock;
  OSErr mStatus = kQTStartTimedOutErr;
  bool mWaiterGone = false;
};

DWORD RunStartThread(LPVOID inParameter)
{
  std::unique_ptr<std::shared_ptr<StartThreadState>> theState(
      static_cast<std::shared_ptr<StartThreadState>*>(inParameter));
  OSErr theErr = StartQuickTime();
  std::lock_guard theGuard((*theState)->mLock);
  if ((*theState)->mWaiterGone)
    StopQuickTime(theErr);  // nobody will: the waiter answered kQTStartTimedOutErr
  else
    (*theState)->mStatus = theErr;
  return 0;
}

// --- Format information --------------------------------------------------------

// The first three characters of the extension of a name hint.
std::string ExtensionHint(const char* inNameHint)
{
  return std::string(std::string_view(GetFileExtension(inNameHint ? inNameHint : "")).substr(0, 3));
}

bool ExtensionListHas(std::string_view inList, std::string_view inExt)
{
  while (!inList.empty()) {
    std::size_t theComma = inList.find(',');
    if (EqualsIgnoringCase(inList.substr(0, theComma), inExt))
      return true;
    if (theComma == std::string_view::npos)
      break;
    inList.remove_prefix(theComma + 1);
  }
  return false;
}

// Whether an importer component's public format information matches.
OSErr ImporterMatches(const QTServices& inQT, Component inComponent, const std::string& inExt, const char* inMIME,
                      const char* inDesc, bool& outFound)
{
  outFound = false;
  ScopedInstance theInstance;
  if (OSErr theErr = OpenComponentInstance(inComponent, theInstance.Ref()); theErr != kQTNoErr)
    return theErr;
  QTAtomContainer theList = nullptr;
  ComponentResult theResult = IgnoringUnimplemented(inQT.GraphicsImportGetMIMETypeList(theInstance.Ref(), &theList));
  if (theResult != kQTNoErr || !theList)
    return ToOSErr(theResult);
  OSErr theErr = MatchPublicFormatInfo(inExt.c_str(), inMIME, inDesc, theList, outFound);
  inQT.QTDisposeAtomContainer(theList);
  return theErr;
}

// Whether an exporter component's public format information, else its
// default file type, matches.
OSErr ExporterMatches(const QTServices& inQT, Component inComponent, const std::string& inExt, const char* inMIME,
                      const char* inDesc, bool& outFound)
{
  outFound = false;
  ScopedInstance theInstance;
  if (OSErr theErr = OpenComponentInstance(inComponent, theInstance.Ref()); theErr != kQTNoErr)
    return theErr;
  QTAtomContainer theList = nullptr;
  ComponentResult theResult = IgnoringUnimplemented(inQT.GraphicsExportGetMIMETypeList(theInstance.Ref(), &theList));
  if (theResult != kQTNoErr)
    return ToOSErr(theResult);
  if (theList) {
    OSErr theErr = MatchPublicFormatInfo(inExt.c_str(), inMIME, inDesc, theList, outFound);
    inQT.QTDisposeAtomContainer(theList);
    if (theErr != kQTNoErr || outFound)
      return theErr;
  }
  OSType theFileType = 0;
  theResult =
      IgnoringUnimplemented(inQT.GraphicsExportGetDefaultFileTypeAndCreator(theInstance.Ref(), &theFileType, nullptr));
  if (theResult != kQTNoErr)
    return ToOSErr(theResult);
  const char theType[] = {static_cast<char>(theFileType >> 24), static_cast<char>(theFileType >> 16),
                          static_cast<char>(theFileType >> 8)};
  outFound = !inExt.empty() && EqualsIgnoringCase(inExt, std::string_view(theType, 3));
  return kQTNoErr;
}

// --- Importers ---------------------------------------------------------------------

// A new instance of an importer component, given the data.
OSErr OpenImporterWithData(const QTServices& inQT, Component inComponent, Handle inDataRef, OSType inDataRefType,
                           GraphicsImportComponent& outGIC)
{
  ScopedInstance theInstance;
  if (OSErr theErr = OpenComponentInstance(inComponent, theInstance.Ref()); theErr != kQTNoErr)
    return theErr;
  ComponentResult theResult = inDataRefType == 0
                                  ? inQT.GraphicsImportSetDataHandle(theInstance.Ref(), inDataRef)
                                  : inQT.GraphicsImportSetDataReference(theInstance.Ref(), inDataRef, inDataRefType);
  if (theResult != kQTNoErr)
    return ToOSErr(theResult);
  outGIC = theInstance.Release();
  return kQTNoErr;
}

// The bytes of a handle, as the JPEG test reads them.
bool IsJPEGHandle(const QTServices& inQT, Handle inData)
{
  Size theSize = inQT.GetHandleSize(inData);
  if (!inData || theSize <= 0 || theSize > std::numeric_limits<DWORD>::max())
    return false;
  inQT.HLock(inData);
  bool theIsJPEG = IsJPEGData(*inData, static_cast<DWORD>(theSize));
  inQT.HUnlock(inData);
  return theIsJPEG;
}

// The library's own JPEG test of the importer's data: its file, its data
// handle, or the bytes its data reference names.
bool IsJPEGImporterData(const QTServices& inQT, GraphicsImportComponent inGIC)
{
  auto theFile = std::make_unique<FSSpec>();
  if (inQT.GraphicsImportGetDataFile(inGIC, theFile.get()) == kQTNoErr)
    return IsJPEGFile(theFile->path);
  Handle theData = nullptr;
  if (inQT.GraphicsImportGetDataHandle(inGIC, &theData) == kQTNoErr && theData)
    return IsJPEGHandle(inQT, theData);
  Handle theRef = nullptr;
  OSType theRefType = 0;
  if (inQT.GraphicsImportGetDataReference(inGIC, &theRef, &theRefType) != kQTNoErr || !theRef ||
      inQT.GetHandleSize(theRef) < static_cast<Size>(sizeof(PointerDataRefRecord)))
    return false;
  if (theRefType == kQTHandleDataRefType) {
    std::memcpy(&theData, *theRef, sizeof theData);
    return IsJPEGHandle(inQT, theData);
  }
  if (theRefType != kQTPointerDataRefType)
    return false;
  PointerDataRefRecord theRecord;
  std::memcpy(&theRecord, *theRef, sizeof theRecord);
  return theRecord.data && theRecord.dataLength > 0 &&
         theRecord.dataLength <= static_cast<Size>(std::numeric_limits<DWORD>::max()) &&
         IsJPEGData(theRecord.data, static_cast<DWORD>(theRecord.dataLength));
}

// The importer's own answer, except that a JPEG importer's yes stands only
// when the data pass the library's JPEG test.
ComponentResult CheckImporterData(const QTServices& inQT, GraphicsImportComponent inGIC, bool& outValid)
{
  Boolean theValid = 0;
  ComponentResult theResult = inQT.GraphicsImportValidate(inGIC, &theValid);
  outValid = theValid != 0;
  if (theResult != kQTNoErr || !outValid)
    return theResult;
  ComponentDescription theDescription{};
  if (inQT.GetComponentInstanceInfo(inGIC, &theDescription) != kQTNoErr)
    return theResult;
  if (theDescription.componentSubType == MakeOSType("JPEG") || theDescription.componentSubType == MakeOSType("JPG "))
    outValid = IsJPEGImporterData(inQT, inGIC);
  return theResult;
}

// --- Movies -----------------------------------------------------------------------

OSErr OpenMovieFromURL(const QTServices& inQT, Movie& outMovie, const char* inURL)
{
  std::size_t theLength = std::strlen(inURL) + 1;
  ScopedHandle theRef(inQT, inQT.NewHandle(static_cast<Size>(theLength)));
  if (!theRef.Get()) {
    OSErr theErr = inQT.MemError();
    return theErr != kQTNoErr ? theErr : kQTMemFullErr;
  }
  std::memcpy(*theRef.Get(), inURL, theLength);
  return inQT.NewMovieFromDataRef(&outMovie, kQTNewMovieActive, nullptr, theRef.Get(), kQTURLDataRefType);
}

OSErr OpenMovieFromFile(const QTServices& inQT, Movie& outMovie, const char* inPath)
{
  auto theSpec = std::make_unique<FSSpec>();
  OSErr theErr = inQT.NativePathNameToFSSpec(inPath, theSpec.get(), 0);
  if (theErr != kQTNoErr)
    return theErr;
  SInt16 theRefNum = 0;
  theErr = inQT.OpenMovieFile(theSpec.get(), &theRefNum, kQTReadPermission);
  if (theErr != kQTNoErr)
    return theErr;
  theErr = inQT.NewMovieFromFile(&outMovie, theRefNum, nullptr, nullptr, kFirstMovieFlags, nullptr);
  inQT.CloseMovieFile(theRefNum);
  return theErr;
}

}  // namespace

// --- Life cycle -------------------------------------------------------------

void AcquireQuickTime(OSErr& outStartErr, LONG& outAvailable)
{
  NamedMutex theLock(kQTInitMutexName, kAcquireTimeout);
  bool theLocked = theLock.Acquire();
  TL_ASSERT_TEXT(theLocked, "theLock");
  TL_ASSERT(gQTReferenceCount >= 0);
  LONG theCount = ++gQTReferenceCount;
  if (!theLocked) {
    outStartErr = kQTStartTimedOutErr;
    outAvailable = 0;
    return;
  }
  if (theCount == 1 && GetPrefLong("UseQuickTime", 1) != 0 && !gQTLoaded) {
    bool theAvailable = false;
    LoadQuickTime(gQTStartErr, theAvailable);
    gQTAvailable = theAvailable;
    gQTLoaded = true;
  }
  outStartErr = gQTStartErr;
  outAvailable = gQTAvailable ? 1 : 0;
}

void ReleaseQuickTime(OSErr)
{
  NamedMutex theLock(kQTInitMutexName, kReleaseTimeout);
  bool theLocked = theLock.Acquire();
  TL_ASSERT_TEXT(theLocked, "theLock");
  TL_ASSERT(gQTReferenceCount > 0);
  // A release without a user is reported and not counted.
  LONG theCount = gQTReferenceCount.load();
  while (theCount > 0 && !gQTReferenceCount.compare_exchange_weak(theCount, theCount - 1)) {
  }
  if (!theLocked || GetPrefLong("UnloadQuickTime", 0) == 0)
    return;
  LONG thePeriod = GetPrefLong("UnloadQuickTimePeriod", 10000);
  LONG theOld = gQTUnloadCounter;
  if (gQTUnloadCounter < std::numeric_limits<LONG>::max())
    ++gQTUnloadCounter;
  if (theOld >= thePeriod) {
    UnloadQuickTimeIfIdle();
    if (!gQTLoaded)
      gQTUnloadCounter = 0;
  }
}

bool QuickTimeAvailable()
{
  return gQTAvailable;
}

OSErr GetQuickTimeVersion(LONG& outMajor, LONG& outMinor, LONG& outBugFix)
{
  if (!gQTAvailable) {
    outMajor = outMinor = outBugFix = 0;
    return kQTNoErr;
  }
  return QueryQuickTimeVersion(outMajor, outMinor, outBugFix);
}

OSErr StartQuickTime()
{
  OSErr theErr = QTInitialize(0);
  if (theErr != kQTNoErr)
    return theErr;
  const QTServices* theQT = QT();
  theErr = theQT ? theQT->EnterMovies() : kQTNotInstalledErr;
  if (theErr != kQTNoErr)
    QTTerminate();
  return theErr;
}

OSErr StartQuickTimeOnThread()
{
  auto theState = std::make_shared<StartThreadState>();
  auto theParameter = std::make_unique<std::shared_ptr<StartThreadState>>(theState);
  HANDLE theThread = CreateThread(nullptr, 0, RunStartThread, theParameter.get(), 0, nullptr);
  if (!theThread) {
    LogEvent("Failed to create initialization thread", EVENTLOG_ERROR_TYPE);
    return kQTStartTimedOutErr;
  }
  theParameter.release();  // the thread's now
  if (WaitForSingleObject(theThread, kStartThreadTimeout) != WAIT_OBJECT_0)
    LogEvent("Timed out waiting for initialization thread", EVENTLOG_ERROR_TYPE);
  CloseHandle(theThread);
  std::lock_guard theGuard(theState->mLock);
  theState->mWaiterGone = true;
  return theState->mStatus;
}

void StopQuickTime(OSErr inStartErr)
{
  if (inStartErr != kQTNoErr)
    return;
  if (const QTServices* theQT = QT())
    theQT->ExitMovies();
  QTTerminate();
}

OSErr QueryQuickTimeVersion(LONG& outMajor, LONG& outMinor, LONG& outBugFix)
{
  outMajor = outMinor = outBugFix = 0;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  SInt32 theVersion = 0;
  OSErr theErr = theQT->Gestalt(kQTVersionSelector, &theVersion);
  if (theErr != kQTNoErr)
    return theErr;
  outMajor = theVersion >> 24;
  SInt8 theMinorByte = static_cast<SInt8>(static_cast<UInt32>(theVersion) >> 16);
  outMinor = theMinorByte >> 4;
  outBugFix = theMinorByte & 0x0F;
  return kQTNoErr;
}

// --- Components ----------------------------------------------------------------

OSErr OpenComponentInstance(Component inComponent, ComponentInstance& outInstance)
{
  outInstance = nullptr;
  TL_ASSERT(inComponent);
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  outInstance = theQT->OpenComponent(inComponent);
  if (outInstance)
    return kQTNoErr;
  OSErr theErr = theQT->GetMoviesError();
  if (theErr == kQTNoErr)
    theErr = theQT->MemError();
  return theErr != kQTNoErr ? theErr : kQTComponentNotOpenedErr;
}

OSErr CloseComponentInstance(ComponentInstance& ioInstance)
{
  if (!ioInstance)
    return kQTNoErr;
  const QTServices* theQT = QT();
  OSErr theErr = theQT ? theQT->CloseComponent(ioInstance) : kQTNotInstalledErr;
  ioInstance = nullptr;
  return theErr;
}

OSErr GetExporterInfo(LONG inIndex, std::string* outName, std::string* outDesc, LONG* outCount)
{
  if (outName)
    outName->clear();
  if (outDesc)
    outDesc->clear();
  if (outCount)
    *outCount = 0;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  ScopedHandle theName(*theQT, theQT->NewHandle(0));
  ScopedHandle theInfo(*theQT, theQT->NewHandle(0));
  if (!theName.Get() || !theInfo.Get()) {
    OSErr theErr = theQT->MemError();
    return theErr != kQTNoErr ? theErr : kQTMemFullErr;
  }
  const ComponentDescription theLooking{kQTGraphicsExporterType, 0, 0, 0, kQTBaseExporterFlag};
  LONG theCount = 0;
  OSErr theErr = kQTNoErr;
  for (Component theComponent = theQT->FindNextComponent(nullptr, &theLooking); theComponent;
       theComponent = theQT->FindNextComponent(theComponent, &theLooking)) {
    if (theCount++ != inIndex)
      continue;
    ComponentDescription theDescription{};
    theErr = theQT->GetComponentInfo(theComponent, &theDescription, theName.Get(), theInfo.Get(), nullptr);
    if (theErr != kQTNoErr)
      break;
    if (outName)
      *outName = CopyPStringHandle(theName.Get());
    if (outDesc)
      *outDesc = CopyPStringHandle(theInfo.Get());
  }
  if (outCount)
    *outCount = theCount;
  return theErr;
}

OSErr FindImporterComponent(const char* inNameHint, const char* inMIMEHint, const char* inDescHint,
                            Component& outComponent)
{
  outComponent = nullptr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  const std::string theExt = ExtensionHint(inNameHint);
  const char* theMIME = inMIMEHint ? inMIMEHint : "";
  const char* theDesc = inDescHint ? inDescHint : "";
  const ComponentDescription theLooking{kQTGraphicsImporterType, 0, 0, kQTHasFormatInfoFlag, kQTHasFormatInfoFlag};
  for (Component theComponent = theQT->FindNextComponent(nullptr, &theLooking); theComponent;
       theComponent = theQT->FindNextComponent(theComponent, &theLooking)) {
    bool theFound = false;
    if (ImporterMatches(*theQT, theComponent, theExt, theMIME, theDesc, theFound) != kQTNoErr)
      return kQTCantFindHandlerErr;
    if (theFound) {
      outComponent = theComponent;
      return kQTNoErr;
    }
  }
  return kQTCantFindHandlerErr;
}

OSErr FindExporterComponent(const char* inNameHint, const char* inMIMEHint, const char* inDescHint,
                            Component& outComponent)
{
  outComponent = nullptr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  const std::string theExt = ExtensionHint(inNameHint);
  const char* theMIME = inMIMEHint ? inMIMEHint : "";
  const char* theDesc = inDescHint ? inDescHint : "";
  const ComponentDescription theLooking{kQTGraphicsExporterType, 0, 0, 0, kQTBaseExporterFlag};
  for (Component theComponent = theQT->FindNextComponent(nullptr, &theLooking); theComponent;
       theComponent = theQT->FindNextComponent(theComponent, &theLooking)) {
    bool theFound = false;
    if (OSErr theErr = ExporterMatches(*theQT, theComponent, theExt, theMIME, theDesc, theFound); theErr != kQTNoErr)
      return theErr;
    if (theFound) {
      outComponent = theComponent;
      return kQTNoErr;
    }
  }
  return kQTNoErr;
}

OSErr MatchPublicFormatInfo(const char* inExt, const char* inMIME, const char* inDesc, QTAtomContainer inContainer,
                            bool& outFound)
{
  outFound = false;
  const bool theGiven = inExt && inMIME && inDesc && inContainer;
  TL_ASSERT_TEXT(theGiven, "(inExt) && (inMIME) && (inDesc) && (inCont)");
  if (!theGiven)
    return kQTParamErr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  const std::string_view theExt = inExt;
  const std::string_view theMIME = inMIME;
  const std::string_view theDesc = inDesc;
  SInt16 theCount = theQT->QTCountChildrenOfType(inContainer, 0, 0);
  for (SInt16 i = 1; i <= theCount && !outFound; ++i) {
    QTAtomID theID = 0;
    QTAtom theAtom = theQT->QTFindChildByIndex(inContainer, 0, 0, i, &theID);
    QTAtomType theType = 0;
    if (OSErr theErr = theQT->QTGetAtomTypeAndID(inContainer, theAtom, &theType, &theID); theErr != kQTNoErr)
      return theErr;
    Size theSize = 0;
    Ptr theData = nullptr;
    if (OSErr theErr = theQT->QTGetAtomDataPtr(inContainer, theAtom, &theSize, &theData); theErr != kQTNoErr)
      return theErr;
    std::string_view theText(theData, theData && theSize > 0 ? static_cast<std::size_t>(theSize) : 0);
    theText = utf8::Cut(theText.substr(0, theText.find('\0')), kMaxInfoText);
    if (theType == kQTExtensionAtom)
      outFound = !theExt.empty() && ExtensionListHas(theText, theExt);
    else if (theType == kQTMIMEAtom)
      outFound = !theMIME.empty() && EqualsIgnoringCase(theText, theMIME);
    else if (theType == kQTDescriptionAtom)
      outFound = !theDesc.empty() && EqualsIgnoringCase(theText, theDesc);
  }
  return kQTNoErr;
}

// --- Graphics importers -----------------------------------------------------------

OSErr OpenImporterForFile(const char* inPath, GraphicsImportComponent& outGIC)
{
  TL_ASSERT_TEXT(outGIC == nullptr, "outGIC == NULL");
  outGIC = nullptr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  if (!inPath)
    return kQTParamErr;
  auto theSpec = std::make_unique<FSSpec>();
  OSErr theErr = theQT->NativePathNameToFSSpec(inPath, theSpec.get(), 0);
  if (theErr == kQTNoErr)
    theErr = theQT->GetGraphicsImporterForFile(theSpec.get(), &outGIC);
  if (theErr != kQTNoErr) {
    CloseComponentInstance(outGIC);
    return theErr;
  }
  return ValidateImporter(outGIC);
}

OSErr OpenImporterForData(Handle inDataRef, OSType inDataRefType, const char* inNameHint,
                          GraphicsImportComponent& outGIC)
{
  TL_ASSERT_TEXT(outGIC == nullptr, "outGIC == NULL");
  TL_ASSERT_TEXT(inNameHint, "inType");
  outGIC = nullptr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  if (!inDataRef)
    return kQTParamErr;

  const char* theHint = inNameHint ? inNameHint : "";
  Component theComponent = nullptr;
  if (FindImporterComponent(theHint, theHint, theHint, theComponent) == kQTNoErr &&
      OpenImporterWithData(*theQT, theComponent, inDataRef, inDataRefType, outGIC) == kQTNoErr &&
      ValidateImporter(outGIC) == kQTNoErr)
    return kQTNoErr;

  const void* theBytes = nullptr;
  LONGLONG theLength = 0;
  if (inDataRefType == 0) {
    theBytes = *inDataRef;
    theLength = theQT->GetHandleSize(inDataRef);
  } else if (inDataRefType == kQTPointerDataRefType &&
             theQT->GetHandleSize(inDataRef) >= static_cast<Size>(sizeof(PointerDataRefRecord))) {
    PointerDataRefRecord theRecord;
    std::memcpy(&theRecord, *inDataRef, sizeof theRecord);
    theBytes = theRecord.data;
    theLength = theRecord.dataLength;
  } else {
    TL_ASSERT_TEXT(false, "FALSE");
  }
  std::string theExtension;
  SniffImageExtension(theBytes, theLength, theExtension);
  OSErr theErr = FindImporterComponent(theExtension.c_str(), theExtension.c_str(), theExtension.c_str(), theComponent);
  if (theErr == kQTNoErr)
    theErr = OpenImporterWithData(*theQT, theComponent, inDataRef, inDataRefType, outGIC);
  return theErr == kQTNoErr ? ValidateImporter(outGIC) : theErr;
}

OSErr ValidateImporter(GraphicsImportComponent& ioGIC)
{
  TL_ASSERT_TEXT(ioGIC != nullptr, "inGIC != NULL");
  if (!ioGIC)
    return kQTParamErr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  bool theValid = false;
  ComponentResult theResult = CheckImporterData(*theQT, ioGIC, theValid);
  if (theResult == kQTBadComponentSelector || (theResult == kQTNoErr && theValid))
    return kQTNoErr;
  CloseComponentInstance(ioGIC);
  return theResult != kQTNoErr ? ToOSErr(theResult) : kQTInvalidImageErr;
}

void SniffImageExtension(const void* inBytes, LONGLONG inLength, std::string& outExtension)
{
  outExtension.clear();
  constexpr LONGLONG kLeast = 40;
  if (!inBytes || inLength < kLeast)
    return;
  struct Signature {
    std::string_view mBytes;
    const char* mExtension;
  };
  using namespace std::string_view_literals;
  static constexpr Signature kSignatures[] = {
      {"8BPS"sv, ".psd"},
      {"BA"sv, ".bmp"},
      {"BM"sv, ".bmp"},
      {"CI"sv, ".bmp"},
      {"CP"sv, ".bmp"},
      {"IC"sv, ".bmp"},
      {"PI"sv, ".bmp"},
      {"GIF8"sv, ".gif"},
      {"\xFF\xD8\xFF"sv, ".jpg"},
      {"\x01\xDA"sv, ".sgi"},
      {"MM\x00*"sv, ".tif"},
      {"II*\x00"sv, ".tif"},
      {"\x89PNG\r\n\x1A\n"sv, ".png"},
  };
  const std::string_view theStart(static_cast<const char*>(inBytes), static_cast<std::size_t>(kLeast));
  for (const Signature& theSignature : kSignatures)
    if (theStart.starts_with(theSignature.mBytes)) {
      outExtension = theSignature.mExtension;
      return;
    }
  // A PICT file starts with a 512-byte header that readers leave empty.
  constexpr std::size_t kPICTHeader = 512;
  if (inLength >= static_cast<LONGLONG>(kPICTHeader) + 11) {
    const char* theBytes = static_cast<const char*>(inBytes);
    if (std::all_of(theBytes, theBytes + kPICTHeader, [](char inByte) { return inByte == 0; }))
      outExtension = ".pct";
  }
}

OSErr GetImporterImageInfo(GraphicsImportComponent inGIC, LONG& outDepth, LONG& outResolution,
                           std::string& outCodecName)
{
  outDepth = 0;
  outResolution = 0;
  outCodecName.clear();
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  ImageDescriptionHandle theDescription = nullptr;
  if (ComponentResult theResult = theQT->GraphicsImportGetImageDescription(inGIC, &theDescription);
      theResult != kQTNoErr)
    return ToOSErr(theResult);
  ScopedHandle theHolder(*theQT, reinterpret_cast<Handle>(theDescription));
  if (!theDescription)
    return kQTParamErr;
  theQT->HLock(theHolder.Get());
  const ImageDescription& theImage = **theDescription;
  outDepth = theImage.depth;
  outResolution = theQT->Fix2Long(theImage.hRes);
  std::size_t theLength = std::min<std::size_t>(theImage.name[0], sizeof theImage.name - 1);
  outCodecName.assign(reinterpret_cast<const char*>(theImage.name + 1), theLength);
  theQT->HUnlock(theHolder.Get());
  return kQTNoErr;
}

// --- Movies -----------------------------------------------------------------------------

bool IsRefusedMovieType(const char* inPath)
{
  if (!inPath)
    return false;
  const std::string_view theExt = GetFileExtension(inPath);
  auto theIs = [&](std::initializer_list<std::string_view> inPrefixes) {
    for (std::string_view thePrefix : inPrefixes)
      if (StartsWithIgnoringCase(theExt, thePrefix))
        return true;
    return false;
  };
  bool theRefused = false;
  if (theIs({"txt", "tex", "xml"})) {
    DWORD theSize = 0;
    theRefused = !(GetFileSizeByPath(inPath, theSize) && theSize < 1024);
  }
  if (theIs({"mpe", "mpg"}))
    theRefused = GetPrefLong("QTImportMPEG", 0) == 0;
  if (theIs({"DLS", "AU", "WAV", "AIF", "MID", "RMI", "MP3", "M3U", "SF2", "PLS"}))
    theRefused = true;
  return theRefused;
}

OSErr OpenMovieForPath(Movie& outMovie, const char* inPathOrURL)
{
  outMovie = nullptr;
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  if (!inPathOrURL)
    return kQTParamErr;
  if (IsRefusedMovieType(inPathOrURL))
    return kQTCantFindHandlerErr;
  return IsURL(inPathOrURL) ? OpenMovieFromURL(*theQT, outMovie, inPathOrURL)
                            : OpenMovieFromFile(*theQT, outMovie, inPathOrURL);
}

// --- Conversions ---------------------------------------------------------------------

DWORD OSErrToWinError(OSErr inErr)
{
  switch (inErr) {
    case 0: return 0;
    case -23: return 110;
    case -34: return 112;
    case -36: return 1117;
    case -37: return 161;
    case -39: return 38;
    case -43: return 2;
    case -47: return 148;
    case -48: return 52;
    case -50: return 87;
    case -54: return 5;
    case -108: return 8;
    case -5000: return 5;
    default: return static_cast<DWORD>(static_cast<std::int32_t>(inErr)) | 0xA000u;
  }
}

RECT QDRectToRECT(const Rect& inRect)
{
  return RECT{inRect.left, inRect.top, inRect.right, inRect.bottom};
}

Rect RECTToQDRect(const RECT& inRect)
{
  return Rect{static_cast<SInt16>(inRect.top), static_cast<SInt16>(inRect.left), static_cast<SInt16>(inRect.bottom),
              static_cast<SInt16>(inRect.right)};
}

OSErr TransformToMatrix(const XFORM& inTransform, MatrixRecord& outMatrix)
{
  const QTServices* theQT = QT();
  if (!theQT)
    return kQTNotInstalledErr;
  auto theFixed = [&](FLOAT inValue) { return theQT->X2Fix(static_cast<double>(inValue)); };
  outMatrix.matrix[0][0] = theFixed(inTransform.eM11);
  outMatrix.matrix[0][1] = theFixed(inTransform.eM12);
  outMatrix.matrix[0][2] = 0;
  outMatrix.matrix[1][0] = theFixed(inTransform.eM21);
  outMatrix.matrix[1][1] = theFixed(inTransform.eM22);
  outMatrix.matrix[1][2] = 0;
  outMatrix.matrix[2][0] = theFixed(inTransform.eDx);
  outMatrix.matrix[2][1] = theFixed(inTransform.eDy);
  outMatrix.matrix[2][2] = kMatrixOne;
  return kQTNoErr;
}

std::string CopyPStringHandle(Handle inHandle)
{
  const QTServices* theQT = QT();
  if (!theQT || !inHandle)
    return {};
  Size theSize = theQT->GetHandleSize(inHandle);
  if (theSize <= 0)
    return {};
  theQT->HLock(inHandle);
  const unsigned char* theBytes = reinterpret_cast<const unsigned char*>(*inHandle);
  std::size_t theLength = std::min<std::size_t>({theBytes[0], static_cast<std::size_t>(theSize - 1), kMaxInfoText});
  std::string theText(reinterpret_cast<const char*>(theBytes + 1), theLength);
  theQT->HUnlock(inHandle);
  return theText;
}
