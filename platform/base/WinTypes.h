#pragma once
// The base types of the Windows-shaped interfaces our stand-ins offer.
//
// Integer types keep their Windows widths on every build: LONG, DWORD, HRESULT
// and BOOL are 32 bits, so values stored in files and the registry, printed by
// "%ld" formats or handed to scripts as numbers mean the same thing as on the
// 32-bit system the library was designed for. Sizes of pixel data are
// computed in 64 bits (size_t / int64_t) by the code that uses them.
//
// Handles are opaque: kernel handles (HANDLE) and GDI handles are small numbers
// looked up in tables, never addresses, so a forged or stale value is simply
// invalid.

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORD_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WCHAR = char16_t;

using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr DWORD MAX_PATH = 260;
constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Kernel objects: threads, mutexes, files, file mappings, tokens.
using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

#define TL_DECLARE_HANDLE(name) \
  struct name##__;              \
  using name = name##__*

TL_DECLARE_HANDLE(HKEY);
TL_DECLARE_HANDLE(HINSTANCE);
TL_DECLARE_HANDLE(HDC);
TL_DECLARE_HANDLE(HBITMAP);
TL_DECLARE_HANDLE(HPEN);
TL_DECLARE_HANDLE(HBRUSH);
TL_DECLARE_HANDLE(HFONT);
TL_DECLARE_HANDLE(HPALETTE);
TL_DECLARE_HANDLE(HRGN);
TL_DECLARE_HANDLE(HGLRC);
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;

// The 32-bit number a handle stands for, and back: scripts pass device
// contexts and bitmaps as numbers.
template <typename H>
constexpr std::uint32_t HandleToNumber(H inHandle)
{
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(inHandle));
}

template <typename H>
H NumberToHandle(std::uint32_t inNumber)
{
  return reinterpret_cast<H>(static_cast<std::uintptr_t>(inNumber));
}

// A 64-bit size or offset from the two 32-bit halves calls pass it in.
constexpr std::uint64_t JoinHalves(DWORD inLow, DWORD inHigh)
{
  return (static_cast<std::uint64_t>(inHigh) << 32) | inLow;
}

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};

// constexpr, so that identities can be compared while compiling.
constexpr bool operator==(const GUID& inA, const GUID& inB)
{
  if (inA.Data1 != inB.Data1 || inA.Data2 != inB.Data2 || inA.Data3 != inB.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (inA.Data4[i] != inB.Data4[i])
      return false;
  return true;
}

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

constexpr bool SUCCEEDED(HRESULT inResult) { return inResult >= 0; }
constexpr bool FAILED(HRESULT inResult) { return inResult < 0; }
