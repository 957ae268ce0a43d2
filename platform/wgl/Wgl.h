#pragma once
// OpenGL rendering contexts on device contexts, Win32-shaped, over OSMesa.
//
// Pixel formats exist only on a memory device context that has a 32-bit DIB
// section selected: format 1 is RGBA with 32 colour bits and no alpha bits,
// format 2 the same with 8 alpha bits. Both draw to the bitmap, support GDI
// and OpenGL, and are of the main plane. On any other device context
// DescribePixelFormat answers 0 (last error ERROR_INVALID_PIXEL_FORMAT).
//
// A context renders into a scratch buffer of its own, never into the DIB
// while GDI may be drawing there: wglMakeCurrent(hdc, ctx) copies the DIB
// selected in hdc into the buffer, and wglMakeCurrent(NULL, NULL) (or making
// another context current, or deleting the current one, or the thread's end)
// finishes the drawing (glFinish) and copies the buffer back into that same
// DIB, all four bytes of each pixel. So GDI drawing made before and after
// survives; GDI drawing made while the context is current is overwritten.
// wglMakeCurrentRect does the same for one rectangle of the DIB: the buffer
// is that rectangle alone, so making current and releasing cost what the
// rectangle holds, whatever the size of the DIB, and the pixels outside it
// are never touched.
//
// Rows. Row y of the canvas (counted from the top, as GDI counts) is row y
// of OpenGL's window coordinates (counted from y = 0 upward), whichever way
// the DIB's rows lie in memory. With glOrtho(0, width, 0, height, -1, 1) a
// vertex at canvas (x, y) therefore lands on the pixel GDI calls (x, y).
// Over a rectangle, window (x, y) is canvas (left + x, top + y): glOrtho(left,
// right, top, bottom, -1, 1) puts canvas (x, y) on that same pixel.
//
// Pixels are B, G, R, A in memory, as everywhere else. The GL entry points
// are this library's own (OpenGL.h); include <GL/gl.h> to call them. The
// first context made loads OSMesa, which renders; without it (missing from
// the system) wglCreateContext fails with ERROR_MOD_NOT_FOUND.
//
// Threads. A context is current on at most one thread at a time; contexts
// and pixel formats may be made and deleted on any thread.

#include "platform/base/WinTypes.h"

struct PIXELFORMATDESCRIPTOR {
  WORD nSize;
  WORD nVersion;
  DWORD dwFlags;
  BYTE iPixelType;
  BYTE cColorBits;
  BYTE cRedBits;
  BYTE cRedShift;
  BYTE cGreenBits;
  BYTE cGreenShift;
  BYTE cBlueBits;
  BYTE cBlueShift;
  BYTE cAlphaBits;
  BYTE cAlphaShift;
  BYTE cAccumBits;
  BYTE cAccumRedBits;
  BYTE cAccumGreenBits;
  BYTE cAccumBlueBits;
  BYTE cAccumAlphaBits;
  BYTE cDepthBits;
  BYTE cStencilBits;
  BYTE cAuxBuffers;
  BYTE iLayerType;
  BYTE bReserved;
  DWORD dwLayerMask;
  DWORD dwVisibleMask;
  DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

constexpr DWORD PFD_DRAW_TO_WINDOW = 0x04;
constexpr DWORD PFD_DRAW_TO_BITMAP = 0x08;
constexpr DWORD PFD_SUPPORT_GDI = 0x10;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x20;
constexpr BYTE PFD_TYPE_RGBA = 0;
constexpr BYTE PFD_MAIN_PLANE = 0;

// The number of pixel formats of inDC (0 on failure); with outDescriptor,
// also the description of format inFormat (1-based) in at most inBytes bytes.
int DescribePixelFormat(HDC inDC, int inFormat, UINT inBytes, PIXELFORMATDESCRIPTOR* outDescriptor);
// Sets the format of inDC once: setting it again to another format fails.
BOOL SetPixelFormat(HDC inDC, int inFormat, const PIXELFORMATDESCRIPTOR* inDescriptor);
// The format set on inDC, 0 when none.
int GetPixelFormat(HDC inDC);

// A context for device contexts of inDC's pixel format (which must be set).
HGLRC wglCreateContext(HDC inDC);
// Fails (ERROR_BUSY) while the context is current on another thread.
BOOL wglDeleteContext(HGLRC inContext);
// inContext null releases the calling thread's current context (inDC is
// then ignored). Otherwise inDC must have the context's pixel format and
// a 32-bit DIB selected.
BOOL wglMakeCurrent(HDC inDC, HGLRC inContext);
// wglMakeCurrent over the rectangle inRect of the DIB only (see above), which
// must be non-empty and inside the DIB (else ERROR_INVALID_PARAMETER).
BOOL wglMakeCurrentRect(HDC inDC, HGLRC inContext, const RECT& inRect);
HGLRC wglGetCurrentContext();
HDC wglGetCurrentDC();
