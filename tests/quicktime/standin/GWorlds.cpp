// GWorlds over plain memory. The pixels are rows top row first, padded to a
// multiple of 4 bytes, so that one DIB section (made over the same memory)
// serves the port's device context; 32-bit pixels are B, G, R, A.

#include "tests/quicktime/standin/GWorlds.h"

#include "platform/gdi/Gdi.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"
#include "tests/quicktime/standin/LiveSet.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// The pixels of a GWorld and the device that draws into them.
struct WorldPixels {
  OSType mFormat = 32;
  int mWidth = 0;
  int mHeight = 0;
  std::ptrdiff_t mRowBytes = 0;
  unsigned char* mBase = nullptr;
  std::unique_ptr<unsigned char[]> mOwnedMemory;  // null over the caller's memory
  std::vector<RGBColor> mTable;
  CTabHandle mTableHandle = nullptr;  // the pixel map's copy of mTable
  HDC mDC = nullptr;
  HBITMAP mBitmap = nullptr;
  HGDIOBJ mOldBitmap = nullptr;
  bool mOwnsDevice = false;  // false for a GWorld over the caller's DIB section

  WorldPixels() = default;
  WorldPixels(const WorldPixels&) = delete;
  WorldPixels& operator=(const WorldPixels&) = delete;
  ~WorldPixels()
  {
    if (mOwnsDevice) {
      if (mDC && mOldBitmap)
        SelectObject(mDC, mOldBitmap);
      if (mDC)
        DeleteDC(mDC);
      if (mBitmap)
        DeleteObject(mBitmap);
    }
    if (mTableHandle)
      DisposeHandle(reinterpret_cast<Handle>(mTableHandle));
  }
};

// What a new port draws with: a 1 x 1 black pen, black on white.
constexpr PenState kDefaultPen{{0, 0}, {1, 1}, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kWhite{0xFFFF, 0xFFFF, 0xFFFF};

}  // namespace

struct GrafPort {
  Rect mPortRect{};
  std::unique_ptr<WorldPixels> mPixels;
  PixMap mPixMap{};
  PixMap* mPixMapPointer = &mPixMap;  // the pixel map handle points here
  GWorldFlags mPixelsState = 0;
  PenState mPen = kDefaultPen;
  RGBColor mFore = kBlack;
  RGBColor mBack = kWhite;
  RGBColor mOp = kBlack;
};

namespace {

std::mutex gWorldsLock;
std::unordered_map<PixMapHandle, GrafPort*> gWorldsByPixMap;
LiveSet<GrafPort> gWorlds;

thread_local QDErr gQDError = kQTNoErr;
thread_local GrafPort* gCurrentPort = nullptr;
thread_local GDHandle gCurrentDevice = nullptr;

constexpr std::int64_t kMaxPixelBytes = 1LL << 31;

QDErr SetQDError(QDErr inErr)
{
  gQDError = inErr;
  return inErr;
}

// Fills the pixel map record from the port and its pixels.
void DescribePixMap(GrafPort& ioWorld)
{
  const WorldPixels& thePixels = *ioWorld.mPixels;
  PixMap& theMap = ioWorld.mPixMap;
  int theBits = BitsPerPixel(thePixels.mFormat);
  theMap.baseAddr = reinterpret_cast<Ptr>(thePixels.mBase);
  theMap.rowBytes = static_cast<SInt16>(0x8000 | (thePixels.mRowBytes & 0x3FFF));
  theMap.bounds = ioWorld.mPortRect;
  theMap.hRes = 72 << 16;
  theMap.vRes = 72 << 16;
  theMap.pixelSize = static_cast<SInt16>(thePixels.mFormat <= 40 ? thePixels.mFormat : 32);
  theMap.pixelFormat = thePixels.mFormat;
  theMap.cmpCount = IsIndexedFormat(thePixels.mFormat) ? 1 : thePixels.mFormat == kQTCMYKPixelFormat ? 4 : 3;
  theMap.cmpSize = static_cast<SInt16>(IsIndexedFormat(thePixels.mFormat) ? theBits : theBits == 16 ? 5 : 8);
  theMap.pmTable = thePixels.mTableHandle;
}

std::vector<RGBColor> ColorsOfTable(CTabHandle inTable)
{
  std::vector<RGBColor> theColors;
  std::string_view theBytes = HandleBytes(reinterpret_cast<Handle>(inTable));
  if (theBytes.size() < 8)
    return theColors;
  const ColorTable& theTable = **inTable;
  std::size_t theCount = std::min<std::size_t>(static_cast<std::size_t>(std::max<int>(theTable.ctSize, -1) + 1),
                                               (theBytes.size() - 8) / sizeof(ColorSpec));
  for (std::size_t i = 0; i < theCount; ++i)
    theColors.push_back(theTable.ctTable[i].rgb);
  return theColors;
}

CTabHandle NewColorTable(const std::vector<RGBColor>& inColors)
{
  auto theTable = reinterpret_cast<CTabHandle>(NewHandle(static_cast<Size>(8 + inColors.size() * sizeof(ColorSpec))));
  if (!theTable)
    return nullptr;
  (**theTable).ctSize = static_cast<SInt16>(inColors.size() - 1);
  for (std::size_t i = 0; i < inColors.size(); ++i)
    (**theTable).ctTable[i] = {static_cast<SInt16>(i), inColors[i]};
  return theTable;
}

// The device context and DIB section over the pixels; false when GDI fails.
bool MakeDevice(WorldPixels& ioPixels)
{
  struct {
    BITMAPINFOHEADER mHeader;
    RGBQUAD mColors[256];
  } theInfo{};
  theInfo.mHeader.biSize = sizeof(BITMAPINFOHEADER);
  theInfo.mHeader.biWidth = ioPixels.mWidth;
  theInfo.mHeader.biHeight = -ioPixels.mHeight;
  theInfo.mHeader.biPlanes = 1;
  theInfo.mHeader.biBitCount = static_cast<WORD>(BitsPerPixel(ioPixels.mFormat));
  theInfo.mHeader.biCompression = BI_RGB;
  for (std::size_t i = 0; i < ioPixels.mTable.size() && i < 256; ++i)
    theInfo.mColors[i] = {static_cast<BYTE>(ioPixels.mTable[i].blue >> 8),
                          static_cast<BYTE>(ioPixels.mTable[i].green >> 8),
                          static_cast<BYTE>(ioPixels.mTable[i].red >> 8), 0};
  theInfo.mHeader.biClrUsed = static_cast<DWORD>(ioPixels.mTable.size());

  ioPixels.mOwnsDevice = true;
  ioPixels.mDC = CreateCompatibleDC(nullptr);
  if (!ioPixels.mDC)
    return false;
  ioPixels.mBitmap = CreateDIBSectionOverMemory(ioPixels.mDC, reinterpret_cast<const BITMAPINFO*>(&theInfo),
                                                DIB_RGB_COLORS, ioPixels.mBase,
                                                static_cast<LONG>(ioPixels.mRowBytes));
  if (!ioPixels.mBitmap)
    return false;
  ioPixels.mOldBitmap = SelectObject(ioPixels.mDC, ioPixels.mBitmap);
  return ioPixels.mOldBitmap != nullptr;
}

// New pixels of a format and size over memory of their own (zeroed).
QDErr MakePixels(OSType inFormat, const Rect& inBounds, CTabHandle inTable, std::unique_ptr<WorldPixels>& outPixels)
{
  int theBits = BitsPerPixel(inFormat);
  if (theBits == 0 || theBits == 2 || IsEmptyRect(inBounds))
    return kQTParamErr;
  auto thePixels = std::make_unique<WorldPixels>();
  thePixels->mFormat = inFormat;
  thePixels->mWidth = inBounds.right - inBounds.left;
  thePixels->mHeight = inBounds.bottom - inBounds.top;
  const std::int64_t theRowBytes = PaddedRowBytes(thePixels->mWidth, theBits);
  if (theRowBytes * thePixels->mHeight > kMaxPixelBytes)
    return kQTMemFullErr;
  thePixels->mRowBytes = static_cast<std::ptrdiff_t>(theRowBytes);
  const auto theBytes = static_cast<std::size_t>(theRowBytes * thePixels->mHeight);
  thePixels->mOwnedMemory.reset(new (std::nothrow) unsigned char[theBytes]());
  if (!thePixels->mOwnedMemory)
    return kQTMemFullErr;
  thePixels->mBase = thePixels->mOwnedMemory.get();
  if (IsIndexedFormat(inFormat)) {
    thePixels->mTable = inTable ? ColorsOfTable(inTable) : std::vector<RGBColor>{};
    if (thePixels->mTable.empty() || thePixels->mTable.size() > (1u << theBits))
      thePixels->mTable = GreyRamp(theBits);
    thePixels->mTableHandle = NewColorTable(thePixels->mTable);
    if (!thePixels->mTableHandle)
      return kQTMemFullErr;
  }
  if (!MakeDevice(*thePixels))
    return kQTMemFullErr;
  outPixels = std::move(thePixels);
  return kQTNoErr;
}

QDErr AddWorld(GWorldPtr* outWorld, const Rect& inBounds, std::unique_ptr<WorldPixels> inPixels)
{
  auto* theWorld = new (std::nothrow) GrafPort;
  if (!theWorld)
    return SetQDError(kQTMemFullErr);
  theWorld->mPortRect = inBounds;
  theWorld->mPixels = std::move(inPixels);
  DescribePixMap(*theWorld);
  {
    std::lock_guard theGuard(gWorldsLock);
    gWorldsByPixMap[&theWorld->mPixMapPointer] = theWorld;
  }
  gWorlds.Add(theWorld);
  *outWorld = theWorld;
  return SetQDError(kQTNoErr);
}

// A new GWorld over new pixels (see MakePixels).
QDErr MakeWorld(GWorldPtr* outWorld, OSType inFormat, const Rect* inBounds, CTabHandle inTable)
{
  if (!outWorld || !inBounds)
    return SetQDError(kQTParamErr);
  *outWorld = nullptr;
  std::unique_ptr<WorldPixels> thePixels;
  QDErr theErr = MakePixels(inFormat, *inBounds, inTable, thePixels);
  if (theErr != kQTNoErr)
    return SetQDError(theErr);
  return AddWorld(outWorld, *inBounds, std::move(thePixels));
}

QDErr NewGWorld(GWorldPtr* outWorld, SInt32 inDepth, const Rect* inBounds, CTabHandle inTable, GDHandle,
                GWorldFlags)
{
  return MakeWorld(outWorld, static_cast<OSType>(inDepth), inBounds, inTable);
}

QDErr NewGWorldFromHBITMAP(GWorldPtr* outWorld, CTabHandle, GDHandle, GWorldFlags, HBITMAP inBitmap, HDC inDC)
{
  if (!outWorld)
    return SetQDError(kQTParamErr);
  *outWorld = nullptr;
  DIBSECTION theSection{};
  if (GetObjectA(inBitmap, sizeof theSection, &theSection) != static_cast<int>(sizeof theSection) ||
      theSection.dsBmih.biHeight >= 0 || !theSection.dsBm.bmBits || GetObjectType(inDC) == 0)
    return SetQDError(kQTParamErr);
  auto thePixels = std::make_unique<WorldPixels>();
  thePixels->mFormat = theSection.dsBm.bmBitsPixel;
  if (theSection.dsBmih.biCompression == BI_BITFIELDS &&
      !(theSection.dsBitfields[0] == 0x7C00 && theSection.dsBitfields[1] == 0x03E0 && theSection.dsBitfields[2] == 0x001F) &&
      !(theSection.dsBitfields[0] == 0xFF0000 && theSection.dsBitfields[1] == 0xFF00 && theSection.dsBitfields[2] == 0xFF))
    return SetQDError(kQTParamErr);
  if (theSection.dsBm.bmWidth > 32767 || theSection.dsBm.bmHeight > 32767)
    return SetQDError(kQTParamErr);
  thePixels->mWidth = theSection.dsBm.bmWidth;
  thePixels->mHeight = theSection.dsBm.bmHeight;
  thePixels->mRowBytes = theSection.dsBm.bmWidthBytes;
  thePixels->mBase = static_cast<unsigned char*>(theSection.dsBm.bmBits);
  thePixels->mDC = inDC;
  thePixels->mBitmap = inBitmap;
  if (IsIndexedFormat(thePixels->mFormat)) {
    RGBQUAD theColors[256];
    UINT theCount = GetDIBColorTable(inDC, 0, 256, theColors);
    for (UINT i = 0; i < theCount; ++i)
      thePixels->mTable.push_back({static_cast<std::uint16_t>(theColors[i].rgbRed * 257),
                                   static_cast<std::uint16_t>(theColors[i].rgbGreen * 257),
                                   static_cast<std::uint16_t>(theColors[i].rgbBlue * 257)});
    if (thePixels->mTable.empty())
      thePixels->mTable = GreyRamp(BitsPerPixel(thePixels->mFormat));
    thePixels->mTableHandle = NewColorTable(thePixels->mTable);
    if (!thePixels->mTableHandle)
      return SetQDError(kQTMemFullErr);
  }
  if (BitsPerPixel(thePixels->mFormat) == 0)
    return SetQDError(kQTParamErr);
  Rect theBounds{0, 0, static_cast<SInt16>(thePixels->mHeight), static_cast<SInt16>(thePixels->mWidth)};
  return AddWorld(outWorld, theBounds, std::move(thePixels));
}

GrafPort* LiveWorld(GWorldPtr inWorld)
{
  return gWorlds.Contains(inWorld) ? inWorld : nullptr;
}

GrafPort* WorldOfPixMap(PixMapHandle inPixMap)
{
  std::lock_guard theGuard(gWorldsLock);
  auto theFound = gWorldsByPixMap.find(inPixMap);
  return theFound == gWorldsByPixMap.end() ? nullptr : theFound->second;
}

PixelView ViewOfWorld(const GrafPort& inWorld)
{
  const WorldPixels& thePixels = *inWorld.mPixels;
  PixelView theView;
  theView.mBase = thePixels.mBase;
  theView.mRowBytes = thePixels.mRowBytes;
  theView.mWidth = thePixels.mWidth;
  theView.mHeight = thePixels.mHeight;
  theView.mFormat = thePixels.mFormat;
  theView.mTable = thePixels.mTable;
  theView.mOrigin = {inWorld.mPortRect.top, inWorld.mPortRect.left};
  return theView;
}

GWorldFlags UpdateGWorld(GWorldPtr* ioWorld, SInt32 inDepth, const Rect* inBounds, CTabHandle inTable, GDHandle,
                         GWorldFlags inFlags)
{
  GrafPort* theWorld = ioWorld ? LiveWorld(*ioWorld) : nullptr;
  if (!theWorld) {
    SetQDError(kQTParamErr);
    return -1;
  }
  OSType theFormat = inDepth == 0 ? theWorld->mPixels->mFormat : static_cast<OSType>(inDepth);
  Rect theBounds = inBounds ? *inBounds : theWorld->mPortRect;
  std::unique_ptr<WorldPixels> thePixels;
  QDErr theErr = MakePixels(theFormat, theBounds, inTable, thePixels);
  if (theErr != kQTNoErr) {
    SetQDError(theErr);
    return -1;
  }
  if (inFlags & kQTClipPix) {
    // The old pixels go to the new top left, one to one.
    MatrixRecord theShift = IdentityMatrix();
    theShift.matrix[2][0] = DoubleToFixed(theBounds.left - theWorld->mPortRect.left);
    theShift.matrix[2][1] = DoubleToFixed(theBounds.top - theWorld->mPortRect.top);
    PixelView theTo;
    theTo.mBase = thePixels->mBase;
    theTo.mRowBytes = thePixels->mRowBytes;
    theTo.mWidth = thePixels->mWidth;
    theTo.mHeight = thePixels->mHeight;
    theTo.mFormat = thePixels->mFormat;
    theTo.mTable = thePixels->mTable;
    theTo.mOrigin = {theBounds.top, theBounds.left};
    DrawPixels(ViewOfWorld(*theWorld), theWorld->mPortRect, theShift, theTo);
  }
  theWorld->mPixels = std::move(thePixels);
  theWorld->mPortRect = theBounds;
  DescribePixMap(*theWorld);
  SetQDError(kQTNoErr);
  return kQTReallocPix;
}

void DisposeGWorld(GWorldPtr inWorld)
{
  if (!gWorlds.Remove(inWorld)) {
    SetQDError(kQTParamErr);
    return;
  }
  {
    std::lock_guard theGuard(gWorldsLock);
    gWorldsByPixMap.erase(&inWorld->mPixMapPointer);
  }
  if (gCurrentPort == inWorld)
    gCurrentPort = nullptr;
  delete inWorld;
  SetQDError(kQTNoErr);
}

QDErr QDError()
{
  return gQDError;
}

void GetGWorld(CGrafPtr* outPort, GDHandle* outDevice)
{
  if (outPort)
    *outPort = gCurrentPort;
  if (outDevice)
    *outDevice = gCurrentDevice;
}

void SetGWorld(CGrafPtr inPort, GDHandle inDevice)
{
  if (inPort && !LiveWorld(inPort))
    return;
  gCurrentPort = inPort;
  gCurrentDevice = inDevice;
}

Rect* GetPortBounds(CGrafPtr inPort, Rect* outBounds)
{
  GrafPort* theWorld = LiveWorld(inPort);
  if (outBounds)
    *outBounds = theWorld ? theWorld->mPortRect : Rect{};
  return outBounds;
}

HDC GetPortHDC(GrafPtr inPort)
{
  GrafPort* theWorld = LiveWorld(inPort);
  return theWorld ? theWorld->mPixels->mDC : nullptr;
}

HBITMAP GetPortHBITMAP(GrafPtr inPort)
{
  GrafPort* theWorld = LiveWorld(inPort);
  return theWorld ? theWorld->mPixels->mBitmap : nullptr;
}

PixMapHandle GetGWorldPixMap(GWorldPtr inWorld)
{
  GrafPort* theWorld = LiveWorld(inWorld);
  return theWorld ? &theWorld->mPixMapPointer : nullptr;
}

Boolean LockPixels(PixMapHandle inPixMap)
{
  GrafPort* theWorld = WorldOfPixMap(inPixMap);
  if (!theWorld)
    return false;
  theWorld->mPixelsState |= kQTPixelsLocked;
  return true;
}

void UnlockPixels(PixMapHandle inPixMap)
{
  if (GrafPort* theWorld = WorldOfPixMap(inPixMap))
    theWorld->mPixelsState &= ~kQTPixelsLocked;
}

GWorldFlags GetPixelsState(PixMapHandle inPixMap)
{
  GrafPort* theWorld = WorldOfPixMap(inPixMap);
  return theWorld ? theWorld->mPixelsState : 0;
}

void SetPixelsState(PixMapHandle inPixMap, GWorldFlags inState)
{
  if (GrafPort* theWorld = WorldOfPixMap(inPixMap))
    theWorld->mPixelsState = inState;
}

Ptr GetPixBaseAddr(PixMapHandle inPixMap)
{
  GrafPort* theWorld = WorldOfPixMap(inPixMap);
  return theWorld ? reinterpret_cast<Ptr>(theWorld->mPixels->mBase) : nullptr;
}

SInt32 QTGetPixMapHandleRowBytes(PixMapHandle inPixMap)
{
  GrafPort* theWorld = WorldOfPixMap(inPixMap);
  return theWorld ? static_cast<SInt32>(theWorld->mPixels->mRowBytes) : 0;
}

SInt16 QTGetPixelSize(OSType inPixelFormat)
{
  return static_cast<SInt16>(BitsPerPixel(inPixelFormat));
}

GrafPort* CurrentPort()
{
  return LiveWorld(gCurrentPort);
}

void GetPenState(PenState* outState)
{
  if (outState)
    *outState = CurrentPort() ? CurrentPort()->mPen : kDefaultPen;
}

void SetPenState(const PenState* inState)
{
  if (inState && CurrentPort())
    CurrentPort()->mPen = *inState;
}

void GetForeColor(RGBColor* outColor)
{
  if (outColor)
    *outColor = CurrentPort() ? CurrentPort()->mFore : kBlack;
}

void GetBackColor(RGBColor* outColor)
{
  if (outColor)
    *outColor = CurrentPort() ? CurrentPort()->mBack : kWhite;
}

void RGBForeColor(const RGBColor* inColor)
{
  if (inColor && CurrentPort())
    CurrentPort()->mFore = *inColor;
}

void RGBBackColor(const RGBColor* inColor)
{
  if (inColor && CurrentPort())
    CurrentPort()->mBack = *inColor;
}

void OpColor(const RGBColor* inColor)
{
  if (inColor && CurrentPort())
    CurrentPort()->mOp = *inColor;
}

}  // namespace

bool PixMapView(PixMapHandle inPixMap, PixelView& outView)
{
  GrafPort* theWorld = WorldOfPixMap(inPixMap);
  if (!theWorld)
    return false;
  outView = ViewOfWorld(*theWorld);
  return true;
}

PixMapHandle PixMapOfWorld(GWorldPtr inWorld)
{
  return GetGWorldPixMap(inWorld);
}

void AddGWorldServices(QTServices& ioTable)
{
  ioTable.NewGWorld = NewGWorld;
  ioTable.NewGWorldFromHBITMAP = NewGWorldFromHBITMAP;
  ioTable.UpdateGWorld = UpdateGWorld;
  ioTable.DisposeGWorld = DisposeGWorld;
  ioTable.QDError = QDError;
  ioTable.GetGWorld = GetGWorld;
  ioTable.SetGWorld = SetGWorld;
  ioTable.GetPortBounds = GetPortBounds;
  ioTable.GetPortHDC = GetPortHDC;
  ioTable.GetPortHBITMAP = GetPortHBITMAP;
  ioTable.GetGWorldPixMap = GetGWorldPixMap;
  ioTable.LockPixels = LockPixels;
  ioTable.UnlockPixels = UnlockPixels;
  ioTable.GetPixelsState = GetPixelsState;
  ioTable.SetPixelsState = SetPixelsState;
  ioTable.GetPixBaseAddr = GetPixBaseAddr;
  ioTable.QTGetPixMapHandleRowBytes = QTGetPixMapHandleRowBytes;
  ioTable.QTGetPixelSize = QTGetPixelSize;
  ioTable.GetPenState = GetPenState;
  ioTable.SetPenState = SetPenState;
  ioTable.GetForeColor = GetForeColor;
  ioTable.GetBackColor = GetBackColor;
  ioTable.RGBForeColor = RGBForeColor;
  ioTable.RGBBackColor = RGBBackColor;
  ioTable.OpColor = OpColor;
}
