#pragma once
// The OpenGL utility library, loaded on first use: it and the two GL
// dispatch libraries it pulls in cost a page's start several milliseconds,
// and only polygons (their tessellation) and the wording of OpenGL errors use
// it. GLULibrary.cpp defines the GLU calls the system makes, under their own
// names and prototypes; the first of them loads the library. When it cannot
// be loaded, each call does nothing and answers 0 (gluNewTess null, as when
// GLU is out of memory), with an error event naming what failed (once).
