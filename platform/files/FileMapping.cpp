// Read-only mappings and their views (declared in Files.h).

#include "platform/base/LastError.h"
#include "platform/files/FileObject.h"
#include "platform/files/Files.h"
#include "platform/kernel/HandleTable.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace {

constexpr std::uint64_t kAllocationGranularity = 65536;

// A mapping keeps its own descriptor of the file, so that it outlives the
// file's handle, as views outlive the mapping.
class MappingObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kFileMapping;
  MappingObject(int inFd, std::uint64_t inSize) : KernelObject(kType), mFd(inFd), mSize(inSize) {}
  ~MappingObject() override { close(mFd); }

  int GetDescriptor() const { return mFd; }
  std::uint64_t GetSize() const { return mSize; }

 private:
  int mFd;
  std::uint64_t mSize;
};

// Every view of the process, by address, with its length for unmapping.
struct Views {
  std::mutex mLock;
  std::map<const void*, std::size_t> mLengths;
};

Views& TheViews()
{
  static Views* gViews = new Views;
  return *gViews;
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE inFile, LPSECURITY_ATTRIBUTES, DWORD inProtect, DWORD inMaximumSizeHigh,
                          DWORD inMaximumSizeLow, LPCSTR inName)
{
  std::shared_ptr<FileObject> theFile = HandleTable::FindAs<FileObject>(inFile);
  if (!theFile)
    return nullptr;
  if (inProtect != PAGE_READONLY || inName)
    return Fail(ERROR_INVALID_PARAMETER, HANDLE{});
  if (!theFile->CanRead())
    return Fail(ERROR_ACCESS_DENIED, HANDLE{});
  struct stat theStatus{};
  if (fstat(theFile->GetDescriptor(), &theStatus) != 0)
    return Fail(WinErrorFromErrno(errno), HANDLE{});
  std::uint64_t theFileSize = static_cast<std::uint64_t>(theStatus.st_size);
  std::uint64_t theSize = JoinHalves(inMaximumSizeLow, inMaximumSizeHigh);
  if (theSize == 0)
    theSize = theFileSize;
  if (theSize == 0)
    return Fail(ERROR_FILE_INVALID, HANDLE{});
  if (theSize > theFileSize)  // a read-only mapping cannot grow the file
    return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{});
  int theFd = fcntl(theFile->GetDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (theFd < 0)
    return Fail(WinErrorFromErrno(errno), HANDLE{});
  SetLastError(ERROR_SUCCESS);
  return HandleTable::Add(std::make_shared<MappingObject>(theFd, theSize));
}

LPVOID MapViewOfFile(HANDLE inMapping, DWORD inDesiredAccess, DWORD inOffsetHigh, DWORD inOffsetLow,
                     SIZE_T inBytesToMap)
{
  std::shared_ptr<MappingObject> theMapping = HandleTable::FindAs<MappingObject>(inMapping);
  if (!theMapping)
    return nullptr;
  if (inDesiredAccess != FILE_MAP_READ)
    return Fail(ERROR_ACCESS_DENIED, LPVOID{});
  std::uint64_t theOffset = JoinHalves(inOffsetLow, inOffsetHigh);
  if (theOffset % kAllocationGranularity != 0)
    return Fail(ERROR_MAPPED_ALIGNMENT, LPVOID{});
  if (theOffset >= theMapping->GetSize())
    return Fail(ERROR_ACCESS_DENIED, LPVOID{});
  std::uint64_t theLength = inBytesToMap == 0 ? theMapping->GetSize() - theOffset : inBytesToMap;
  if (theLength > theMapping->GetSize() - theOffset)
    return Fail(ERROR_ACCESS_DENIED, LPVOID{});
  void* theView = mmap(nullptr, static_cast<std::size_t>(theLength), PROT_READ, MAP_SHARED,
                       theMapping->GetDescriptor(), static_cast<off_t>(theOffset));
  if (theView == MAP_FAILED)
    return Fail(WinErrorFromErrno(errno), LPVOID{});
  Views& theViews = TheViews();
  std::lock_guard theGuard(theViews.mLock);
  theViews.mLengths[theView] = static_cast<std::size_t>(theLength);
  return theView;
}

BOOL UnmapViewOfFile(LPCVOID inBaseAddress)
{
  std::size_t theLength = 0;
  {
    Views& theViews = TheViews();
    std::lock_guard theGuard(theViews.mLock);
    auto theView = theViews.mLengths.find(inBaseAddress);
    if (theView == theViews.mLengths.end())
      return Fail(ERROR_INVALID_ADDRESS, FALSE);
    theLength = theView->second;
    theViews.mLengths.erase(theView);
  }
  munmap(const_cast<void*>(inBaseAddress), theLength);
  return TRUE;
}
