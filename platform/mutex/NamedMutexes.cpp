#include "platform/mutex/NamedMutexes.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/kernel/HandleTable.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

// Marks a set-up object; a new layout gets a new mark.
constexpr std::uint32_t kReadyMark = 0x544C4D31u;  // "TLM1"

struct SharedBlock {
  std::atomic<std::uint32_t> mReady;
  pthread_mutex_t mMutex;
};

class MutexObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kMutex;
  explicit MutexObject(SharedBlock* inBlock) : KernelObject(kType), mBlock(inBlock) {}

  DWORD Wait(DWORD inMilliseconds) override
  {
    pthread_mutex_t* theMutex = &mBlock->mMutex;
    int theResult = 0;
    if (inMilliseconds == INFINITE) {
      theResult = pthread_mutex_lock(theMutex);
    } else if (inMilliseconds == 0) {
      theResult = pthread_mutex_trylock(theMutex);
    } else {
      timespec theDeadline{};
      clock_gettime(CLOCK_MONOTONIC, &theDeadline);
      theDeadline.tv_sec += static_cast<time_t>(inMilliseconds / 1000);
      theDeadline.tv_nsec += static_cast<long>(inMilliseconds % 1000) * 1000000;
      if (theDeadline.tv_nsec >= 1000000000) {
        theDeadline.tv_sec += 1;
        theDeadline.tv_nsec -= 1000000000;
      }
      theResult = pthread_mutex_clocklock(theMutex, CLOCK_MONOTONIC, &theDeadline);
    }
    switch (theResult) {
      case 0:
        return WAIT_OBJECT_0;
      case EOWNERDEAD:
        // The owner ended holding it: the lock is ours, and usable again.
        pthread_mutex_consistent(theMutex);
        return WAIT_ABANDONED;
      case EBUSY:
      case ETIMEDOUT:
        return WAIT_TIMEOUT;
      default:
        SetLastErrorFromErrno(theResult);
        return WAIT_FAILED;
    }
  }

  BOOL Release()
  {
    int theResult = pthread_mutex_unlock(&mBlock->mMutex);
    if (theResult == 0)
      return TRUE;
    SetLastError(theResult == EPERM ? ERROR_NOT_OWNER : WinErrorFromErrno(theResult));
    return FALSE;
  }

 private:
  SharedBlock* mBlock;  // mapped for the life of the process
};

std::string ResolvedHome()
{
  std::string theHome;
  struct stat theStatus{};
  if (const char* theValue = std::getenv("TESSALINE_HOME"); theValue && *theValue)
    theHome = theValue;
  else if (stat("/var/lib/tessaline", &theStatus) == 0 && S_ISDIR(theStatus.st_mode))
    theHome = "/var/lib/tessaline";
  else if (const char* theState = std::getenv("XDG_STATE_HOME"); theState && *theState)
    theHome = std::string(theState) + "/tessaline";
  else if (const char* theUserHome = std::getenv("HOME"); theUserHome && *theUserHome)
    theHome = std::string(theUserHome) + "/.local/state/tessaline";
  std::unique_ptr<char, decltype(&std::free)> theReal(realpath(theHome.c_str(), nullptr), &std::free);
  return theReal ? std::string(theReal.get()) : theHome;
}

std::uint64_t HashOf(const std::string& inText)
{
  std::uint64_t theHash = 0xCBF29CE484222325ull;  // FNV-1a
  for (unsigned char theByte : inText) {
    theHash ^= theByte;
    theHash *= 0x100000001B3ull;
  }
  return theHash;
}

// While the calling thread impersonates a user, shared objects are still made
// and opened as the process: a mutex made during one user's request must stay
// usable by every later one.
class ProcessFileIdentity {
 public:
  ProcessFileIdentity()
      : mUser(static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1)))),
        mGroup(static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))))
  {
    if (mUser != geteuid())
      setfsuid(geteuid());
    if (mGroup != getegid())
      setfsgid(getegid());
  }
  ~ProcessFileIdentity()
  {
    if (mGroup != getegid())
      setfsgid(mGroup);
    if (mUser != geteuid())
      setfsuid(mUser);
  }
  ProcessFileIdentity(const ProcessFileIdentity&) = delete;
  ProcessFileIdentity& operator=(const ProcessFileIdentity&) = delete;

 private:
  uid_t mUser;
  gid_t mGroup;
};

class Descriptor {
 public:
  explicit Descriptor(int inFd) : mFd(inFd) {}
  ~Descriptor()
  {
    if (mFd >= 0)
      close(mFd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return mFd; }

 private:
  int mFd;
};

// Sets up the mutex of a new (or half-made) object; the caller holds the
// object's file lock.
void SetUp(SharedBlock& inBlock, bool inInitialOwner)
{
  pthread_mutexattr_t theAttributes;
  pthread_mutexattr_init(&theAttributes);
  pthread_mutexattr_setpshared(&theAttributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&theAttributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&theAttributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&inBlock.mMutex, &theAttributes);
  pthread_mutexattr_destroy(&theAttributes);
  if (inInitialOwner)
    pthread_mutex_lock(&inBlock.mMutex);
  inBlock.mReady.store(kReadyMark, std::memory_order_release);
}

// In a machine-wide install TESSALINE_HOME is a setgid folder of the group
// that shares the installation; its mutexes belong to that group too.
void ShareWithHomeGroup(int inFd)
{
  struct stat theHome{};
  if (stat(ResolvedHome().c_str(), &theHome) == 0 && (theHome.st_mode & S_ISGID) &&
      fchown(inFd, static_cast<uid_t>(-1), theHome.st_gid) != 0) {
    // Not a member of that group: the mutex stays with the process's own group.
  }
}

// Maps the object, making and setting it up when needed. Answers 0 or a
// Windows error; outMade says whether this call set the mutex up.
DWORD MapObject(const std::string& inObjectName, bool inInitialOwner, SharedBlock*& outBlock, bool& outMade)
{
  ProcessFileIdentity theIdentity;
  int theFd = -1;
  bool theCreated = false;
  // An object removed between the two opens (by an administrator) is made again.
  for (int theTry = 0; theTry < 3 && theFd < 0; ++theTry) {
    theFd = shm_open(inObjectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0660);
    theCreated = theFd >= 0;
    if (theFd < 0 && errno == EEXIST)
      theFd = shm_open(inObjectName.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0);
    if (theFd < 0 && errno != ENOENT)
      return WinErrorFromErrno(errno);
  }
  if (theFd < 0)
    return ERROR_FILE_NOT_FOUND;
  Descriptor theObject(theFd);
  if (theCreated) {
    fchmod(theFd, 0660);  // not narrowed by the umask
    ShareWithHomeGroup(theFd);
  }

  while (flock(theFd, LOCK_EX) != 0)
    if (errno != EINTR)
      return WinErrorFromErrno(errno);
  struct stat theStatus{};
  if (fstat(theFd, &theStatus) != 0)
    return WinErrorFromErrno(errno);
  if (static_cast<std::size_t>(theStatus.st_size) < sizeof(SharedBlock) && ftruncate(theFd, sizeof(SharedBlock)) != 0)
    return WinErrorFromErrno(errno);
  void* theView = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, theFd, 0);
  if (theView == MAP_FAILED)
    return WinErrorFromErrno(errno);
  outBlock = static_cast<SharedBlock*>(theView);
  outMade = outBlock->mReady.load(std::memory_order_acquire) != kReadyMark;
  if (outMade)
    SetUp(*outBlock, inInitialOwner);
  flock(theFd, LOCK_UN);
  return ERROR_SUCCESS;
}

// The objects this process has mapped, by object name; kept for its life.
struct MappedObjects {
  std::mutex mLock;
  std::map<std::string, SharedBlock*> mBlocks;
};

MappedObjects& TheMappedObjects()
{
  static MappedObjects* gMapped = [] {
    pthread_atfork([] { TheMappedObjects().mLock.lock(); }, [] { TheMappedObjects().mLock.unlock(); },
                   [] { TheMappedObjects().mLock.unlock(); });
    return new MappedObjects;
  }();
  return *gMapped;
}

}  // namespace

std::string GetNamedMutexObjectName(LPCSTR inName)
{
  if (!inName || !*inName)
    return {};
  static const char kHex[] = "0123456789abcdef";
  std::string theName = "/tl4-";
  std::uint64_t theHash = HashOf(ResolvedHome());
  for (int theShift = 60; theShift >= 0; theShift -= 4)
    theName += kHex[(theHash >> theShift) & 0xF];
  theName += '-';
  for (const char* theChar = inName; *theChar; ++theChar) {
    unsigned char theByte = static_cast<unsigned char>(*theChar);
    bool thePlain = (theByte >= 'a' && theByte <= 'z') || (theByte >= 'A' && theByte <= 'Z') ||
                    (theByte >= '0' && theByte <= '9') || theByte == '.' || theByte == '_' || theByte == '-';
    if (thePlain) {
      theName += static_cast<char>(theByte);
    } else {
      theName += '%';
      theName += kHex[theByte >> 4];
      theName += kHex[theByte & 0xF];
    }
  }
  return theName.size() <= NAME_MAX ? theName : std::string();
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL inInitialOwner, LPCSTR inName)
{
  if (!inName || !*inName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string theObjectName = GetNamedMutexObjectName(inName);
  if (theObjectName.empty()) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }

  SharedBlock* theBlock = nullptr;
  bool theMade = false;
  {
    MappedObjects& theMapped = TheMappedObjects();
    std::lock_guard theGuard(theMapped.mLock);
    auto theFound = theMapped.mBlocks.find(theObjectName);
    if (theFound != theMapped.mBlocks.end()) {
      theBlock = theFound->second;
    } else {
      DWORD theError = MapObject(theObjectName, inInitialOwner != FALSE, theBlock, theMade);
      if (theError != ERROR_SUCCESS) {
        SetLastError(theError);
        return nullptr;
      }
      theMapped.mBlocks.emplace(theObjectName, theBlock);
    }
  }

  HANDLE theHandle = HandleTable::Add(std::make_shared<MutexObject>(theBlock));
  if (!theHandle) {
    if (theMade && inInitialOwner)
      pthread_mutex_unlock(&theBlock->mMutex);
    return nullptr;
  }
  SetLastError(theMade ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return theHandle;
}

BOOL ReleaseMutex(HANDLE inMutex)
{
  std::shared_ptr<MutexObject> theMutex = HandleTable::FindAs<MutexObject>(inMutex);
  return theMutex ? theMutex->Release() : FALSE;
}
