#pragma once
// Script objects over automation objects.
//
// An automation object appears to a page as an ECMAScript Proxy whose traps
// go through GetIDsOfNames and Invoke, so members are found in any letter
// case. The object's member table (IMemberTable) tells what a name is:
//
// - a property without index arguments is read at once: `canvas.Width`;
// - a method, or a property with index arguments, gives a function:
//   `canvas.Erase()`, `fonts.Item(1)`;
// - an assignment is a property put: `canvas.Width = 100`.
//
// A method with [out] arguments is called with its [in] arguments only and
// answers an object that holds each [out] argument under its declared name
// and the [retval] under `result`:
//
//   var theArea = canvas.TextArea("Hello", "");
//   // theArea.outWidth, theArea.outHeight, theArea.outLineH, theArea.result
//
// A failed call throws an Error whose `number` is the member's own HRESULT
// (from the exception info, as a signed 32-bit number), with `description`
// and `source` (the object's error source, usually its versioned ProgID).
// Errors the host finds itself (an unknown member, an argument of the wrong
// type) have the dispatch HRESULT as number and "tlscript" as source.
//
// The reference to the object is released when the script object is
// collected, at the latest when the heap is destroyed.

#include "host/NativeCall.h"

// Makes the shared trap handler. Once per heap, before any proxy is pushed.
void InstallDispatchProxies(duk_context* inContext);

// Pushes a proxy over inObject (null pushes null); it takes its own
// reference. inName names the object in messages (its ProgID); empty takes
// the name of its interface.
void PushDispatchProxy(duk_context* inContext, IDispatch* inObject, const std::string& inName);
// An opaque holder of an object without IDispatch (an enumerator).
void PushUnknownHolder(duk_context* inContext, IUnknown* inObject);

// The object behind a proxy or holder at inIndex, borrowed; null for any other value.
IDispatch* DispatchOf(duk_context* inContext, duk_idx_t inIndex);
IUnknown* UnknownOf(duk_context* inContext, duk_idx_t inIndex);
