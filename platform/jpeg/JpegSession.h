#pragma once
// What the JPEG library's reading and writing share: libjpeg's errors turned
// into C++ exceptions, so that a failure deep inside libjpeg unwinds through
// our destructors (libjpeg's own state is then released by its destroy
// call), and a kernel file handle that closes itself.

#include "platform/jpeg/Jpeg.h"

// libjpeg's header needs <cstdio> first.
#include <cstdio>
#include <jpeglib.h>

#include <memory>

// Thrown by libjpeg's error exit and by our own callbacks.
struct JpegFailure {
  IJLERR mCode;
};

// Installs the error handlers into ioErrors and answers it for a libjpeg
// struct's err field: errors throw JpegFailure with the code for libjpeg's
// message, warnings and traces are dropped.
jpeg_error_mgr* UseThrowingErrors(jpeg_error_mgr& ioErrors);

// The code a libjpeg error stands for.
IJLERR CodeForLibraryMessage(int inMessageCode);

struct HandleCloser {
  void operator()(void* inHandle) const;
};
using ScopedFile = std::unique_ptr<void, HandleCloser>;

// The file handle, or none (and the last error) when it cannot be opened.
ScopedFile OpenJpegFile(const char* inPath, bool inForWriting);

// The decoding and encoding of one call, after the record's checks; they
// throw nothing.
IJLERR ReadJpeg(JPEG_CORE_PROPERTIES& ioProps, bool inFromFile, bool inHeaderOnly, int inScale);
IJLERR WriteJpeg(JPEG_CORE_PROPERTIES& ioProps, bool inToFile);
