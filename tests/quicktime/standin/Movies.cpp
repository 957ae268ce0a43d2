// Movie calls: nothing is ever a movie, so no call on a movie, track or
// media is offered.

#include "tests/quicktime/standin/Movies.h"

#include <sys/stat.h>

namespace {

thread_local OSErr gMoviesError = kQTNoErr;

OSErr Fail(OSErr inErr)
{
  gMoviesError = inErr;
  return inErr;
}

OSErr OpenMovieFile(const FSSpec* inFile, SInt16* outRefNum, SInt8)
{
  if (outRefNum)
    *outRefNum = 0;
  struct stat theStatus;
  if (!inFile || stat(inFile->path, &theStatus) != 0)
    return Fail(kQTFileNotFoundErr);
  return Fail(kQTNoMovieFoundErr);
}

OSErr NewMovieFromFile(Movie* outMovie, SInt16, SInt16*, StringPtr, SInt16, Boolean* outDataRefWasChanged)
{
  if (outMovie)
    *outMovie = nullptr;
  if (outDataRefWasChanged)
    *outDataRefWasChanged = false;
  return Fail(kQTNoMovieFoundErr);
}

OSErr NewMovieFromDataRef(Movie* outMovie, SInt16, SInt16*, Handle, OSType)
{
  if (outMovie)
    *outMovie = nullptr;
  return Fail(kQTNoMovieFoundErr);
}

}  // namespace

void SetMoviesError(OSErr inErr)
{
  gMoviesError = inErr;
}

void AddMovieServices(QTServices& ioTable)
{
  ioTable.OpenMovieFile = OpenMovieFile;
  ioTable.CloseMovieFile = [](SInt16) { return Fail(kQTParamErr); };
  ioTable.NewMovieFromFile = NewMovieFromFile;
  ioTable.NewMovieFromDataRef = NewMovieFromDataRef;
  ioTable.GetMoviesError = [] { return gMoviesError; };
}
