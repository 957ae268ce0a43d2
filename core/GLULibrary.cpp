// The GLU calls of the system (see GLULibrary.h), and the library's loading.

#include "core/GLULibrary.h"

#include "core/EventLog.h"
#include "platform/base/LazyEntry.h"

#include <GL/glu.h>
#include <dlfcn.h>

namespace {

// GLU's own entry point of the name, the library loaded by the first call;
// null when it cannot be loaded.
void* GLUEntry(const char* inName)
{
  static void* const gLibrary = [] {
    void* theLibrary = dlopen("libGLU.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!theLibrary)
      LogEvent("GLU cannot be loaded: %s", EVENTLOG_ERROR_TYPE, dlerror());
    return theLibrary;
  }();
  return gLibrary ? dlsym(gLibrary, inName) : nullptr;
}

}  // namespace

#define TL_GLU_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(GLUEntry, inReturn, inName, inParameters, inArguments)

TL_GLU_ENTRY(void, gluDeleteTess, (GLUtesselator* tess), (tess))
TL_GLU_ENTRY(const GLubyte*, gluErrorString, (GLenum error), (error))
TL_GLU_ENTRY(GLUtesselator*, gluNewTess, (void), ())
TL_GLU_ENTRY(void, gluTessBeginContour, (GLUtesselator* tess), (tess))
TL_GLU_ENTRY(void, gluTessBeginPolygon, (GLUtesselator* tess, GLvoid* data), (tess, data))
TL_GLU_ENTRY(void, gluTessCallback, (GLUtesselator* tess, GLenum which, _GLUfuncptr callback), (tess, which, callback))
TL_GLU_ENTRY(void, gluTessEndContour, (GLUtesselator* tess), (tess))
TL_GLU_ENTRY(void, gluTessEndPolygon, (GLUtesselator* tess), (tess))
TL_GLU_ENTRY(void, gluTessProperty, (GLUtesselator* tess, GLenum which, GLdouble data), (tess, which, data))
TL_GLU_ENTRY(void, gluTessVertex, (GLUtesselator* tess, GLdouble* location, GLvoid* data), (tess, location, data))
