#pragma once
// The OpenGL library of the WGL stand-in, as a system's OpenGL library is:
// libtlplatform.so exports the GL entry points the system calls (OpenGL.cpp
// lists them), and each forwards to OSMesa, which renders. OSMesa (with the
// LLVM it pulls in) costs more than the rest of a page's start, so it is not
// linked: the first OpenGL context loads it (LoadOSMesa). A GL call made
// before that, which no context could serve, does nothing and answers 0.

#include <GL/osmesa.h>

// The OSMesa calls that contexts are made with.
struct OSMesaCalls {
  decltype(&::OSMesaCreateContextExt) mCreateContextExt = nullptr;
  decltype(&::OSMesaDestroyContext) mDestroyContext = nullptr;
  decltype(&::OSMesaMakeCurrent) mMakeCurrent = nullptr;
};

// OSMesa's library, loaded by the first call; null when it cannot be loaded.
const OSMesaCalls* LoadOSMesa();
