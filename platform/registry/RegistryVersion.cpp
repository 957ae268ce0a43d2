#include "platform/registry/RegistryVersion.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace {

constexpr mode_t kCounterMode = 0640;
constexpr off_t kCounterSize = sizeof(std::uint64_t);

LONG ErrorOf(int inErrno)
{
  return static_cast<LONG>(WinErrorFromErrno(inErrno));
}

// A counter just made gets the database's mode, owner and group, whatever the
// umask and whoever made it.
LONG MakeLikeDatabase(int inFile, const std::string& inHome)
{
  struct stat theDatabase {};
  if (stat((inHome + "/registry.db").c_str(), &theDatabase) != 0)
    return ErrorOf(errno);
  struct stat theCounter {};
  if (fchmod(inFile, kCounterMode) != 0 || fstat(inFile, &theCounter) != 0)
    return ErrorOf(errno);
  if ((theCounter.st_uid != theDatabase.st_uid || theCounter.st_gid != theDatabase.st_gid) &&
      fchown(inFile, theDatabase.st_uid, theDatabase.st_gid) != 0)
    return ErrorOf(errno);
  return ERROR_SUCCESS;
}

// The counter's file, open for writing (made when missing) or for reading.
int OpenCounter(const std::string& inHome, bool inWriter, LONG& outError)
{
  const std::string thePath = inHome + "/registry.version";
  int theFile = -1;
  if (inWriter) {
    theFile = open(thePath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCounterMode);
    if (theFile >= 0) {
      if (outError = MakeLikeDatabase(theFile, inHome); outError != ERROR_SUCCESS) {
        close(theFile);
        return -1;
      }
      return theFile;
    }
    if (errno == EEXIST)
      theFile = open(thePath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  } else {
    theFile = open(thePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  }
  outError = theFile >= 0 ? ERROR_SUCCESS : ErrorOf(errno);
  return theFile;
}

}  // namespace

RegistryVersion::RegistryVersion(RegistryVersion&& ioOther) noexcept
  : mCounter(std::exchange(ioOther.mCounter, nullptr)), mWritable(ioOther.mWritable), mTrusted(ioOther.mTrusted)
{
}

RegistryVersion& RegistryVersion::operator=(RegistryVersion&& ioOther) noexcept
{
  if (this != &ioOther) {
    Unmap();
    mCounter = std::exchange(ioOther.mCounter, nullptr);
    mWritable = ioOther.mWritable;
    mTrusted = ioOther.mTrusted;
  }
  return *this;
}

RegistryVersion::~RegistryVersion()
{
  Unmap();
}

LONG RegistryVersion::Map(const std::string& inHome, uid_t inStoreOwner, bool inWriter)
{
  Unmap();
  LONG theError = ERROR_SUCCESS;
  const int theFile = OpenCounter(inHome, inWriter, theError);
  if (theFile < 0)
    return theError;
  struct stat theInfo {};
  if (fstat(theFile, &theInfo) != 0)
    theError = ErrorOf(errno);
  else if (!S_ISREG(theInfo.st_mode))
    theError = ERROR_INVALID_DATA;
  // A writer that comes before the counter's maker has sized it sizes it
  // itself; a reader leaves a short file unmapped.
  else if (theInfo.st_size < kCounterSize && (!inWriter || ftruncate(theFile, kCounterSize) != 0))
    theError = inWriter ? ErrorOf(errno) : ERROR_INVALID_DATA;
  void* theMapping = MAP_FAILED;
  if (theError == ERROR_SUCCESS) {
    theMapping = mmap(nullptr, kCounterSize, inWriter ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, theFile, 0);
    if (theMapping == MAP_FAILED)
      theError = ErrorOf(errno);
  }
  close(theFile);
  if (theError != ERROR_SUCCESS)
    return theError;
  mCounter = static_cast<std::uint64_t*>(theMapping);
  mWritable = inWriter;
  mTrusted = (theInfo.st_uid == 0 || theInfo.st_uid == inStoreOwner) && (theInfo.st_mode & 022) == 0;
  return ERROR_SUCCESS;
}

void RegistryVersion::Unmap()
{
  if (mCounter != nullptr)
    munmap(mCounter, kCounterSize);
  mCounter = nullptr;
  mWritable = false;
  mTrusted = false;
}

std::optional<std::uint64_t> RegistryVersion::Trusted() const
{
  if (mCounter == nullptr || !mTrusted)
    return std::nullopt;
  return std::atomic_ref<std::uint64_t>(*mCounter).load(std::memory_order_acquire);
}

void RegistryVersion::Bump() const
{
  std::atomic_ref<std::uint64_t>(*mCounter).fetch_add(1, std::memory_order_acq_rel);
}
