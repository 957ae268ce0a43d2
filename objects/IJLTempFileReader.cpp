#include "objects/IJLTempFileReader.h"

#include "core/EventLog.h"
#include "platform/base/LastError.h"
#include "platform/files/Files.h"

namespace {

constexpr const char* kCannotDelete = "IJL unable to delete temporary file";

LONG TempFileError(DWORD inError)
{
  return static_cast<LONG>(inError | 0x80040000u);
}

}  // namespace

LONG IJLWriteTempFile(const void* inBytes, LONG inLength, std::string& outPath, HANDLE& outHandle)
{
  outPath.clear();
  outHandle = INVALID_HANDLE_VALUE;
  if (!inBytes || inLength < 0)
    return TempFileError(ERROR_INVALID_PARAMETER);
  char theFolder[MAX_PATH];
  const DWORD theFolderLength = GetTempPathA(MAX_PATH, theFolder);
  if (theFolderLength == 0 || theFolderLength >= MAX_PATH)
    return TempFileError(theFolderLength ? ERROR_BUFFER_OVERFLOW : GetLastError());
  char theName[MAX_PATH];
  if (GetTempFileNameA(theFolder, "ijl", 0, theName) == 0)
    return TempFileError(GetLastError());
  HANDLE theFile = CreateFileA(theName, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY, nullptr);
  DWORD theWritten = 0;
  if (theFile == INVALID_HANDLE_VALUE ||
      !WriteFile(theFile, inBytes, static_cast<DWORD>(inLength), &theWritten, nullptr) ||
      theWritten != static_cast<DWORD>(inLength)) {
    const DWORD theError = GetLastError();
    if (theFile != INVALID_HANDLE_VALUE)
      CloseHandle(theFile);
    DeleteFileA(theName);
    return TempFileError(theError);
  }
  outPath = theName;
  outHandle = theFile;
  return 0;
}

IJLTempFileReader::~IJLTempFileReader()
{
  DeleteTempFile();
}

void IJLTempFileReader::ReadHeader()
{
  if (!HeaderRead() && !HasError())
    IJLReader::ReadHeader();
  if (HasError() || !ReadsData() || (FrameWidth() + 1) % 256 != 0)
    return;
  DeleteTempFile();
  if (IJLWriteTempFile(GetData(), GetDataLength(), mTempPath, mFileH) < 0) {
    SetError("IJL could not create temporary file");
    return;
  }
  Restart();
  SetData(nullptr, 0);
  SetPath(mTempPath.c_str());
  IJLReader::ReadHeader();
}

void IJLTempFileReader::ReadImage()
{
  IJLReader::ReadImage();
  DeleteTempFile();
}

void IJLTempFileReader::DeleteTempFile()
{
  if (mFileH == INVALID_HANDLE_VALUE)
    return;
  CloseHandle(mFileH);
  mFileH = INVALID_HANDLE_VALUE;
  if (!DeleteFileA(mTempPath.c_str())) {
    mTempPath.clear();
    SetError(kCannotDelete);
    LogEvent("%s", EVENTLOG_ERROR_TYPE, kCannotDelete);
  }
}
