#pragma once
// `new Enumerator(collection)`: walks a collection through its _NewEnum
// (DISPID_NEWENUM) with atEnd(), item(), moveNext() and moveFirst(). The
// enumerator starts on the first item; item() is undefined past the end.

#include <duktape.h>

// Defines the global constructor Enumerator.
void InstallEnumerator(duk_context* inContext);
