#pragma once
// ImageMagick's library, loaded on first use. MagickCore and the libraries it
// pulls in (ICU, libxml2, FFTW, GLib and a dozen more) cost more than the
// rest of a page's start, and the JPEG road never needs them; so the library
// holding the codec links none of them. MagickLibrary.cpp defines the
// MagickCore calls the codec makes, and the zlib calls that check PNG streams
// (PNGChunks.h), under their own names and prototypes: each finds its entry
// in MagickCore or the libraries it pulls in on its first call, loading
// MagickCore then.
// When the library cannot be loaded, every call does nothing and answers 0.

// Loads MagickCore once per process; true when its every call the codec
// makes was found. Otherwise false, with an error event naming what failed
// (once).
bool LoadMagickCore();
