#include "host/PageRoot.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

// inPath resolved through realpath; empty when it does not exist.
std::string Resolved(const std::string& inPath)
{
  char theBuffer[PATH_MAX];
  return realpath(inPath.c_str(), theBuffer) ? std::string(theBuffer) : std::string();
}

// inPath (absolute) without "." and ".." parts or repeated slashes; false
// when ".." would climb above "/".
bool Normalised(std::string_view inPath, std::string& outPath)
{
  std::vector<std::string_view> theParts;
  while (!inPath.empty()) {
    std::size_t theEnd = inPath.find('/');
    std::string_view thePart = inPath.substr(0, theEnd);
    inPath.remove_prefix(theEnd == std::string_view::npos ? inPath.size() : theEnd + 1);
    if (thePart.empty() || thePart == ".")
      continue;
    if (thePart != "..") {
      theParts.push_back(thePart);
    } else if (theParts.empty()) {
      return false;
    } else {
      theParts.pop_back();
    }
  }
  outPath.clear();
  for (std::string_view thePart : theParts)
    outPath.append("/").append(thePart);
  if (outPath.empty())
    outPath.assign(1, '/');
  return true;
}

// inPath (absolute, normalised) with the symbolic links of its longest
// existing prefix resolved.
std::string ResolvedExistingPart(const std::string& inPath)
{
  std::string thePrefix = inPath;
  std::string theRest;
  for (;;) {
    std::string theResolved = Resolved(thePrefix);
    if (!theResolved.empty()) {
      if (theResolved == "/")
        theResolved.clear();
      theResolved += theRest;
      return theResolved.empty() ? "/" : theResolved;
    }
    std::size_t theSlash = thePrefix.rfind('/');
    theRest = thePrefix.substr(theSlash) + theRest;
    thePrefix = theSlash == 0 ? "/" : thePrefix.substr(0, theSlash);
  }
}

}  // namespace

PageRoot::PageRoot(const std::string& inRoot, const std::string& inPageFolder)
    : mRoot(Resolved(inRoot)), mPageFolder(Resolved(inPageFolder))
{
  if (mRoot.empty())
    mError = "the page root '" + inRoot + "' is not a folder";
  else if (mPageFolder.empty() || !Contains(mPageFolder))
    mError = "the page's folder '" + inPageFolder + "' is outside the page root";
}

bool PageRoot::Contains(const std::string& inPath) const
{
  if (mRoot == "/")
    return !inPath.empty() && inPath[0] == '/';
  return inPath.compare(0, mRoot.size(), mRoot) == 0 && (inPath.size() == mRoot.size() || inPath[mRoot.size()] == '/');
}

bool PageRoot::Map(std::string_view inName, std::string& outPath, std::string& outError) const
{
  outPath.clear();
  if (inName.find('\0') != std::string_view::npos) {
    outError = "a name with a NUL byte is no path";
    return false;
  }
  std::string theJoined = (!inName.empty() && inName[0] == '/' ? mRoot : mPageFolder + "/") + std::string(inName);
  std::string theNormal;
  if (!Normalised(theJoined, theNormal) || !Contains(theNormal) || !Contains(ResolvedExistingPart(theNormal))) {
    outError.assign(1, '\'').append(inName).append("' is outside the page root");
    return false;
  }
  outPath = ResolvedExistingPart(theNormal);
  return true;
}
