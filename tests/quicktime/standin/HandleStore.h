#pragma once
// Handles: a block of bytes reached through a master pointer, so that
// `*theHandle` is the block's address. Blocks move only when resized.

#include "platform/quicktime/QTServices.h"

#include <string_view>

// The largest block a handle holds.
constexpr Size kMaxHandleSize = 0x7FFFFFFF;

// The entries of the handle group, and what the other units use.
void AddHandleServices(QTServices& ioTable);

// The table's NewHandle and DisposeHandle.
Handle NewHandle(Size inSize);
void DisposeHandle(Handle inHandle);
// The error of a handle argument: 0 for a live one.
OSErr CheckHandle(Handle inHandle);
// A new handle holding a copy of the bytes; null when out of memory.
Handle NewHandleWithBytes(std::string_view inBytes);
// Replaces a live handle's bytes; 0 or the error.
OSErr SetHandleBytes(Handle inHandle, std::string_view inBytes);
// The bytes of a live handle (empty for any other).
std::string_view HandleBytes(Handle inHandle);
