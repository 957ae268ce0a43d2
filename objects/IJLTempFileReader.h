#pragma once
// An IJLReader that reads a memory block whose width is 255 more than a
// multiple of 256 (255, 511, 767 ...) from a temporary file instead, as the
// JPEG library this design was made for needed. The file ("ijl" and a number,
// in the temporary folder, private to the user) exists from the header read
// until ReadImage or the reader's end.

#include "objects/IJLReader.h"

#include <string>

class IJLTempFileReader : public IJLReader {
public:
  IJLTempFileReader() = default;
  ~IJLTempFileReader() override;

  void ReadHeader() override;
  void ReadImage() override;
  // Removes the temporary file; when that fails, the error "IJL unable to
  // delete temporary file", also written to the event log.
  virtual void DeleteTempFile();

private:
  HANDLE mFileH = INVALID_HANDLE_VALUE;  // open on the temporary file while it exists
  std::string mTempPath;
};

// Writes inLength bytes into a new temporary file "ijl<number>.TMP" and hands
// out its path and its open handle. 0, or the Windows error with 0x80040000
// set (a negative number); on failure no file is left.
LONG IJLWriteTempFile(const void* inBytes, LONG inLength, std::string& outPath, HANDLE& outHandle);
