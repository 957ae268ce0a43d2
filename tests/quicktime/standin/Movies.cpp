// Movie calls: nothing is ever a movie. Calls on a movie, track or media
// (which no call hands out) set kQTInvalidMovieErr.

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

OSErr CloseMovieFile(SInt16)
{
  return Fail(kQTParamErr);
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

void DisposeMovie(Movie)
{
  Fail(kQTInvalidMovieErr);
}

TimeValue GetMovieDuration(Movie)
{
  Fail(kQTInvalidMovieErr);
  return 0;
}

void SetMovieTimeValue(Movie, TimeValue)
{
  Fail(kQTInvalidMovieErr);
}

void GetMovieBox(Movie, Rect* outBox)
{
  if (outBox)
    *outBox = {};
  Fail(kQTInvalidMovieErr);
}

void SetMovieGWorld(Movie, CGrafPtr, GDHandle)
{
  Fail(kQTInvalidMovieErr);
}

void SetMovieMatrix(Movie, const MatrixRecord*)
{
  Fail(kQTInvalidMovieErr);
}

void SetMovieClipRgn(Movie, RgnHandle)
{
  Fail(kQTInvalidMovieErr);
}

SInt32 GetMovieTrackCount(Movie)
{
  Fail(kQTInvalidMovieErr);
  return 0;
}

Track GetMovieIndTrack(Movie, SInt32)
{
  Fail(kQTInvalidMovieErr);
  return nullptr;
}

Media GetTrackMedia(Track)
{
  Fail(kQTInvalidMovieErr);
  return nullptr;
}

MediaHandler GetMediaHandler(Media)
{
  Fail(kQTInvalidMovieErr);
  return nullptr;
}

ComponentResult MediaSetGraphicsMode(MediaHandler, SInt32, const RGBColor*)
{
  return Fail(kQTInvalidMovieErr);
}

void MoviesTask(Movie, SInt32)
{
  Fail(kQTInvalidMovieErr);
}

OSErr GetMoviesError()
{
  return gMoviesError;
}

}  // namespace

void SetMoviesError(OSErr inErr)
{
  gMoviesError = inErr;
}

void AddMovieServices(QTServices& ioTable)
{
  ioTable.OpenMovieFile = OpenMovieFile;
  ioTable.CloseMovieFile = CloseMovieFile;
  ioTable.NewMovieFromFile = NewMovieFromFile;
  ioTable.NewMovieFromDataRef = NewMovieFromDataRef;
  ioTable.DisposeMovie = DisposeMovie;
  ioTable.GetMovieDuration = GetMovieDuration;
  ioTable.SetMovieTimeValue = SetMovieTimeValue;
  ioTable.GetMovieBox = GetMovieBox;
  ioTable.SetMovieGWorld = SetMovieGWorld;
  ioTable.SetMovieMatrix = SetMovieMatrix;
  ioTable.SetMovieClipRgn = SetMovieClipRgn;
  ioTable.GetMovieTrackCount = GetMovieTrackCount;
  ioTable.GetMovieIndTrack = GetMovieIndTrack;
  ioTable.GetTrackMedia = GetTrackMedia;
  ioTable.GetMediaHandler = GetMediaHandler;
  ioTable.MediaSetGraphicsMode = MediaSetGraphicsMode;
  ioTable.MoviesTask = MoviesTask;
  ioTable.GetMoviesError = GetMoviesError;
}
