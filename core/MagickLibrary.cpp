// The MagickCore calls of the codec (see MagickLibrary.h), and the library's
// loading.

#include "core/MagickLibrary.h"

#include "core/EventLog.h"
#include "platform/base/LazyEntry.h"

#include <magick/MagickCore.h>
#include <zlib.h>

#include <dlfcn.h>

#include <atomic>
#include <string>

namespace {

// The library the headers describe: interface 6, 16-bit quanta, no HDRI.
static_assert(MagickLibInterface == 6 && MAGICKCORE_QUANTUM_DEPTH == 16 && MAGICKCORE_HDRI_ENABLE == 0);
constexpr const char* kLibraryName = "libMagickCore-6.Q16.so.6";

std::atomic<void*> gLibrary{nullptr};

// MagickCore's own entry point of the name, or of a library it depends on,
// MagickCore loaded first; null when it cannot be loaded.
void* MagickEntry(const char* inName)
{
  return LoadMagickCore() ? dlsym(gLibrary.load(std::memory_order_acquire), inName) : nullptr;
}

}  // namespace

#define TL_MAGICK_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(MagickEntry, inReturn, inName, inParameters, inArguments)

// The calls of the codec, with MagickCore 6.9's prototypes, and zlib's
// inflation, which MagickCore brings with it.
#define TL_MAGICK_ENTRIES(X) \
  X(CacheView*, AcquireAuthenticCacheView, (const Image* a, ExceptionInfo* b), (a, b)) \
  X(ExceptionInfo*, AcquireExceptionInfo, (void), ()) \
  X(Image*, AcquireImage, (const ImageInfo* a), (a)) \
  X(CacheView*, AcquireVirtualCacheView, (const Image* a, ExceptionInfo* b), (a, b)) \
  X(Image*, BlobToImage, (const ImageInfo* a, const void* b, const size_t c, ExceptionInfo* d), (a, b, c, d)) \
  X(void, ClearMagickException, (ExceptionInfo* a), (a)) \
  X(Image*, CloneImage, (const Image* a, const size_t b, const size_t c, const MagickBooleanType d, \
                         ExceptionInfo* e), (a, b, c, d, e)) \
  X(ImageInfo*, CloneImageInfo, (const ImageInfo* a), (a)) \
  X(char*, CloneString, (char** a, const char* b), (a, b)) \
  X(size_t, CopyMagickString, (char* a, const char* b, const size_t c), (a, b, c)) \
  X(CacheView*, DestroyCacheView, (CacheView* a), (a)) \
  X(ExceptionInfo*, DestroyExceptionInfo, (ExceptionInfo* a), (a)) \
  X(ImageInfo*, DestroyImageInfo, (ImageInfo* a), (a)) \
  X(Image*, DestroyImageList, (Image* a), (a)) \
  X(const IndexPacket*, GetCacheViewVirtualIndexQueue, (const CacheView* a), (a)) \
  X(const PixelPacket*, GetCacheViewVirtualPixels, (const CacheView* a, const ssize_t b, const ssize_t c, \
                                                    const size_t d, const size_t e, ExceptionInfo* f), \
    (a, b, c, d, e, f)) \
  X(EncodeImageHandler*, GetImageEncoder, (const MagickInfo* a), (a)) \
  X(Image*, GetImageFromList, (const Image* a, const ssize_t b), (a, b)) \
  X(size_t, GetImageListLength, (const Image* a), (a)) \
  X(MagickBooleanType, GetImageMagick, (const unsigned char* a, const size_t b, char* c), (a, b, c)) \
  X(const StringInfo*, GetImageProfile, (const Image* a, const char* b), (a, b)) \
  X(const MagicInfo*, GetMagicInfo, (const unsigned char* a, const size_t b, ExceptionInfo* c), (a, b, c)) \
  X(const char*, GetMagicName, (const MagicInfo* a), (a)) \
  X(const char*, GetMagickDescription, (const MagickInfo* a), (a)) \
  X(const MagickInfo*, GetMagickInfo, (const char* a, ExceptionInfo* b), (a, b)) \
  X(const MagickInfo**, GetMagickInfoList, (const char* a, size_t* b, ExceptionInfo* c), (a, b, c)) \
  X(MagickSizeType, GetMagickResourceLimit, (const ResourceType a), (a)) \
  X(Image*, GetNextImageInList, (const Image* a), (a)) \
  X(unsigned char*, GetStringInfoDatum, (const StringInfo* a), (a)) \
  X(size_t, GetStringInfoLength, (const StringInfo* a), (a)) \
  X(unsigned char*, ImageToBlob, (const ImageInfo* a, Image* b, size_t* c, ExceptionInfo* d), (a, b, c, d)) \
  X(int, inflate, (z_streamp a, int b), (a, b)) \
  X(int, inflateEnd, (z_streamp a), (a)) \
  X(int, inflateInit_, (z_streamp a, const char* b, int c), (a, b, c)) \
  X(void, InheritException, (ExceptionInfo* a, const ExceptionInfo* b), (a, b)) \
  X(MagickBooleanType, IsRightsAuthorized, (const PolicyDomain a, const PolicyRights b, const char* c), (a, b, c)) \
  X(void, MagickCoreGenesis, (const char* a, const MagickBooleanType b), (a, b)) \
  X(PixelPacket*, QueueCacheViewAuthenticPixels, (CacheView* a, const ssize_t b, const ssize_t c, const size_t d, \
                                                  const size_t e, ExceptionInfo* f), (a, b, c, d, e, f)) \
  X(Image*, ReadStream, (const ImageInfo* a, StreamHandler b, ExceptionInfo* c), (a, b, c)) \
  X(void*, RelinquishMagickMemory, (void* a), (a)) \
  X(ErrorHandler, SetErrorHandler, (ErrorHandler a), (a)) \
  X(FatalErrorHandler, SetFatalErrorHandler, (FatalErrorHandler a), (a)) \
  X(void, SetImageInfoBlob, (ImageInfo* a, const void* b, const size_t c), (a, b, c)) \
  X(MagickBooleanType, SetImageExtent, (Image* a, const size_t b, const size_t c), (a, b, c)) \
  X(WarningHandler, SetWarningHandler, (WarningHandler a), (a)) \
  X(MagickBooleanType, SyncCacheViewAuthenticPixels, (CacheView* a, ExceptionInfo* b), (a, b)) \
  X(MagickBooleanType, ThrowException, (ExceptionInfo* a, const ExceptionType b, const char* c, const char* d), \
    (a, b, c, d)) \
  X(MagickBooleanType, TransformImageColorspace, (Image* a, const ColorspaceType b), (a, b))

TL_MAGICK_ENTRIES(TL_MAGICK_ENTRY)

bool LoadMagickCore()
{
  static const bool gLoaded = [] {
    std::string theWhy;
    void* theLibrary = OpenLibraryWithEntries(kLibraryName, {TL_MAGICK_ENTRIES(TL_LAZY_ENTRY_NAME)}, theWhy);
    if (!theLibrary) {
      LogEvent("ImageMagick cannot be loaded: %s", EVENTLOG_ERROR_TYPE, theWhy.c_str());
      return false;
    }
    gLibrary.store(theLibrary, std::memory_order_release);
    return true;
  }();
  return gLoaded;
}
