#include "platform/base/TessalineHome.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr const char* kSharedHome = "/var/lib/tessaline";
constexpr mode_t kNamedHomeMode = 0770;
constexpr mode_t kPrivateHomeMode = 0700;
constexpr mode_t kSharedFileMode = 0660;
constexpr mode_t kSharedFolderMode = 0770;

enum class HomeKind { kNamed, kShared, kPrivate };

struct HomeChoice {
  HomeKind mKind = HomeKind::kNamed;
  std::string mPath;  // empty when no home can be named at all
};

bool IsFolder(const std::string& inPath)
{
  struct stat theInfo {};
  return stat(inPath.c_str(), &theInfo) == 0 && S_ISDIR(theInfo.st_mode);
}

std::string WithoutTrailingSlashes(std::string inPath)
{
  while (inPath.size() > 1 && inPath.back() == '/')
    inPath.pop_back();
  return inPath;
}

// The user's home folder: $HOME, else the password database.
std::string UserHome()
{
  const char* theHome = std::getenv("HOME");
  if (theHome != nullptr && theHome[0] == '/')
    return theHome;
  long theSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> theBuffer(theSize > 0 ? static_cast<std::size_t>(theSize) : 16384);
  passwd theEntry{};
  passwd* theFound = nullptr;
  if (getpwuid_r(geteuid(), &theEntry, theBuffer.data(), theBuffer.size(), &theFound) != 0 || theFound == nullptr ||
      theFound->pw_dir == nullptr || theFound->pw_dir[0] != '/')
    return {};
  return theFound->pw_dir;
}

// Which home applies, without making anything.
HomeChoice ChooseHome()
{
  const char* theNamed = std::getenv("TESSALINE_HOME");
  if (theNamed != nullptr && theNamed[0] != '\0') {
    std::error_code theError;
    std::filesystem::path theAbsolute = std::filesystem::absolute(theNamed, theError);
    if (theError)
      return {HomeKind::kNamed, {}};
    return {HomeKind::kNamed, WithoutTrailingSlashes(theAbsolute.string())};
  }
  if (IsFolder(kSharedHome))
    return {HomeKind::kShared, kSharedHome};
  std::string theState;
  const char* theStateHome = std::getenv("XDG_STATE_HOME");
  if (theStateHome != nullptr && theStateHome[0] == '/') {
    theState = theStateHome;
  } else {
    std::string theUserHome = UserHome();
    if (theUserHome.empty())
      return {HomeKind::kPrivate, {}};
    theState = WithoutTrailingSlashes(theUserHome) + "/.local/state";
  }
  return {HomeKind::kPrivate, WithoutTrailingSlashes(theState) + "/tessaline"};
}

// Makes one folder unless it exists; ERROR_SUCCESS or the Windows error.
DWORD MakeFolder(const std::string& inPath, mode_t inMode)
{
  if (mkdir(inPath.c_str(), inMode) == 0)
    return ERROR_SUCCESS;
  int theErrno = errno;
  if (theErrno == EEXIST)
    return IsFolder(inPath) ? ERROR_SUCCESS : ERROR_DIRECTORY;
  if (theErrno == ENOENT)
    return ERROR_PATH_NOT_FOUND;
  return WinErrorFromErrno(theErrno);
}

// Makes the folder and every missing folder above it.
DWORD MakeFolders(const std::string& inPath, mode_t inMode)
{
  for (std::size_t theSlash = inPath.find('/', 1); theSlash != std::string::npos;
       theSlash = inPath.find('/', theSlash + 1)) {
    std::string theParent = inPath.substr(0, theSlash);
    if (IsFolder(theParent))
      continue;
    if (DWORD theError = MakeFolder(theParent, inMode); theError != ERROR_SUCCESS)
      return theError;
  }
  return MakeFolder(inPath, inMode);
}

}  // namespace

DWORD GetTessalineHome(std::string& outPath)
{
  outPath.clear();
  HomeChoice theChoice = ChooseHome();
  if (theChoice.mPath.empty())
    return ERROR_PATH_NOT_FOUND;
  if (!IsFolder(theChoice.mPath)) {
    DWORD theError = theChoice.mKind == HomeKind::kPrivate ? MakeFolders(theChoice.mPath, kPrivateHomeMode)
                                                            : MakeFolder(theChoice.mPath, kNamedHomeMode);
    if (theError != ERROR_SUCCESS)
      return theError;
  }
  outPath = std::move(theChoice.mPath);
  return ERROR_SUCCESS;
}

std::string NameTessalineHome()
{
  return ChooseHome().mPath;
}

bool IsTessalineHomePrivate()
{
  return ChooseHome().mKind == HomeKind::kPrivate;
}

std::string GetTessalineHomeWarning()
{
  HomeChoice theChoice = ChooseHome();
  if (theChoice.mKind != HomeKind::kPrivate)
    return {};
  return "Warning: the Tessaline store " + (theChoice.mPath.empty() ? std::string("of this user") : theChoice.mPath) +
         " is private to this user: other users, such as the web server's, do not see its registry, preferences, "
         "logs or events. Set TESSALINE_HOME, or create " +
         kSharedHome + ", to share one store.";
}

DWORD ShareWithStoreGroup(const char* inPath)
{
  struct stat theInfo {};
  if (inPath == nullptr || lstat(inPath, &theInfo) != 0)
    return inPath == nullptr ? ERROR_INVALID_PARAMETER : WinErrorFromErrno(errno);
  const bool theFolder = S_ISDIR(theInfo.st_mode);
  // A second name could be another file of ours put in its place.
  if (theInfo.st_uid != geteuid() || !(theFolder || (S_ISREG(theInfo.st_mode) && theInfo.st_nlink == 1)))
    return ERROR_ACCESS_DENIED;
  const mode_t theMode = theFolder ? kSharedFolderMode | (theInfo.st_mode & S_ISGID) : kSharedFileMode;
  if ((theInfo.st_mode & 07777) == theMode)
    return ERROR_SUCCESS;
  return fchmodat(AT_FDCWD, inPath, theMode, AT_SYMLINK_NOFOLLOW) == 0 ? ERROR_SUCCESS : WinErrorFromErrno(errno);
}
