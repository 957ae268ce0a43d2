#pragma once
// The movie toolbox of a QuickTime without movies: every file or data
// reference that exists answers kQTNoMovieFoundErr, unless movie files are
// set to be unreadable: then opening any movie file answers
// kQTFileNotFoundErr.

#include "platform/quicktime/QTServices.h"

void AddMovieServices(QTServices& ioTable);

// The calling thread's movie toolbox error (GetMoviesError answers it).
void SetMoviesError(OSErr inErr);

void SetMovieFilesUnreadable(bool inUnreadable);
