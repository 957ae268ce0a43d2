#pragma once
// The page root: the folder below which pages reach files.
//
// A web server's set-up names it in TESSALINE_PAGE_ROOT (a CGI server's
// DOCUMENT_ROOT stands in when it is unset); on the command line without
// TESSALINE_PAGE_ROOT it is the page's own folder. Pages turn the names they
// are given into paths with Server.MapPath, which answers only paths below
// the root: "../x", "/../x" and a symbolic link that leads out of the root
// are refused, never followed.

#include <string>
#include <string_view>

class PageRoot {
public:
  // inRoot and inPageFolder need not be resolved; inPageFolder is where
  // relative names start. Fails (IsValid false, Error set) when the root is
  // no folder or the page folder lies outside it.
  PageRoot(const std::string& inRoot, const std::string& inPageFolder);

  bool IsValid() const { return mError.empty(); }
  const std::string& Error() const { return mError; }
  const std::string& Path() const { return mRoot; }

  // The absolute path of inName: from the root when it starts with '/', else
  // from the page's folder, with "." and ".." taken out and symbolic links
  // of its existing part resolved. False, with the reason in outError, for a
  // name outside the root or with a NUL byte.
  bool Map(std::string_view inName, std::string& outPath, std::string& outError) const;

  // True when inPath (absolute, resolved) is the root or lies below it.
  bool Contains(const std::string& inPath) const;

private:
  std::string mRoot;        // resolved
  std::string mPageFolder;  // resolved
  std::string mError;
};
