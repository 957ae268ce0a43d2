#pragma once
// Byte readers for the codecs: ByteStream is the reading interface, and
// ByteSource reads a memory block that it does not own (the owner keeps the
// block alive while the source reads). MappedFileSource (MappedFileSource.h)
// reads a whole file the same way.

#include "platform/base/WinTypes.h"

class ByteStream {
public:
  virtual ~ByteStream() = default;
  // Moves to inOffset from the start, or to the end when that lies beyond it;
  // answers the new current pointer.
  virtual const BYTE* Seek(DWORD inOffset) = 0;
  virtual DWORD GetPosition() const = 0;
  // The next byte (0-255), advancing; -1 at the end.
  virtual LONG ReadByte() = 0;
  virtual DWORD GetLength() const = 0;
};

class ByteSource : public ByteStream {
public:
  ByteSource() = default;
  ByteSource(const void* inData, DWORD inLength) { SetData(inData, inLength); }

  const BYTE* Seek(DWORD inOffset) override;
  DWORD GetPosition() const override { return static_cast<DWORD>(mCurrent - mStart); }
  LONG ReadByte() override;
  DWORD GetLength() const override { return mLength; }

  // Reads inLength bytes from inData, from the start.
  virtual void SetData(const void* inData, DWORD inLength);
  virtual const BYTE* GetCurrentPtr() const { return mCurrent; }

private:
  const BYTE* mStart = nullptr;
  const BYTE* mCurrent = nullptr;
  DWORD mLength = 0;
};
