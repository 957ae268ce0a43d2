#pragma once
// The QuickTime codecs: reading an image (or a movie's frame) into a Bitmap,
// describing a file or block without drawing it, writing a Bitmap through a
// graphics exporter, and listing the exporters. Each class joins QTObject
// (the error state) with one option interface of the codecs:
//
//   QTImporter, QTMovieImporter     ImportOptions    (ImportOptions.h)
//   QTExporter                      ExportOptions    (ExportOptions.h)
//   QTInfoReader, QTMovieInfoReader ImageInfoSource  (ImageInfoSource.h)
//   QTExporterList                  FormatList       (FormatList.h)
//
// Callers make them on the stack, one object for one read, description or
// write, only while QuickTime is available (QuickTimeAvailable, QTUtils.h);
// the caller's own QuickTime reference (its Canvas, Graphic or Gestalt)
// keeps QuickTime up while the object lives.
//
// Errors are sticky: the first failure is kept (a QuickTime code, negative,
// or a component result such as 0x80008002; or a Windows code of a file
// step) and every later operation does nothing. An object made while
// QuickTime is not available holds kQTNotInstalledErr from the start.
//
// Memory mode. From QuickTime 5 on, with the preference QTMemoryIP (default
// 1), importers and readers hand QuickTime the bytes in place (a file is
// read or mapped first); otherwise a file goes by its path record and
// data as a copy in a handle. With QTMemoryOP (default 1) the exporter
// writes into a handle, and a file is then written whole from it.
//
// Pixels. A CMYK image ('cspc' 'cmyk') is drawn as C, M, Y, K bytes into an
// offscreen of its own, converted to B, G, R, 0 through its embedded ICC
// profile or the default CMYK profile (ColorSpace.h), and copied onto the
// target like a DIB.

#include "core/ExportOptions.h"
#include "core/FormatList.h"
#include "core/ImageInfoSource.h"
#include "core/ImportOptions.h"
#include "platform/quicktime/QTServices.h"

#include <memory>
#include <string>

class ByteSource;

// The colour space of an image description's 'cspc' extension, in
// ImageMagick's numbers (which the readers of both codecs report): 2 (grey)
// for 'b16g' and 'b32a', 11 (CMYK) for 'cmyk', 10 (YUV) for 'myuv', 'syv9'
// and 'y420', 1 (RGB) for any other code or none.
LONG GetColorSpaceKind(ImageDescriptionHandle inDesc);

class QTObject {
public:
  QTObject();
  virtual ~QTObject() = default;
  QTObject(const QTObject&) = delete;
  QTObject& operator=(const QTObject&) = delete;

  // QuickTime 5 or later (asked once per process).
  virtual bool IsQuickTime5();
  virtual LONG GetQTError() const { return mQTErr; }
  virtual LONG GetWinError() const { return mWinErr; }
  virtual bool HasError() const { return mQTErr != 0 || mWinErr != 0; }

protected:
  // Keeps a non-zero result as the QuickTime error, unless an error is kept
  // already; true while there is none.
  bool Succeeded(LONG inResult);
  // True while there is no error; a missing argument (inGiven false) is
  // kept as kQTParamErr.
  bool Proceed(bool inGiven);
  // The same for the Windows error of a failed file step: the system's last
  // error, or inDefault when that is 0.
  void KeepLastError(DWORD inDefault);

  // The services; used only while HasError is false, which it is not
  // without them.
  const QTServices* mQT;
  LONG mQTErr = 0;
  LONG mWinErr = 0;
};

class QTImporter : public QTObject, public ImportOptions {
public:
  QTImporter();
  ~QTImporter() override;

  // Opens the importer for the data and reads the image's bounds and
  // description (once).
  virtual void Prepare();
  // The importer draws the source rectangle into the target's GWorld.
  virtual void DrawInto(Bitmap* inTarget, const Rect& inSource, SInt32 inMode);
  // The importer draws C, M, Y, K into an offscreen, which is converted and
  // copied onto the target.
  virtual void DrawCMYKInto(Bitmap* inTarget, const Rect& inSource, SInt32 inMode);

  void ReadFile(const char* inPath) override;
  void ReadData(const void* inData, LONG inLength) override;
  LONG GetQTError() const override { return QTObject::GetQTError(); }
  LONG GetWinError() const override { return QTObject::GetWinError(); }
  // The clip rectangle, mapped through the image's default matrix.
  void GetClipRect(RECT& outRect) override;
  void GetNaturalBounds(RECT& outRect) override;
  // The natural bounds mapped through the image's default matrix.
  void GetBounds(RECT& outRect) override;
  // The image description's depth; 0 after an error.
  LONG GetDepth() override;
  LONG DrawsAllPixels() override;
  void Draw(Bitmap* inTarget) override;

private:
  // The clip rectangle as a QuickTime rectangle, through the default matrix.
  Rect MappedClipRect();

  bool mMemoryMode;
  std::string mPath;
  std::unique_ptr<ByteSource> mStream;
  Handle mDataRef = nullptr;  // the pointer reference to mStream's bytes
  GraphicsImportComponent mGIC = nullptr;
  ImageDescriptionHandle mDesc = nullptr;
  std::unique_ptr<FSSpec> mFileSpec;
  const void* mDataPtr = nullptr;
  LONG mDataLen = 0;
  Handle mDataHand = nullptr;
  RECT mNatRECT{0, 0, 0, 0};
  Rect mNatBounds{0, 0, 0, 0};
  Rect mBounds{0, 0, 0, 0};
  MatrixRecord mDefaultMatrix{};
  bool mHasDefaultMatrix = false;
  Handle mICCHand = nullptr;
  const BYTE* mICCPtr = nullptr;
  DWORD mICCLen = 0;
};

class QTMovieImporter : public QTObject, public ImportOptions {
public:
  QTMovieImporter() = default;
  // Disposes the movie and deletes the temporary file.
  ~QTMovieImporter() override;

  // Opens the first movie of the path (data go to a temporary file first)
  // and sets its time; once.
  virtual void OpenMovie();
  // Data without a path: written to a temporary file with the extension of
  // the options' name, which becomes the path.
  virtual void WriteDataToTempFile();

  void ReadFile(const char* inPath) override;
  void ReadData(const void* inData, LONG inLength) override;
  LONG GetQTError() const override { return QTObject::GetQTError(); }
  LONG GetWinError() const override { return QTObject::GetWinError(); }
  // The movie's box.
  void GetNaturalBounds(RECT& outRect) override;
  void Draw(Bitmap* inTarget) override;

private:
  // Keeps the movie toolbox's error of the last call; true while none.
  bool MoviesSucceeded();

  std::string mPath;
  const void* mDataPtr = nullptr;
  LONG mDataLen = 0;
  Movie mMovie = nullptr;
  RECT mNatRECT{0, 0, 0, 0};
  bool mTempFile = false;
};

// The output data of a write to memory belong to the exporter, and go with it.
class QTExporter : public QTObject, public ExportOptions {
public:
  QTExporter();
  ~QTExporter() override;

  // Writes through the exporter that the type names (as format name, MIME
  // type or description), else the one for the path's extension
  // (kQTCantFindHandlerErr when none). Answers 1 on failure, 0 on success.
  [[nodiscard]] LONG Write() override;

private:
  // The exporter's options; an option it lacks or a value it cannot take is
  // no failure.
  bool SetOptions(GraphicsExportComponent inExporter);

  bool mMemoryMode;
  Handle mDataHand = nullptr;
};

class QTInfoReader : public QTObject, public ImageInfoSource {
public:
  QTInfoReader();

  // Of the first image.
  virtual LONG GetFormatDepth() const { return mFormatDepth; }
  virtual LONG GetFormatResolution() const { return mFormatResolution; }
  // One record for each image of the importer's data: all of them, or none.
  virtual void FillRecords(GraphicsImportComponent inGIC);

  void Reset() override;
  void SetFile(const char* inPath) override;
  void SetData(const void* inData, LONG inLength, const char* inName) override;
  // The compressor name of the first image; empty without records.
  const char* GetFormatName() override { return mFormatName.c_str(); }

private:
  bool mMemoryMode;
  LONG mFormatDepth = 0;
  LONG mFormatResolution = 0;
  std::string mFormatName;
};

// Describes a file as a movie: one record of its box, 32 bits, 72 dpi, RGB.
class QTMovieInfoReader : public QTObject, public ImageInfoSource {
public:
  QTMovieInfoReader() = default;

  virtual LONG GetFormatDepth() const { return 32; }
  virtual LONG GetFormatResolution() const { return 72; }
  virtual void FillRecords();

  void Reset() override;
  void SetFile(const char* inPath) override;
  // The bytes go to a temporary file with the name's extension, which is
  // described and deleted.
  void SetData(const void* inData, LONG inLength, const char* inName) override;
  // "Movie" once described; empty otherwise.
  const char* GetFormatName() override { return mFormatName.c_str(); }

private:
  std::string mPath;
  std::string mFormatName;
};

class QTExporterList : public QTObject, public FormatList {
public:
  QTExporterList();

  LONG GetCount() override { return mCount; }
  // The name of the exporter at inIndex (from 0); empty after an error.
  void GetDescription(LONG inIndex, std::string& outText) override;

private:
  LONG mCount = 0;
};
