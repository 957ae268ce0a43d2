// Movie calls: nothing is ever a movie. Calls on a movie, track or media
// (which no call hands out) set kQTInvalidMovieErr.

#include "tests/quicktime/standin/Movies.h"

#include <sys/stat.h>

#include <atomic>

namespace {

thread_local OSErr gMoviesError = kQTNoErr;
std::atomic<bool> gMovieFilesUnreadable{false};

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
  if (!inFile || stat(inFile->path, &theStatus) != 0 || gMovieFilesUnreadable)
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

void GetMovieBox(Movie, Rect* outBox)
{
  if (outBox)
    *outBox = {};
  Fail(kQTInvalidMovieErr);
}

void NoMovie()
{
  Fail(kQTInvalidMovieErr);
}

}  // namespace

void SetMoviesError(OSErr inErr)
{
  gMoviesError = inErr;
}

void SetMovieFilesUnreadable(bool inUnreadable)
{
  gMovieFilesUnreadable = inUnreadable;
}

void AddMovieServices(QTServices& ioTable)
{
  ioTable.OpenMovieFile = OpenMovieFile;
  ioTable.CloseMovieFile = [](SInt16) { return Fail(kQTParamErr); };
  ioTable.NewMovieFromFile = NewMovieFromFile;
  ioTable.NewMovieFromDataRef = NewMovieFromDataRef;
  ioTable.DisposeMovie = [](Movie) { NoMovie(); };
  ioTable.GetMovieDuration = [](Movie) -> TimeValue { NoMovie(); return 0; };
  ioTable.SetMovieTimeValue = [](Movie, TimeValue) { NoMovie(); };
  ioTable.GetMovieBox = GetMovieBox;
  ioTable.SetMovieGWorld = [](Movie, CGrafPtr, GDHandle) { NoMovie(); };
  ioTable.SetMovieMatrix = [](Movie, const MatrixRecord*) { NoMovie(); };
  ioTable.SetMovieClipRgn = [](Movie, RgnHandle) { NoMovie(); };
  ioTable.GetMovieTrackCount = [](Movie) -> SInt32 { NoMovie(); return 0; };
  ioTable.GetMovieIndTrack = [](Movie, SInt32) -> Track { NoMovie(); return nullptr; };
  ioTable.GetTrackMedia = [](Track) -> Media { NoMovie(); return nullptr; };
  ioTable.GetMediaHandler = [](Media) -> MediaHandler { NoMovie(); return nullptr; };
  ioTable.MediaSetGraphicsMode = [](MediaHandler, SInt32, const RGBColor*) -> ComponentResult {
    return Fail(kQTInvalidMovieErr);
  };
  ioTable.MoviesTask = [](Movie, SInt32) { NoMovie(); };
  ioTable.GetMoviesError = [] { return gMoviesError; };
}
