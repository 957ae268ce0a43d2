#pragma once
// The QuickTime services table: every QuickTime call the imaging core makes,
// as one record of function pointers. A QuickTime library (the platform's,
// or the test stand-in under tests/quicktime) exports one C function,
//
//   extern "C" OSErr TLQuickTimeGetServices(QTServices* ioServices);
//
// which checks mVersion and mSize (set by the caller to kQTServicesVersion
// and sizeof(QTServices)), fills every entry and answers 0; any other answer
// means the library does not serve this table. Callers do not load the
// library or call the entries of the first group themselves: QuickTime.h
// does that, counted, and hands out the table.
//
// Conventions of the entries:
// - They answer an OSErr or a ComponentResult; calls that answer something
//   else leave their error for a query: MemError (handles), QDError
//   (GWorlds), GetMoviesError (movies, components that cannot be opened).
//   Each query answers the last such call's error on the calling thread.
// - Out pointers may be null where the caller does not want that result.
// - A library checks the objects it is handed (components, instances,
//   GWorlds, regions, handles) against the live ones it made: a stale or
//   forged one is refused (kQTBadComponentInstance, kQTParamErr,
//   kQTBadHandleErr), never used.
// - Handle bytes move when the handle is resized (SetHandleSize, and calls
//   that fill a handle, such as SetImageDescriptionCTable): read `*theHandle`
//   again after such a call.

#include "platform/quicktime/QTTypes.h"

constexpr UInt32 kQTServicesVersion = 1;

struct QTServices {
  UInt32 mVersion;
  UInt32 mSize;

  // --- Start and stop (made by QuickTime.h only) --------------------------
  OSErr (*InitializeQTML)(SInt32 inFlags);  // the platform library; flags 0
  void (*TerminateQTML)();
  OSErr (*EnterMovies)();  // the movie toolbox; nests, balanced by ExitMovies
  void (*ExitMovies)();

  // --- Version ------------------------------------------------------------
  // Gestalt(kQTVersionSelector): major in the top byte, minor and bug-fix in
  // the high and low nibble of the next byte (6.0.3 is 0x06030000).
  OSErr (*Gestalt)(OSType inSelector, SInt32* outResponse);

  // --- Components ---------------------------------------------------------
  // The next component after inPrevious (null: the first) that matches
  // inLooking (see ComponentDescription), in the platform's order; null at
  // the end.
  Component (*FindNextComponent)(Component inPrevious, const ComponentDescription* inLooking);
  // Its description; its name and its information text as length-prefixed
  // strings, each into a handle (resized to fit) that is not null.
  OSErr (*GetComponentInfo)(Component inComponent, ComponentDescription* outDescription,
                            Handle outName, Handle outInfo, Handle outIcon);
  // The description of the component an instance was opened from.
  OSErr (*GetComponentInstanceInfo)(ComponentInstance inInstance,
                                    ComponentDescription* outDescription);
  // Null when it cannot be opened: GetMoviesError or MemError tells why.
  ComponentInstance (*OpenComponent)(Component inComponent);
  OSErr (*CloseComponent)(ComponentInstance inInstance);

  // --- Graphics importers ('grip') ------------------------------------------
  // The importer for a file, chosen by its content; kQTCantFindHandlerErr
  // when none reads it.
  OSErr (*GetGraphicsImporterForFile)(const FSSpec* inFile, GraphicsImportComponent* outImporter);
  // The data to read: a reference of type 'ptr ' (a PointerDataRefRecord in
  // the handle) or 'hndl' (a handle whose bytes are the data), or a handle.
  // The importer keeps the reference; the caller keeps the data alive.
  ComponentResult (*GraphicsImportSetDataReference)(GraphicsImportComponent inImporter,
                                                    Handle inDataRef, OSType inDataRefType);
  ComponentResult (*GraphicsImportSetDataHandle)(GraphicsImportComponent inImporter, Handle inData);
  // Where the data comes from: the file (kQTParamErr when it is not a
  // file), the data handle (null when it is not a handle), the reference.
  ComponentResult (*GraphicsImportGetDataFile)(GraphicsImportComponent inImporter, FSSpec* outFile);
  ComponentResult (*GraphicsImportGetDataHandle)(GraphicsImportComponent inImporter, Handle* outData);
  ComponentResult (*GraphicsImportGetDataReference)(GraphicsImportComponent inImporter,
                                                    Handle* outDataRef, OSType* outDataRefType);
  // Whether the importer can read its data (answers 0 either way).
  ComponentResult (*GraphicsImportValidate)(GraphicsImportComponent inImporter, Boolean* outValid);
  ComponentResult (*GraphicsImportGetImageCount)(GraphicsImportComponent inImporter, UInt32* outCount);
  ComponentResult (*GraphicsImportSetImageIndex)(GraphicsImportComponent inImporter, UInt32 inIndex);
  ComponentResult (*GraphicsImportGetNaturalBounds)(GraphicsImportComponent inImporter, Rect* outBounds);
  // The matrix the image asks to be drawn with (the identity when it asks
  // for none).
  ComponentResult (*GraphicsImportGetDefaultMatrix)(GraphicsImportComponent inImporter,
                                                    MatrixRecord* outMatrix);
  // A new handle the caller disposes: depth, resolution, compressor name and
  // extensions ('cspc': the colour space, a big-endian four-character code).
  ComponentResult (*GraphicsImportGetImageDescription)(GraphicsImportComponent inImporter,
                                                       ImageDescriptionHandle* outDescription);
  // A new handle holding the embedded ICC profile, or null when none.
  ComponentResult (*GraphicsImportGetColorSyncProfile)(GraphicsImportComponent inImporter,
                                                       Handle* outProfile);
  // A new container of 'ext ' (comma-separated extensions), 'mime' and 'desc'
  // atoms; the caller disposes it with QTDisposeAtomContainer.
  ComponentResult (*GraphicsImportGetMIMETypeList)(GraphicsImportComponent inImporter,
                                                   QTAtomContainer* outList);
  // 1 when drawing covers every pixel of the bounds, 0 when unknown, -1 not.
  ComponentResult (*GraphicsImportDoesDrawAllPixels)(GraphicsImportComponent inImporter,
                                                     SInt16* outDrawsAllPixels);
  // Where and how Draw draws: the matrix maps image coordinates into the
  // GWorld; the source rectangle (default: the natural bounds) limits the
  // part of the image drawn.
  ComponentResult (*GraphicsImportSetGWorld)(GraphicsImportComponent inImporter, CGrafPtr inPort,
                                             GDHandle inDevice);
  ComponentResult (*GraphicsImportSetSourceRect)(GraphicsImportComponent inImporter,
                                                 const Rect* inSource);
  ComponentResult (*GraphicsImportSetMatrix)(GraphicsImportComponent inImporter,
                                             const MatrixRecord* inMatrix);
  ComponentResult (*GraphicsImportSetGraphicsMode)(GraphicsImportComponent inImporter, SInt32 inMode,
                                                   const RGBColor* inOpColor);
  ComponentResult (*GraphicsImportDraw)(GraphicsImportComponent inImporter);

  // --- Graphics exporters ('grex') ------------------------------------------
  ComponentResult (*GraphicsExportGetMIMETypeList)(GraphicsExportComponent inExporter,
                                                   QTAtomContainer* outList);
  ComponentResult (*GraphicsExportGetDefaultFileTypeAndCreator)(GraphicsExportComponent inExporter,
                                                                OSType* outFileType,
                                                                OSType* outCreator);
  ComponentResult (*GraphicsExportSetInputGWorld)(GraphicsExportComponent inExporter, GWorldPtr inWorld);
  // The output: a handle (resized to the bytes written) or a file (made or
  // replaced).
  ComponentResult (*GraphicsExportSetOutputHandle)(GraphicsExportComponent inExporter, Handle inOutput);
  ComponentResult (*GraphicsExportSetOutputFile)(GraphicsExportComponent inExporter, const FSSpec* inFile);
  // Options; an exporter that has no such option answers
  // kQTBadComponentSelector, a value it cannot write kQTParamErr.
  ComponentResult (*GraphicsExportSetCompressionQuality)(GraphicsExportComponent inExporter,
                                                         CodecQ inQuality);
  ComponentResult (*GraphicsExportSetInterlaceStyle)(GraphicsExportComponent inExporter, UInt32 inStyle);
  ComponentResult (*GraphicsExportSetDepth)(GraphicsExportComponent inExporter, SInt32 inDepth);
  ComponentResult (*GraphicsExportGetResolution)(GraphicsExportComponent inExporter, Fixed* outH,
                                                 Fixed* outV);
  ComponentResult (*GraphicsExportSetResolution)(GraphicsExportComponent inExporter, Fixed inH, Fixed inV);
  ComponentResult (*GraphicsExportDoExport)(GraphicsExportComponent inExporter, UInt32* outSizeWritten);

  // --- Public format information containers ---------------------------------
  // Atoms are counted and found by type (0: any type) and 1-based index.
  SInt16 (*QTCountChildrenOfType)(QTAtomContainer inContainer, QTAtom inParent, QTAtomType inType);
  QTAtom (*QTFindChildByIndex)(QTAtomContainer inContainer, QTAtom inParent, QTAtomType inType,
                               SInt16 inIndex, QTAtomID* outID);
  OSErr (*QTGetAtomTypeAndID)(QTAtomContainer inContainer, QTAtom inAtom, QTAtomType* outType,
                              QTAtomID* outID);
  // The atom's bytes stay valid until the container is disposed.
  OSErr (*QTGetAtomDataPtr)(QTAtomContainer inContainer, QTAtom inAtom, Size* outSize, Ptr* outData);
  OSErr (*QTDisposeAtomContainer)(QTAtomContainer inContainer);

  // --- GWorlds and pixel maps -----------------------------------------------
  // An offscreen of a depth (1, 4, 8, 16, 24, 32, 40) or pixel format
  // ('RGBA', 'BGRA', 'cmyk') over pixels of its own. Its port has a device
  // context and bitmap (a DIB section over the same pixels, top row first)
  // for GDI drawing. No colour table: a grey ramp for indexed depths.
  QDErr (*NewGWorld)(GWorldPtr* outWorld, SInt32 inDepth, const Rect* inBounds, CTabHandle inTable,
                     GDHandle inDevice, GWorldFlags inFlags);
  // The same over pixels the caller owns and keeps alive, with the caller's
  // row length (a multiple of 4 that a DIB section of that width and depth
  // has).
  QDErr (*NewGWorldFromPtr)(GWorldPtr* outWorld, OSType inPixelFormat, const Rect* inBounds,
                            CTabHandle inTable, GDHandle inDevice, GWorldFlags inFlags, Ptr inBuffer,
                            SInt32 inRowBytes);
  // The same over a top-down DIB section and the device context it is
  // selected in; both stay the caller's.
  QDErr (*NewGWorldFromHBITMAP)(GWorldPtr* outWorld, CTabHandle inTable, GDHandle inDevice,
                                GWorldFlags inFlags, HBITMAP inBitmap, HDC inDC);
  // New pixels of a depth (0: the same) and bounds for the same GWorld;
  // with kQTClipPix the old pixels are kept at the top left, clipped.
  // Negative: failed (QDError tells why).
  GWorldFlags (*UpdateGWorld)(GWorldPtr* ioWorld, SInt32 inDepth, const Rect* inBounds,
                              CTabHandle inTable, GDHandle inDevice, GWorldFlags inFlags);
  void (*DisposeGWorld)(GWorldPtr inWorld);
  QDErr (*QDError)();
  // The current port and device of the calling thread.
  void (*GetGWorld)(CGrafPtr* outPort, GDHandle* outDevice);
  void (*SetGWorld)(CGrafPtr inPort, GDHandle inDevice);
  Rect* (*GetPortBounds)(CGrafPtr inPort, Rect* outBounds);
  HDC (*GetPortHDC)(GrafPtr inPort);
  HBITMAP (*GetPortHBITMAP)(GrafPtr inPort);
  PixMapHandle (*GetGWorldPixMap)(GWorldPtr inWorld);
  Boolean (*LockPixels)(PixMapHandle inPixMap);
  void (*UnlockPixels)(PixMapHandle inPixMap);
  GWorldFlags (*GetPixelsState)(PixMapHandle inPixMap);
  void (*SetPixelsState)(PixMapHandle inPixMap, GWorldFlags inState);
  Ptr (*GetPixBaseAddr)(PixMapHandle inPixMap);
  SInt32 (*QTGetPixMapHandleRowBytes)(PixMapHandle inPixMap);
  // Bits per pixel of a depth or pixel format (0 for an unknown one).
  SInt16 (*QTGetPixelSize)(OSType inPixelFormat);
  // Pen, colours and operation colour of the current port.
  void (*GetPenState)(PenState* outState);
  void (*SetPenState)(const PenState* inState);
  void (*GetForeColor)(RGBColor* outColor);
  void (*GetBackColor)(RGBColor* outColor);
  void (*RGBForeColor)(const RGBColor* inColor);
  void (*RGBBackColor)(const RGBColor* inColor);
  void (*OpColor)(const RGBColor* inColor);
  // Draws described image data into a pixel map: the source rectangle of
  // the image, through the matrix (null: identity), in a transfer mode.
  OSErr (*FDecompressImage)(Ptr inData, ImageDescriptionHandle inDescription, PixMapHandle inDestination,
                            const Rect* inSource, const MatrixRecord* inMatrix, SInt16 inMode,
                            RgnHandle inMask, PixMapHandle inMatte, const Rect* inMatteRect,
                            CodecQ inAccuracy, SInt32 inCodec, SInt32 inBufferSize,
                            void* inDataProc, void* inProgressProc);
  // Attaches a copy of a colour table to a description (as its 'clut').
  OSErr (*SetImageDescriptionCTable)(ImageDescriptionHandle inDescription, CTabHandle inTable);
  // A new handle holding the inIndex-th (1-based) extension of a type;
  // kQTExtensionNotFoundErr when there is none.
  OSErr (*GetImageDescriptionExtension)(ImageDescriptionHandle inDescription, Handle* outExtension,
                                        OSType inType, SInt32 inIndex);

  // --- Handles and memory -------------------------------------------------------
  // Null when out of memory (MemError kQTMemFullErr); a handle's bytes move
  // only when SetHandleSize resizes it, which a locked handle refuses.
  Handle (*NewHandle)(Size inSize);
  void (*DisposeHandle)(Handle inHandle);
  Size (*GetHandleSize)(Handle inHandle);
  void (*SetHandleSize)(Handle inHandle, Size inSize);
  void (*HLock)(Handle inHandle);
  void (*HUnlock)(Handle inHandle);
  OSErr (*MemError)();

  // --- Files and paths --------------------------------------------------------------
  // kQTFileNotFoundErr when no such file exists; the file record is
  // filled all the same, so it can name a file to be made.
  OSErr (*NativePathNameToFSSpec)(const char* inPath, FSSpec* outSpec, SInt32 inFlags);

  // --- Movies ---------------------------------------------------------------------------
  OSErr (*OpenMovieFile)(const FSSpec* inFile, SInt16* outRefNum, SInt8 inPermission);
  OSErr (*CloseMovieFile)(SInt16 inRefNum);
  OSErr (*NewMovieFromFile)(Movie* outMovie, SInt16 inRefNum, SInt16* ioResID, StringPtr outResName,
                            SInt16 inFlags, Boolean* outDataRefWasChanged);
  OSErr (*NewMovieFromDataRef)(Movie* outMovie, SInt16 inFlags, SInt16* outResID, Handle inDataRef,
                               OSType inDataRefType);
  void (*DisposeMovie)(Movie inMovie);
  TimeValue (*GetMovieDuration)(Movie inMovie);
  void (*SetMovieTimeValue)(Movie inMovie, TimeValue inTime);
  void (*GetMovieBox)(Movie inMovie, Rect* outBox);
  void (*SetMovieGWorld)(Movie inMovie, CGrafPtr inPort, GDHandle inDevice);
  void (*SetMovieMatrix)(Movie inMovie, const MatrixRecord* inMatrix);
  void (*SetMovieClipRgn)(Movie inMovie, RgnHandle inClip);
  SInt32 (*GetMovieTrackCount)(Movie inMovie);
  Track (*GetMovieIndTrack)(Movie inMovie, SInt32 inIndex);  // 1-based
  Media (*GetTrackMedia)(Track inTrack);
  MediaHandler (*GetMediaHandler)(Media inMedia);
  ComponentResult (*MediaSetGraphicsMode)(MediaHandler inHandler, SInt32 inMode,
                                          const RGBColor* inOpColor);
  void (*MoviesTask)(Movie inMovie, SInt32 inMaxMilliseconds);  // 0: draw once
  OSErr (*GetMoviesError)();

  // --- Fixed point, matrices and regions --------------------------------------------
  Fixed (*X2Fix)(double inValue);   // rounded to the nearest 1/65536, saturated
  Fixed (*Long2Fix)(SInt32 inValue);  // saturated
  SInt32 (*Fix2Long)(Fixed inValue);  // rounded to the nearest integer
  void (*SetIdentityMatrix)(MatrixRecord* outMatrix);
  // The matrix that maps inSource onto inDestination (scale and move).
  void (*RectMatrix)(MatrixRecord* outMatrix, const Rect* inSource, const Rect* inDestination);
  // Maps ioRect by the matrix to its bounding rectangle (rounded to the
  // nearest integers);
  // outCorners (may be null) receives the four mapped corners. True when
  // the result is exactly a rectangle (no rotation or skew).
  Boolean (*TransformRect)(const MatrixRecord* inMatrix, Rect* ioRect, FixedPoint* outCorners);
  RgnHandle (*NewRgn)();  // null when out of memory
  void (*RectRgn)(RgnHandle inRegion, const Rect* inRect);
  void (*DisposeRgn)(RgnHandle inRegion);
};

// The entry point a QuickTime library exports.
using QTGetServicesProc = OSErr (*)(QTServices* ioServices);
constexpr const char* kQTGetServicesName = "TLQuickTimeGetServices";
