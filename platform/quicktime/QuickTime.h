#pragma once
// The QuickTime services boundary: loads the QuickTime library named by the
// environment variable TESSALINE_QUICKTIME (a path for dlopen), starts and
// stops it, counted, and hands out its services table (QTServices.h).
//
//   OSErr theErr = QTInitialize(0);        // counted start
//   if (theErr == kQTNoErr) {
//     ... QT()->EnterMovies(), QT()->NewGWorld(...), ...
//     QTTerminate();                       // one for each successful start
//   }
//
// - The first QTInitialize loads the library (once per process) and calls
//   its InitializeQTML; later ones only count. Its answer is 0, the
//   library's own start error, or kQTNotInstalledErr when
//   TESSALINE_QUICKTIME is unset or empty, the library cannot be loaded,
//   lacks TLQuickTimeGetServices, serves another table version or leaves an
//   entry of the table null: QuickTime
//   is then "not installed". A failed start counts nothing.
// - The QTTerminate that balances the last successful start calls the
//   library's TerminateQTML. Extra QTTerminate calls are ignored.
// - The library stays loaded until the process ends: a later QTInitialize
//   starts it again through the same table, and nothing it handed out (the
//   table, its functions) ever dangles.
// - The table's NativePathNameToFSSpec, the one road by which a path reaches
//   QuickTime (which opens its files itself), first holds the path to the
//   roots of the file layer (FileRoots.h): a refused path answers -54, the
//   Mac OS permission error.
// - QT() is the table while QuickTime is started, and null otherwise: callers
//   check the start's answer (or QT()) before calling through it.
//
// Both servers may start QuickTime in one process, and the settings
// component starts and stops it beside the library's own reference count;
// the count here is what keeps one from stopping it under the other. All
// three functions may be called from any thread.

#include "platform/quicktime/QTServices.h"

// The environment variable that names the QuickTime library.
constexpr const char* kQTLibraryVariable = "TESSALINE_QUICKTIME";

// Whether TESSALINE_QUICKTIME names a library (set and not empty): without
// one, "not installed" is the normal state rather than a failure.
bool QTLibraryNamed();

[[nodiscard]] OSErr QTInitialize(SInt32 inFlags);
void QTTerminate();
const QTServices* QT();
