#include "core/ByteSource.h"

#include <algorithm>

const BYTE* ByteSource::Seek(DWORD inOffset)
{
  mCurrent = mStart + std::min(inOffset, mLength);
  return mCurrent;
}

LONG ByteSource::ReadByte()
{
  if (mCurrent >= mStart + mLength)
    return -1;
  return *mCurrent++;
}

void ByteSource::SetData(const void* inData, DWORD inLength)
{
  mStart = static_cast<const BYTE*>(inData);
  mCurrent = mStart;
  mLength = inData ? inLength : 0;
}
