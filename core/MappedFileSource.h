#pragma once
// A ByteSource over a whole file, read-only.
//
// A file that shrinks while it is being read must not bring the process down
// (reading a mapped page beyond the new end of a file raises SIGBUS). So:
// - a file of up to kReadInLimit bytes is read into memory that the source
//   owns, and later changes to the file cannot touch it;
// - a larger file is mapped, and the source holds a shared lock over the
//   whole file until Close, so the library's own writers (WriteWholeFile,
//   SetFileLength, FileUtilities.h) are refused meanwhile. Another program
//   that cuts the file anyway makes the next read fault; inside a guarded
//   call that fault becomes an SException, as any other.
// Either way the file is read only while no writer of the library holds it:
// a file being written is refused with "Unable to read file".

#include "core/ByteSource.h"

#include <string>
#include <vector>

class MappedFileSource : public ByteSource {
public:
  // Files up to this size are read into memory, larger ones are mapped.
  static constexpr DWORD kReadInLimit = 64u << 20;

  MappedFileSource() = default;
  ~MappedFileSource() override;
  MappedFileSource(const MappedFileSource&) = delete;
  MappedFileSource& operator=(const MappedFileSource&) = delete;

  // Opens inPath and reads it as the source's block. False on success; true
  // when it failed, with the error text set ("Unable to read file", or one of
  // MapHandle's). With inMapAlways a file of any size is mapped: for a reader
  // that looks at a small part of a large file (a header), which reading the
  // whole file in would cost more than the reading itself.
  bool Open(const char* inPath, bool inMapAlways = false);
  // The same for a file handle opened for reading, which the source takes
  // over. Error texts: "File handle invalid", "Unable to get file size",
  // "File is empty", "Unable to read file", "Unable to create file mapping",
  // "Unable to map view of file".
  bool MapHandle(HANDLE inFile, bool inMapAlways = false);
  // Lets go of the file and its bytes; the source becomes empty.
  void Close();
  // The file's bytes; null when nothing is open.
  const BYTE* GetView() const { return mView; }
  // Empty when the last Open or MapHandle succeeded.
  const std::string& GetErrorText() const { return mError; }

private:
  bool Fail(const char* inText);

  std::string mError;
  HANDLE mFile = nullptr;
  HANDLE mMapping = nullptr;
  const BYTE* mView = nullptr;
  bool mMapped = false;   // mView is a mapped view (else it points into mBuffer)
  bool mLocked = false;   // mFile holds the shared lock over the whole file
  std::vector<BYTE> mBuffer;
};

// The first and the last inCount bytes of the file at inPath, read under the
// shared lock that Open takes, without the rest: a test of a file's ends need
// not read a large file whole. False when the file cannot be opened, locked
// or read, or holds fewer than 2 x inCount bytes.
bool ReadFileEnds(const char* inPath, DWORD inCount, BYTE* outFirst, BYTE* outLast);
