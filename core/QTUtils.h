#pragma once
// QuickTime's life in the process, and the format choices the QuickTime
// codecs share.
//
// Life cycle. Every object that may use QuickTime counts itself as a user:
//
//   OSErr theStartErr = 0;
//   LONG theAvailable = 0;
//   AcquireQuickTime(theStartErr, theAvailable);   // the first user loads QuickTime
//   ... QuickTime calls only while theAvailable ...
//   ReleaseQuickTime(theStartErr);
//
// The first user of the process loads QuickTime when the preference
// UseQuickTime is on: it is started and counts as available from version 4.1.
// A failed or too old start is reported once per process as a warning event
// and not retried until an unload; with no QuickTime library named
// (TESSALINE_QUICKTIME unset or empty, the normal case on Linux) the start
// answers kQTNotInstalledErr and nothing is reported. With the preference UnloadQuickTime on,
// every release after the first UnloadQuickTimePeriod counted ones tries to
// stop QuickTime while nobody uses it, and the next first user starts it
// again. Load, unload and the counting are serialised by the system-wide
// named mutex "QTInitMutex".
//
// When "QTInitMutex" cannot be obtained in time, the assertion "theLock" is
// reported and nothing is loaded or unloaded without it: the acquiring caller
// is still counted (so its release balances) but gets kQTStartTimedOutErr and
// no QuickTime.
//
// Format choice. Importers are chosen by the extension, MIME type or
// description a caller names, else by sniffing the data's first bytes;
// exporters by name, MIME type, description or default file type. These
// functions call QuickTime through the services table and answer
// kQTNotInstalledErr while QuickTime is not started.

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"
#include "platform/quicktime/QTServices.h"

#include <string>

// What a start answers when the start-up did not report in time (the start
// thread, or "QTInitMutex").
constexpr OSErr kQTStartTimedOutErr = -618;

// --- Life cycle -------------------------------------------------------------

// Counts a user and hands back the start's error (0 = good) and whether
// QuickTime is available (0 or 1).
void AcquireQuickTime(OSErr& outStartErr, LONG& outAvailable);
// Drops a user, who hands back the start error its AcquireQuickTime gave it;
// may unload QuickTime (see above).
void ReleaseQuickTime(OSErr inStartErr);
bool QuickTimeAvailable();
// QuickTime's version; all three 0 (and 0) when it is not available.
[[nodiscard]] OSErr GetQuickTimeVersion(LONG& outMajor, LONG& outMinor, LONG& outBugFix);

// The steps, for callers that start QuickTime on their own, outside the count
// of users (the settings component's report). Every start that answers 0 is
// balanced by StopQuickTime(0).
//
// Starts the platform library and the movie toolbox on the calling thread.
[[nodiscard]] OSErr StartQuickTime();
// The same on a thread of its own, waited for up to two minutes; a start that
// reports later is stopped again by its thread.
[[nodiscard]] OSErr StartQuickTimeOnThread();
// Nothing when inStartErr is not 0.
void StopQuickTime(OSErr inStartErr);
// The version of a started QuickTime: the top byte of the 'qtim' word, then
// the nibbles of the next byte.
[[nodiscard]] OSErr QueryQuickTimeVersion(LONG& outMajor, LONG& outMinor, LONG& outBugFix);

// --- Components ----------------------------------------------------------------

[[nodiscard]] OSErr OpenComponentInstance(Component inComponent, ComponentInstance& outInstance);
// Closes a non-null instance and sets it to null.
OSErr CloseComponentInstance(ComponentInstance& ioInstance);

// The name and description of the graphics exporter at the 0-based inIndex
// (a negative index is never reached: the walk only counts), and the number
// of graphics exporters. Every out pointer may be null. A failing query ends
// the walk there, so the count stops at inIndex + 1.
[[nodiscard]] OSErr GetExporterInfo(LONG inIndex, std::string* outName, std::string* outDesc, LONG* outCount);

// The first graphics importer whose public format information matches the
// extension of inNameHint (its first three characters), inMIMEHint or
// inDescHint; kQTCantFindHandlerErr when none does.
[[nodiscard]] OSErr FindImporterComponent(const char* inNameHint, const char* inMIMEHint, const char* inDescHint,
                                          Component& outComponent);
// The same for graphics exporters, also matching the extension with the
// first three characters of the default file type; 0 and no component when
// none matches.
[[nodiscard]] OSErr FindExporterComponent(const char* inNameHint, const char* inMIMEHint, const char* inDescHint,
                                          Component& outComponent);
// Whether a public format information container has an 'ext ' item with
// inExt among its comma-separated extensions, or a 'mime' item equal to
// inMIME, or a 'desc' item equal to inDesc (without regard to case; empty
// hints match nothing).
[[nodiscard]] OSErr MatchPublicFormatInfo(const char* inExt, const char* inMIME, const char* inDesc,
                                          QTAtomContainer inContainer, bool& outFound);

// --- Graphics importers -----------------------------------------------------------

// A validated importer for a file; outGIC must be null.
[[nodiscard]] OSErr OpenImporterForFile(const char* inPath, GraphicsImportComponent& outGIC);
// A validated importer for data: inDataRefType 0 for a handle holding the
// bytes, kQTPointerDataRefType for a handle holding a PointerDataRefRecord.
// Chosen by the name hint first, else by the data's first bytes.
[[nodiscard]] OSErr OpenImporterForData(Handle inDataRef, OSType inDataRefType, const char* inNameHint,
                                        GraphicsImportComponent& outGIC);
// Keeps an importer that accepts its data (or cannot say); otherwise closes
// it, sets it to null and answers why (kQTInvalidImageErr when it refuses).
// A JPEG importer's yes is checked by the library's own JPEG test.
[[nodiscard]] OSErr ValidateImporter(GraphicsImportComponent& ioGIC);
// The extension (".png", with the dot) that the first bytes of an image
// suggest; empty for fewer than 40 bytes or no known signature.
void SniffImageExtension(const void* inBytes, LONGLONG inLength, std::string& outExtension);
// Depth, horizontal resolution in whole dots per inch and compressor name of
// the importer's current image.
[[nodiscard]] OSErr GetImporterImageInfo(GraphicsImportComponent inGIC, LONG& outDepth, LONG& outResolution,
                                         std::string& outCodecName);

// --- Movies -----------------------------------------------------------------------------

// Text, sound, playlist and (unless QTImportMPEG) MPEG files are no movies
// to open; small text files are.
bool IsRefusedMovieType(const char* inPath);
// The first movie of a file, or of an "http://", "ftp://" or "rtsp://" URL;
// kQTCantFindHandlerErr for a refused type.
[[nodiscard]] OSErr OpenMovieForPath(Movie& outMovie, const char* inPathOrURL);

// --- Conversions ---------------------------------------------------------------------

// The Windows error code of a QuickTime error.
DWORD OSErrToWinError(OSErr inErr);
RECT QDRectToRECT(const Rect& inRect);
// Values are truncated to 16 bits.
Rect RECTToQDRect(const RECT& inRect);
// The QuickTime matrix of a world transform (16.16 fixed, 1.0 in 2.30 last).
[[nodiscard]] OSErr TransformToMatrix(const XFORM& inTransform, MatrixRecord& outMatrix);
// The length-prefixed text held in a handle (at most 255 bytes).
std::string CopyPStringHandle(Handle inHandle);

// --- Scoped platform objects -------------------------------------------------
// (shared with the QuickTime codecs, QTClasses.h)

// A platform handle disposed at the end of the scope.
class ScopedHandle {
public:
  ScopedHandle(const QTServices& inQT, Handle inHandle) : mQT(inQT), mHandle(inHandle) {}
  ~ScopedHandle()
  {
    if (mHandle)
      mQT.DisposeHandle(mHandle);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  Handle Get() const { return mHandle; }

private:
  const QTServices& mQT;
  Handle mHandle;
};

// A component instance closed at the end of the scope unless handed on.
class ScopedInstance {
public:
  ScopedInstance() = default;
  ~ScopedInstance() { CloseComponentInstance(mInstance); }
  ScopedInstance(const ScopedInstance&) = delete;
  ScopedInstance& operator=(const ScopedInstance&) = delete;
  ComponentInstance& Ref() { return mInstance; }
  ComponentInstance Release()
  {
    ComponentInstance theInstance = mInstance;
    mInstance = nullptr;
    return theInstance;
  }

private:
  ComponentInstance mInstance = nullptr;
};
