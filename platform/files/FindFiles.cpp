// Directory searches (declared in Files.h).

#include "platform/base/LastError.h"
#include "platform/files/FileRoots.h"
#include "platform/files/Files.h"
#include "platform/kernel/HandleTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

class FindSearch : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kFindSearch;
  FindSearch(DIR* inFolder, std::string inPattern)
      : KernelObject(kType), mFolder(inFolder), mPattern(std::move(inPattern))
  {
  }
  ~FindSearch() override { closedir(mFolder); }

  // The next matching entry; false at the end.
  bool Next(WIN32_FIND_DATAA& outData)
  {
    while (dirent* theEntry = readdir(mFolder)) {
      std::size_t theLength = std::strlen(theEntry->d_name);
      if (theLength >= MAX_PATH || fnmatch(mPattern.c_str(), theEntry->d_name, FNM_NOESCAPE | FNM_CASEFOLD) != 0)
        continue;
      Describe(theEntry->d_name, outData);
      return true;
    }
    return false;
  }

 private:
  static FILETIME ToFileTime(const timespec& inTime)
  {
    // 100-ns intervals since 1601-01-01.
    std::uint64_t theTicks = (static_cast<std::uint64_t>(inTime.tv_sec) + 11644473600ull) * 10000000ull +
                             static_cast<std::uint64_t>(inTime.tv_nsec) / 100;
    return {static_cast<DWORD>(theTicks), static_cast<DWORD>(theTicks >> 32)};
  }

  void Describe(const char* inName, WIN32_FIND_DATAA& outData)
  {
    outData = WIN32_FIND_DATAA{};
    std::strcpy(outData.cFileName, inName);
    struct stat theStatus{};
    // A link is described by what it leads to; a broken one as itself.
    if (fstatat(dirfd(mFolder), inName, &theStatus, 0) != 0 &&
        fstatat(dirfd(mFolder), inName, &theStatus, AT_SYMLINK_NOFOLLOW) != 0)
      return;
    outData.dwFileAttributes = S_ISDIR(theStatus.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    std::uint64_t theSize = S_ISDIR(theStatus.st_mode) ? 0 : static_cast<std::uint64_t>(theStatus.st_size);
    outData.nFileSizeHigh = static_cast<DWORD>(theSize >> 32);
    outData.nFileSizeLow = static_cast<DWORD>(theSize);
    outData.ftLastWriteTime = ToFileTime(theStatus.st_mtim);
    outData.ftLastAccessTime = ToFileTime(theStatus.st_atim);
    outData.ftCreationTime = ToFileTime(theStatus.st_ctim);
  }

  DIR* mFolder;
  std::string mPattern;
};

}  // namespace

HANDLE FindFirstFileA(LPCSTR inFileName, WIN32_FIND_DATAA* outFindData)
{
  if (!inFileName || !outFindData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string thePath = inFileName;
  std::string::size_type theSlash = thePath.find_last_of('/');
  std::string theFolder = theSlash == std::string::npos ? "." : theSlash == 0 ? "/" : thePath.substr(0, theSlash);
  std::string thePattern = theSlash == std::string::npos ? thePath : thePath.substr(theSlash + 1);
  if (thePattern == "*.*")
    thePattern = "*";

  if (DWORD theError = CheckFileRoots(theFolder.c_str()); theError != ERROR_SUCCESS) {
    SetLastError(theError);
    return INVALID_HANDLE_VALUE;
  }
  DIR* theFolderStream = opendir(theFolder.c_str());
  if (!theFolderStream) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto theSearch = std::make_shared<FindSearch>(theFolderStream, std::move(thePattern));
  if (!theSearch->Next(*outFindData)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE theHandle = HandleTable::Add(std::move(theSearch));
  return theHandle ? theHandle : INVALID_HANDLE_VALUE;
}

BOOL FindNextFileA(HANDLE inFindFile, WIN32_FIND_DATAA* outFindData)
{
  std::shared_ptr<FindSearch> theSearch = HandleTable::FindAs<FindSearch>(inFindFile);
  if (!theSearch)
    return FALSE;
  if (!outFindData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  errno = 0;
  if (theSearch->Next(*outFindData))
    return TRUE;
  SetLastError(errno == 0 ? ERROR_NO_MORE_FILES : WinErrorFromErrno(errno));
  return FALSE;
}

BOOL FindClose(HANDLE inFindFile)
{
  return HandleTable::Remove(inFindFile, KernelObjectType::kFindSearch) ? TRUE : FALSE;
}
