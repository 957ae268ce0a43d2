// WGL over OSMesa: contexts render into scratch buffers that are seeded from
// and copied back into the DIB section of a device context (see Wgl.h).

// Before any GL header: the prototypes of glWindowPos2i and the like.
#define GL_GLEXT_PROTOTYPES
#include "platform/wgl/Wgl.h"

#include "platform/base/HandleNumbers.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "platform/wgl/OpenGL.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kFormatCount = 2;
constexpr int kFormatWithAlpha = 2;
constexpr int kDepthBits = 16;

// The 32-bit DIB section selected in a device context, as OpenGL sees it.
struct Canvas {
  BYTE* mBits = nullptr;
  LONG mWidth = 0;
  LONG mHeight = 0;
  LONG mRowBytes = 0;
  bool mTopDown = true;

  // Row y counted from the top of the picture.
  BYTE* Row(LONG inY) const
  {
    LONG theRow = mTopDown ? inY : mHeight - 1 - inY;
    return mBits + static_cast<std::ptrdiff_t>(theRow) * mRowBytes;
  }
};

bool CanvasOfDC(HDC inDC, Canvas& outCanvas)
{
  if (GetObjectType(inDC) != OBJ_MEMDC)
    return false;
  DIBSECTION theSection{};
  HGDIOBJ theBitmap = GetCurrentObject(inDC, OBJ_BITMAP);
  if (!theBitmap || GetObjectA(theBitmap, sizeof theSection, &theSection) != static_cast<int>(sizeof theSection))
    return false;
  if (theSection.dsBm.bmBitsPixel != 32 || !theSection.dsBm.bmBits || theSection.dsBm.bmWidth < 1 ||
      theSection.dsBm.bmHeight < 1)
    return false;
  if (theSection.dsBmih.biCompression == BI_BITFIELDS &&
      (theSection.dsBitfields[0] != 0xFF0000 || theSection.dsBitfields[1] != 0xFF00 ||
       theSection.dsBitfields[2] != 0xFF))
    return false;
  outCanvas.mBits = static_cast<BYTE*>(theSection.dsBm.bmBits);
  outCanvas.mWidth = theSection.dsBm.bmWidth;
  outCanvas.mHeight = theSection.dsBm.bmHeight;
  outCanvas.mRowBytes = theSection.dsBm.bmWidthBytes;
  outCanvas.mTopDown = theSection.dsBmih.biHeight < 0;
  return true;
}

PIXELFORMATDESCRIPTOR DescriptorOf(int inFormat)
{
  PIXELFORMATDESCRIPTOR theDescriptor{};
  theDescriptor.nSize = sizeof theDescriptor;
  theDescriptor.nVersion = 1;
  theDescriptor.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
  theDescriptor.iPixelType = PFD_TYPE_RGBA;
  theDescriptor.cColorBits = 32;
  theDescriptor.cRedBits = 8;
  theDescriptor.cRedShift = 16;
  theDescriptor.cGreenBits = 8;
  theDescriptor.cGreenShift = 8;
  theDescriptor.cBlueBits = 8;
  theDescriptor.cBlueShift = 0;
  if (inFormat == kFormatWithAlpha) {
    theDescriptor.cAlphaBits = 8;
    theDescriptor.cAlphaShift = 24;
  }
  theDescriptor.cDepthBits = kDepthBits;
  theDescriptor.iLayerType = PFD_MAIN_PLANE;
  return theDescriptor;
}

struct GLContext {
  OSMesaContext mMesa = nullptr;
  int mFormat = 0;
  // While current: the thread, the device context, the size of its DIB, the
  // rectangle of it that OpenGL draws on and the scratch pixels of that
  // rectangle.
  std::thread::id mThread;
  HDC mDC = nullptr;
  LONG mWidth = 0;
  LONG mHeight = 0;
  RECT mRect{};
  std::vector<BYTE> mScratch;

  std::size_t RowBytes() const { return static_cast<std::size_t>(mRect.right - mRect.left) * 4; }
  BYTE* ScratchRow(LONG inY) { return mScratch.data() + static_cast<std::size_t>(inY) * RowBytes(); }
  BYTE* CanvasRow(const Canvas& inCanvas, LONG inY) const
  {
    return inCanvas.Row(mRect.top + inY) + static_cast<std::size_t>(mRect.left) * 4;
  }

  ~GLContext()
  {
    if (mMesa)
      LoadOSMesa()->mDestroyContext(mMesa);
  }
};

std::mutex gLock;
std::unordered_map<std::uint32_t, std::shared_ptr<GLContext>> gContexts;
std::unordered_map<std::uint32_t, int> gFormats;  // device context -> pixel format
std::uint32_t gNextContext = 1;

std::shared_ptr<GLContext> FindContext(HGLRC inContext)
{
  std::lock_guard theGuard(gLock);
  auto theFound = gContexts.find(TableNumber(inContext));
  return theFound == gContexts.end() ? nullptr : theFound->second;
}

// Copies the scratch pixels back into the rectangle of the DIB the context
// was made current on, when that DIB is still there and of the same size.
void CopyBack(GLContext& ioContext)
{
  Canvas theCanvas;
  if (!CanvasOfDC(ioContext.mDC, theCanvas) || theCanvas.mWidth != ioContext.mWidth ||
      theCanvas.mHeight != ioContext.mHeight)
    return;
  for (LONG y = 0; y < ioContext.mRect.bottom - ioContext.mRect.top; ++y)
    std::memcpy(ioContext.CanvasRow(theCanvas, y), ioContext.ScratchRow(y), ioContext.RowBytes());
}

// Writes the scratch pixels into the framebuffer of the context just made
// current: OSMesa keeps its own colour buffer and only writes it out to the
// client's buffer, so the DIB's picture has to be drawn in. The context's
// state is left as it was.
void SeedFramebuffer(const GLContext& inContext)
{
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  for (GLenum theCapability : {GL_ALPHA_TEST, GL_BLEND, GL_COLOR_LOGIC_OP, GL_DEPTH_TEST, GL_DITHER, GL_FOG,
                               GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
    glDisable(theCapability);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glPixelZoom(1, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glWindowPos2i(0, 0);
  glDrawPixels(inContext.mRect.right - inContext.mRect.left, inContext.mRect.bottom - inContext.mRect.top, GL_BGRA,
               GL_UNSIGNED_BYTE, inContext.mScratch.data());
  glClear(GL_DEPTH_BUFFER_BIT);
  glPopClientAttrib();
  glPopAttrib();
}

// The calling thread's current context; released when the thread ends.
struct CurrentBinding {
  HGLRC mHandle = nullptr;
  std::shared_ptr<GLContext> mContext;

  void Release()
  {
    if (!mContext)
      return;
    glFinish();
    CopyBack(*mContext);
    LoadOSMesa()->mMakeCurrent(nullptr, nullptr, 0, 0, 0);
    {
      std::lock_guard theGuard(gLock);
      mContext->mThread = std::thread::id();
    }
    mContext->mDC = nullptr;
    mContext->mScratch = std::vector<BYTE>();
    mContext.reset();
    mHandle = nullptr;
  }

  ~CurrentBinding() { Release(); }
};

thread_local CurrentBinding gCurrent;

// Forgets the formats of device contexts that no longer exist.
void PruneFormats()
{
  for (auto theEntry = gFormats.begin(); theEntry != gFormats.end();) {
    if (GetObjectType(NumberToHandle<HDC>(theEntry->first)) == 0)
      theEntry = gFormats.erase(theEntry);
    else
      ++theEntry;
  }
}

}  // namespace

int DescribePixelFormat(HDC inDC, int inFormat, UINT inBytes, PIXELFORMATDESCRIPTOR* outDescriptor)
{
  if (GetObjectType(inDC) == 0)
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  Canvas theCanvas;
  if (!CanvasOfDC(inDC, theCanvas))
    return Fail(ERROR_INVALID_PIXEL_FORMAT, FALSE);
  if (!outDescriptor)
    return kFormatCount;
  if (inFormat < 1 || inFormat > kFormatCount)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  PIXELFORMATDESCRIPTOR theDescriptor = DescriptorOf(inFormat);
  std::memcpy(outDescriptor, &theDescriptor, std::min<std::size_t>(inBytes, sizeof theDescriptor));
  return kFormatCount;
}

BOOL SetPixelFormat(HDC inDC, int inFormat, const PIXELFORMATDESCRIPTOR*)
{
  if (GetObjectType(inDC) == 0)
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  Canvas theCanvas;
  if (!CanvasOfDC(inDC, theCanvas) || inFormat < 1 || inFormat > kFormatCount)
    return Fail(ERROR_INVALID_PIXEL_FORMAT, FALSE);
  std::lock_guard theGuard(gLock);
  PruneFormats();
  auto [theEntry, theAdded] = gFormats.try_emplace(HandleToNumber(inDC), inFormat);
  if (!theAdded && theEntry->second != inFormat)
    return Fail(ERROR_INVALID_PIXEL_FORMAT, FALSE);
  return TRUE;
}

int GetPixelFormat(HDC inDC)
{
  if (GetObjectType(inDC) == 0)
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  std::lock_guard theGuard(gLock);
  auto theFound = gFormats.find(HandleToNumber(inDC));
  return theFound == gFormats.end() ? Fail(ERROR_INVALID_PIXEL_FORMAT, FALSE) : theFound->second;
}

HGLRC wglCreateContext(HDC inDC)
{
  int theFormat = GetPixelFormat(inDC);
  if (theFormat == 0)
    return nullptr;
  const OSMesaCalls* theMesa = LoadOSMesa();
  if (!theMesa) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto theContext = std::make_shared<GLContext>();
  theContext->mFormat = theFormat;
  theContext->mMesa = theMesa->mCreateContextExt(OSMESA_BGRA, kDepthBits, 0, 0, nullptr);
  if (!theContext->mMesa) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard theGuard(gLock);
  std::uint32_t theNumber = gNextContext++;
  gContexts.emplace(theNumber, std::move(theContext));
  return NumberToHandle<HGLRC>(theNumber);
}

BOOL wglDeleteContext(HGLRC inContext)
{
  if (gCurrent.mHandle && gCurrent.mHandle == inContext)
    gCurrent.Release();
  std::shared_ptr<GLContext> theContext;
  {
    std::lock_guard theGuard(gLock);
    auto theFound = gContexts.find(TableNumber(inContext));
    if (theFound == gContexts.end())
      return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (theFound->second->mThread != std::thread::id())
      return Fail(ERROR_BUSY, FALSE);
    theContext = std::move(theFound->second);
    gContexts.erase(theFound);
  }
  return TRUE;
}

BOOL wglMakeCurrent(HDC inDC, HGLRC inContext)
{
  Canvas theCanvas;
  if (inContext && CanvasOfDC(inDC, theCanvas))
    return wglMakeCurrentRect(inDC, inContext, RECT{0, 0, theCanvas.mWidth, theCanvas.mHeight});
  return wglMakeCurrentRect(inDC, inContext, RECT{});
}

BOOL wglMakeCurrentRect(HDC inDC, HGLRC inContext, const RECT& inRect)
{
  gCurrent.Release();
  if (!inContext)
    return TRUE;
  std::shared_ptr<GLContext> theContext = FindContext(inContext);
  if (!theContext)
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (GetObjectType(inDC) == 0)
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  Canvas theCanvas;
  if (GetPixelFormat(inDC) != theContext->mFormat || !CanvasOfDC(inDC, theCanvas))
    return Fail(ERROR_INVALID_PIXEL_FORMAT, FALSE);
  if (inRect.left < 0 || inRect.top < 0 || inRect.right > theCanvas.mWidth || inRect.bottom > theCanvas.mHeight ||
      inRect.left >= inRect.right || inRect.top >= inRect.bottom)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  {
    std::lock_guard theGuard(gLock);
    if (theContext->mThread != std::thread::id())
      return Fail(ERROR_BUSY, FALSE);
    theContext->mThread = std::this_thread::get_id();
  }
  theContext->mRect = inRect;
  const LONG theWidth = inRect.right - inRect.left, theHeight = inRect.bottom - inRect.top;
  try {
    theContext->mScratch.resize(theContext->RowBytes() * static_cast<std::size_t>(theHeight));
  } catch (const std::bad_alloc&) {
    std::lock_guard theGuard(gLock);
    theContext->mThread = std::thread::id();
    return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  for (LONG y = 0; y < theHeight; ++y)
    std::memcpy(theContext->ScratchRow(y), theContext->CanvasRow(theCanvas, y), theContext->RowBytes());
  if (!LoadOSMesa()->mMakeCurrent(theContext->mMesa, theContext->mScratch.data(), GL_UNSIGNED_BYTE, theWidth,
                                  theHeight)) {
    theContext->mScratch = std::vector<BYTE>();
    std::lock_guard theGuard(gLock);
    theContext->mThread = std::thread::id();
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  theContext->mDC = inDC;
  theContext->mWidth = theCanvas.mWidth;
  theContext->mHeight = theCanvas.mHeight;
  SeedFramebuffer(*theContext);
  gCurrent.mHandle = inContext;
  gCurrent.mContext = std::move(theContext);
  return TRUE;
}

HGLRC wglGetCurrentContext()
{
  return gCurrent.mHandle;
}

HDC wglGetCurrentDC()
{
  return gCurrent.mContext ? gCurrent.mContext->mDC : nullptr;
}
