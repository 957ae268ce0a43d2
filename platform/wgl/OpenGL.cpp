// The GL entry points of libtlplatform.so (see OpenGL.h), and OSMesa's
// loading.

// Before any GL header: the prototypes of glWindowPos2i and the like.
#define GL_GLEXT_PROTOTYPES
#include "platform/wgl/OpenGL.h"

#include "platform/base/LazyEntry.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <dlfcn.h>

#include <atomic>
#include <type_traits>

namespace {

// Loaded once, globally, so that every GL call of the process reaches the one
// OSMesa; null when the library is missing.
void* OSMesaLibrary()
{
  static void* const gLibrary = dlopen("libOSMesa.so.8", RTLD_NOW | RTLD_GLOBAL);
  return gLibrary;
}

std::atomic<bool> gLoaded{false};

// OSMesa's own entry point of the name, once OSMesa is loaded; else null.
void* MesaEntry(const char* inName)
{
  return gLoaded.load(std::memory_order_acquire) ? dlsym(OSMesaLibrary(), inName) : nullptr;
}

}  // namespace

const OSMesaCalls* LoadOSMesa()
{
  static const OSMesaCalls* const gCalls = []() -> const OSMesaCalls* {
    static OSMesaCalls gFound;
    void* theLibrary = OSMesaLibrary();
    const auto theFind = [&](const char* inName, auto& outCall) {
      outCall = reinterpret_cast<std::remove_reference_t<decltype(outCall)>>(dlsym(theLibrary, inName));
      return outCall != nullptr;
    };
    if (!theLibrary || !theFind("OSMesaCreateContextExt", gFound.mCreateContextExt) ||
        !theFind("OSMesaDestroyContext", gFound.mDestroyContext) || !theFind("OSMesaMakeCurrent", gFound.mMakeCurrent))
      return nullptr;
    gLoaded.store(true, std::memory_order_release);
    return &gFound;
  }();
  return gCalls;
}

// Each entry point finds OSMesa's once it is loaded, and keeps it.
#define TL_GL_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(MesaEntry, inReturn, inName, inParameters, inArguments)

// The GL calls of the system and of this stand-in, with OpenGL's prototypes.
#define TL_GL_ENTRIES(X) \
  X(void, glBegin, (GLenum mode), (mode)) \
  X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture)) \
  X(void, glBlendColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha), (red, green, blue, alpha)) \
  X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor)) \
  X(void, glCallList, (GLuint list), (list)) \
  X(void, glClear, (GLbitfield mask), (mask)) \
  X(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha), (red, green, blue, alpha)) \
  X(void, glColor4d, (GLdouble red, GLdouble green, GLdouble blue, GLdouble alpha), (red, green, blue, alpha)) \
  X(void, glColorMask, (GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha), (red, green, blue, alpha)) \
  X(void, glCopyTexImage2D, (GLenum target, GLint level, GLenum internalformat, GLint x, GLint y, GLsizei width, GLsizei height, GLint border), (target, level, internalformat, x, y, width, height, border)) \
  X(void, glDeleteLists, (GLuint list, GLsizei range), (list, range)) \
  X(void, glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures)) \
  X(void, glDepthMask, (GLboolean flag), (flag)) \
  X(void, glDisable, (GLenum cap), (cap)) \
  X(void, glDisableClientState, (GLenum cap), (cap)) \
  X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count)) \
  X(void, glDrawPixels, (GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid* pixels), (width, height, format, type, pixels)) \
  X(void, glEnable, (GLenum cap), (cap)) \
  X(void, glEnableClientState, (GLenum cap), (cap)) \
  X(void, glEnd, (void), ()) \
  X(void, glEndList, (void), ()) \
  X(void, glFinish, (void), ()) \
  X(void, glFlush, (void), ()) \
  X(GLuint, glGenLists, (GLsizei range), (range)) \
  X(void, glGenTextures, (GLsizei n, GLuint* textures), (n, textures)) \
  X(GLenum, glGetError, (void), ()) \
  X(void, glGetIntegerv, (GLenum pname, GLint* params), (pname, params)) \
  X(void, glHint, (GLenum target, GLenum mode), (target, mode)) \
  X(void, glLineWidth, (GLfloat width), (width)) \
  X(void, glLoadIdentity, (void), ()) \
  X(void, glMatrixMode, (GLenum mode), (mode)) \
  X(void, glMultMatrixd, (const GLdouble* m), (m)) \
  X(void, glNewList, (GLuint list, GLenum mode), (list, mode)) \
  X(void, glOrtho, (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val), (left, right, bottom, top, near_val, far_val)) \
  X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param)) \
  X(void, glPixelZoom, (GLfloat xfactor, GLfloat yfactor), (xfactor, yfactor)) \
  X(void, glPointSize, (GLfloat size), (size)) \
  X(void, glPopAttrib, (void), ()) \
  X(void, glPopClientAttrib, (void), ()) \
  X(void, glPopMatrix, (void), ()) \
  X(void, glPushAttrib, (GLbitfield mask), (mask)) \
  X(void, glPushClientAttrib, (GLbitfield mask), (mask)) \
  X(void, glPushMatrix, (void), ()) \
  X(void, glShadeModel, (GLenum mode), (mode)) \
  X(void, glTexCoord2d, (GLdouble s, GLdouble t), (s, t)) \
  X(void, glTexEnvi, (GLenum target, GLenum pname, GLint param), (target, pname, param)) \
  X(void, glTexGendv, (GLenum coord, GLenum pname, const GLdouble* params), (coord, pname, params)) \
  X(void, glTexGeni, (GLenum coord, GLenum pname, GLint param), (coord, pname, param)) \
  X(void, glTexImage2D, (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type, const GLvoid* pixels), (target, level, internalFormat, width, height, border, format, type, pixels)) \
  X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param)) \
  X(void, glTranslated, (GLdouble x, GLdouble y, GLdouble z), (x, y, z)) \
  X(void, glVertex2d, (GLdouble x, GLdouble y), (x, y)) \
  X(void, glVertexPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid* ptr), (size, type, stride, ptr)) \
  X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height)) \
  X(void, glWindowPos2i, (GLint x, GLint y), (x, y))

TL_GL_ENTRIES(TL_GL_ENTRY)
