#include "platform/files/FileRoots.h"

#include "platform/base/WinError.h"
#include "platform/files/Files.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

namespace {

// As many links as the kernel follows on one path.
constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& inPath, std::size_t inSlash)
{
  return inSlash == std::string::npos ? "." : inSlash == 0 ? "/" : inPath.substr(0, inSlash);
}

// Whether names of a path that does not exist hold "..".
bool ClimbsOut(const std::string& inMissing)
{
  return inMissing.find("/../") != std::string::npos || inMissing.ends_with("/..");
}

// inPath, with ".", ".." and every link taken out: the realpath of
// its longest existing part, then the names that do not exist (yet). A last
// name that is a link to nothing counts as what it names. Empty when the path
// cannot be resolved, or names ".." below a folder that does not exist.
std::string Resolved(std::string inPath)
{
  std::string theMissing;  // from its '/'
  for (int theHops = 0; theHops <= kMaxLinkHops;) {
    char theBuffer[PATH_MAX];
    if (realpath(inPath.c_str(), theBuffer)) {
      if (ClimbsOut(theMissing))
        return {};
      std::string theResult = theBuffer;
      return theResult == "/" && !theMissing.empty() ? theMissing : theResult + theMissing;
    }
    if (inPath.empty() || inPath == "/" || inPath == ".")
      return {};
    const std::size_t theSlash = inPath.find_last_of('/');
    const std::string theFolder = FolderOf(inPath, theSlash);
    char theTarget[PATH_MAX];
    const ssize_t theLength = readlink(inPath.c_str(), theTarget, sizeof theTarget);
    if (theLength > 0 && theLength < static_cast<ssize_t>(sizeof theTarget)) {
      ++theHops;
      const std::string theLinked(theTarget, static_cast<std::size_t>(theLength));
      inPath = theLinked[0] == '/' ? theLinked : theFolder + "/" + theLinked;
      continue;
    }
    theMissing.insert(0, theSlash == std::string::npos ? "/" + inPath : inPath.substr(theSlash));
    inPath = theFolder;
  }
  return {};
}

bool Contains(const std::string& inFolder, const std::string& inPath)
{
  if (inFolder.empty())
    return false;
  return inFolder == "/" ||
         (inPath.compare(0, inFolder.size(), inFolder) == 0 &&
          (inPath.size() == inFolder.size() || inPath[inFolder.size()] == '/'));
}

std::string Variable(const char* inName, bool& outSet)
{
  const char* theValue = std::getenv(inName);
  outSet = theValue != nullptr;
  return theValue ? theValue : "";
}

struct Roots {
  std::string mSource;  // the variables they were resolved from
  bool mConfined = false;
  std::vector<std::string> mFolders;  // resolved
};

std::mutex gLock;
Roots gRoots;
std::set<std::string> gTemporaryFiles;  // resolved
thread_local std::vector<std::string> tGranted;  // resolved

// The roots the environment names now, resolved again only when it changed.
Roots CurrentRoots()
{
  bool theCgi = false;
  bool theListed = false;
  bool thePageRootSet = false;
  bool theDocumentRootSet = false;
  Variable("GATEWAY_INTERFACE", theCgi);
  const std::string theList = Variable("TESSALINE_FILE_ROOTS", theListed);
  const std::string thePageRoot = Variable("TESSALINE_PAGE_ROOT", thePageRootSet);
  const std::string theDocumentRoot = theCgi ? Variable("DOCUMENT_ROOT", theDocumentRootSet) : std::string();
  const std::string theSource = std::string(theCgi ? "c" : "-") + (theListed ? "l" : "-") + theList + '\0' +
                                thePageRoot + '\0' + theDocumentRoot;
  std::lock_guard theGuard(gLock);
  if (gRoots.mSource == theSource)
    return gRoots;
  Roots theRoots;
  theRoots.mSource = theSource;
  theRoots.mConfined = theCgi || theListed;
  std::vector<std::string> theNamed;
  if (!thePageRoot.empty())
    theNamed.push_back(thePageRoot);
  else if (!theDocumentRoot.empty())
    theNamed.push_back(theDocumentRoot);
  for (std::size_t theStart = 0; theStart <= theList.size();) {
    const std::size_t theEnd = std::min(theList.find(':', theStart), theList.size());
    if (theEnd > theStart)
      theNamed.push_back(theList.substr(theStart, theEnd - theStart));
    theStart = theEnd + 1;
  }
  // A root that does not exist holds nothing to reach.
  for (const std::string& theFolder : theNamed) {
    char theBuffer[PATH_MAX];
    if (realpath(theFolder.c_str(), theBuffer))
      theRoots.mFolders.emplace_back(theBuffer);
  }
  gRoots = theRoots;
  return theRoots;
}

std::string TemporaryFolder()
{
  char theFolder[MAX_PATH];
  const DWORD theLength = GetTempPathA(MAX_PATH, theFolder);
  return theLength > 0 && theLength < MAX_PATH ? Resolved(theFolder) : std::string();
}

}  // namespace

bool FilesConfined()
{
  return CurrentRoots().mConfined;
}

DWORD CheckFileRoots(const char* inPath, bool inNewTemporary)
{
  const Roots theRoots = CurrentRoots();
  if (!theRoots.mConfined || !inPath)
    return ERROR_SUCCESS;
  const std::string thePath = Resolved(inPath);
  if (thePath.empty())
    return ERROR_ACCESS_DENIED;
  auto theHolds = [&](const std::string& inFolder) { return Contains(inFolder, thePath); };
  if (std::any_of(theRoots.mFolders.begin(), theRoots.mFolders.end(), theHolds) ||
      std::any_of(tGranted.begin(), tGranted.end(), theHolds))
    return ERROR_SUCCESS;
  if (inNewTemporary && thePath.substr(0, thePath.find_last_of('/')) == TemporaryFolder())
    return ERROR_SUCCESS;
  std::lock_guard theGuard(gLock);
  return gTemporaryFiles.contains(thePath) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

void NoteTemporaryFile(const char* inPath)
{
  if (!FilesConfined())
    return;
  std::string thePath = Resolved(inPath);
  std::lock_guard theGuard(gLock);
  if (!thePath.empty())
    gTemporaryFiles.insert(std::move(thePath));
}

void ForgetTemporaryFile(const char* inPath)
{
  std::string thePath = Resolved(inPath);
  std::lock_guard theGuard(gLock);
  gTemporaryFiles.erase(thePath);
}

FileRootGrant::FileRootGrant(const std::string& inFolder)
{
  tGranted.push_back(Resolved(inFolder));
}

FileRootGrant::~FileRootGrant()
{
  tGranted.pop_back();
}
