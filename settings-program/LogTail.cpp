#include "settings-program/LogTail.h"

#include <algorithm>
#include <fstream>

namespace {

// The most one read takes; the rest of a large file follows at later reads.
constexpr std::uint64_t kMaxRead = std::uint64_t{16} << 20;

// The file's length; 0 when it cannot be opened.
std::uint64_t LengthOf(std::ifstream& inFile)
{
  if (!inFile.seekg(0, std::ios::end))
    return 0;
  const std::streamoff theLength = inFile.tellg();
  return theLength > 0 ? static_cast<std::uint64_t>(theLength) : 0;
}

// The byte at inOffset, or EOF.
int ByteAt(std::ifstream& inFile, std::uint64_t inOffset)
{
  inFile.clear();
  return inFile.seekg(static_cast<std::streamoff>(inOffset)) ? inFile.get() : std::char_traits<char>::eof();
}

}  // namespace

LogTail LogTail::Read(const std::string& inPath, std::uint64_t& ioConsumed)
{
  LogTail theTail;
  std::ifstream theFile(inPath, std::ios::binary);
  const std::uint64_t theLength = LengthOf(theFile);
  // What was taken last ended with a line feed. A shorter file, or another
  // byte there, means the library emptied the file (which may have grown
  // again since): it is read again from its start.
  if (ioConsumed > 0 && (ioConsumed > theLength || ByteAt(theFile, ioConsumed - 1) != '\n')) {
    theTail.mRestarted = true;
    ioConsumed = 0;
  }
  if (ioConsumed == theLength)
    return theTail;

  std::string theBytes(std::min(theLength - ioConsumed, kMaxRead), '\0');
  theFile.clear();
  theFile.seekg(static_cast<std::streamoff>(ioConsumed));
  theFile.read(theBytes.data(), static_cast<std::streamsize>(theBytes.size()));
  theBytes.resize(static_cast<std::size_t>(theFile.gcount()));

  const std::size_t theLineEnd = theBytes.rfind('\n');
  if (theLineEnd == std::string::npos)
    return theTail;
  theBytes.resize(theLineEnd + 1);
  const bool theContinues = ioConsumed > 0;
  ioConsumed += theBytes.size();
  std::erase(theBytes, '\r');
  if (theContinues)
    theBytes.insert(theBytes.begin(), '\n');
  theTail.mText = std::move(theBytes);
  return theTail;
}
