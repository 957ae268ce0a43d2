// Handles over malloc'd blocks, with a per-thread memory error.

#include "tests/quicktime/standin/HandleStore.h"

#include "tests/quicktime/standin/LiveSet.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The master pointer comes first, so a Handle is the block record's address.
struct HandleBlock {
  char* mData = nullptr;  // never null: at least one byte is allocated
  Size mSize = 0;
  int mLocks = 0;
};
static_assert(offsetof(HandleBlock, mData) == 0);

LiveSet<HandleBlock> gHandles;
thread_local OSErr gMemError = kQTNoErr;

HandleBlock* BlockOf(Handle inHandle)
{
  return reinterpret_cast<HandleBlock*>(inHandle);
}

OSErr SetMemError(OSErr inErr)
{
  gMemError = inErr;
  return inErr;
}

}  // namespace

Handle NewHandle(Size inSize)
{
  if (inSize < 0) {
    SetMemError(kQTParamErr);
    return nullptr;
  }
  if (inSize > kMaxHandleSize) {
    SetMemError(kQTMemFullErr);
    return nullptr;
  }
  auto* theBlock = new (std::nothrow) HandleBlock;
  char* theData = theBlock ? static_cast<char*>(std::calloc(static_cast<std::size_t>(inSize) + 1, 1)) : nullptr;
  if (!theData) {
    delete theBlock;
    SetMemError(kQTMemFullErr);
    return nullptr;
  }
  theBlock->mData = theData;
  theBlock->mSize = inSize;
  gHandles.Add(theBlock);
  SetMemError(kQTNoErr);
  return &theBlock->mData;
}

void DisposeHandle(Handle inHandle)
{
  if (SetMemError(CheckHandle(inHandle)) != kQTNoErr)
    return;
  HandleBlock* theBlock = BlockOf(inHandle);
  gHandles.Remove(theBlock);
  std::free(theBlock->mData);
  delete theBlock;
}

namespace {

Size GetHandleSize(Handle inHandle)
{
  if (SetMemError(CheckHandle(inHandle)) != kQTNoErr)
    return 0;
  return BlockOf(inHandle)->mSize;
}

void SetHandleSize(Handle inHandle, Size inSize)
{
  if (SetMemError(CheckHandle(inHandle)) != kQTNoErr)
    return;
  HandleBlock* theBlock = BlockOf(inHandle);
  if (inSize < 0) {
    SetMemError(kQTParamErr);
    return;
  }
  if (inSize == theBlock->mSize)
    return;
  if (theBlock->mLocks > 0) {
    SetMemError(kQTMemLockedErr);
    return;
  }
  char* theData = inSize > kMaxHandleSize
                      ? nullptr
                      : static_cast<char*>(std::realloc(theBlock->mData, static_cast<std::size_t>(inSize) + 1));
  if (!theData) {
    SetMemError(kQTMemFullErr);
    return;
  }
  if (inSize > theBlock->mSize)
    std::memset(theData + theBlock->mSize, 0, static_cast<std::size_t>(inSize - theBlock->mSize));
  theBlock->mData = theData;
  theBlock->mSize = inSize;
}

void HLock(Handle inHandle)
{
  if (SetMemError(CheckHandle(inHandle)) == kQTNoErr)
    ++BlockOf(inHandle)->mLocks;
}

void HUnlock(Handle inHandle)
{
  if (SetMemError(CheckHandle(inHandle)) == kQTNoErr && BlockOf(inHandle)->mLocks > 0)
    --BlockOf(inHandle)->mLocks;
}

OSErr MemError()
{
  return gMemError;
}

}  // namespace

OSErr CheckHandle(Handle inHandle)
{
  if (!inHandle)
    return kQTNilHandleErr;
  return gHandles.Contains(BlockOf(inHandle)) ? kQTNoErr : kQTBadHandleErr;
}

Handle NewHandleWithBytes(std::string_view inBytes)
{
  Handle theHandle = NewHandle(static_cast<Size>(inBytes.size()));
  if (theHandle && !inBytes.empty())
    std::memcpy(*theHandle, inBytes.data(), inBytes.size());
  return theHandle;
}

OSErr SetHandleBytes(Handle inHandle, std::string_view inBytes)
{
  SetHandleSize(inHandle, static_cast<Size>(inBytes.size()));
  if (gMemError == kQTNoErr && !inBytes.empty())
    std::memcpy(*inHandle, inBytes.data(), inBytes.size());
  return gMemError;
}

std::string_view HandleBytes(Handle inHandle)
{
  if (CheckHandle(inHandle) != kQTNoErr)
    return {};
  return {*inHandle, static_cast<std::size_t>(BlockOf(inHandle)->mSize)};
}

void AddHandleServices(QTServices& ioTable)
{
  ioTable.NewHandle = NewHandle;
  ioTable.DisposeHandle = DisposeHandle;
  ioTable.GetHandleSize = GetHandleSize;
  ioTable.SetHandleSize = SetHandleSize;
  ioTable.HLock = HLock;
  ioTable.HUnlock = HUnlock;
  ioTable.MemError = MemError;
}
