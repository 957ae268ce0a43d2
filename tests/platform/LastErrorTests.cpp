#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(LastError, IsPerThread)
{
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD theOther = 0;
  std::thread([&] {
    SetLastError(ERROR_DISK_FULL);
    theOther = GetLastError();
  }).join();
  EXPECT_EQ(theOther, ERROR_DISK_FULL);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(LastError, UnmappedErrnoIsAGeneralFailure)
{
  EXPECT_EQ(WinErrorFromErrno(0), ERROR_SUCCESS);
  EXPECT_EQ(WinErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(WinErrorFromErrno(EXDEV), ERROR_GEN_FAILURE);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), E_ACCESSDENIED);
  EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
}
