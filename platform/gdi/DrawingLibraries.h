#pragma once
// The libraries the GDI draws with, loaded on first use: Cairo fills and
// strokes shapes, fontconfig finds fonts, FreeType reads their glyphs. With
// what they pull in (X11, xcb, pixman, libpng...) they are most of a process's
// start, and blits and DIB work need none of them; so libtlplatform.so links
// none. DrawingLibraries.cpp defines the calls the GDI makes, under their own
// names and prototypes: each finds its library's entry on its first call,
// loading the library then. When a library cannot be loaded, its calls do
// nothing and answer 0 (a null pointer, or FreeType's and Cairo's success),
// so each road that uses one asks first whether it is there.

// Each loads its library once per process; true when its every call the GDI
// makes was found. Otherwise false, having said on stderr why (once).
bool LoadCairo();
bool LoadFontconfig();
bool LoadFreeType();
