// File specifications over native paths.

#include "tests/quicktime/standin/FileSpecs.h"

#include "tests/quicktime/standin/HandleStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

OSErr NativePathNameToFSSpec(const char* inPath, FSSpec* outSpec, SInt32)
{
  if (!inPath || !outSpec)
    return kQTParamErr;
  std::size_t theLength = std::strlen(inPath);
  if (theLength == 0 || theLength >= sizeof outSpec->path) {
    outSpec->path[0] = '\0';
    return kQTBadNameErr;
  }
  std::memcpy(outSpec->path, inPath, theLength + 1);
  struct stat theStatus;
  return stat(inPath, &theStatus) == 0 ? kQTNoErr : kQTFileNotFoundErr;
}

}  // namespace

OSErr ReadWholeFile(const std::string& inPath, std::string& outBytes)
{
  int theFile = open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (theFile < 0)
    return errno == ENOENT || errno == ENOTDIR ? kQTFileNotFoundErr : kQTIOErr;
  OSErr theErr = kQTNoErr;
  struct stat theStatus;
  std::string theBytes;
  if (fstat(theFile, &theStatus) != 0 || !S_ISREG(theStatus.st_mode)) {
    theErr = kQTIOErr;
  } else if (theStatus.st_size > kMaxHandleSize) {
    theErr = kQTMemFullErr;
  } else {
    try {
      theBytes.resize(static_cast<std::size_t>(theStatus.st_size));
    } catch (const std::bad_alloc&) {
      theErr = kQTMemFullErr;
    }
    std::size_t theDone = 0;
    while (theErr == kQTNoErr && theDone < theBytes.size()) {
      ssize_t theRead = read(theFile, theBytes.data() + theDone, theBytes.size() - theDone);
      if (theRead < 0 && errno == EINTR)
        continue;
      if (theRead <= 0)
        theErr = kQTIOErr;
      else
        theDone += static_cast<std::size_t>(theRead);
    }
  }
  close(theFile);
  if (theErr == kQTNoErr)
    outBytes = std::move(theBytes);
  return theErr;
}

void AddFileSpecServices(QTServices& ioTable)
{
  ioTable.NativePathNameToFSSpec = NativePathNameToFSSpec;
}
