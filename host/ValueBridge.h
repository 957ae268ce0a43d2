#pragma once
// Values crossing between scripts and automation objects.
//
// Script to VARIANT: undefined EMPTY, null NULL, booleans BOOL, numbers that
// are integers within 32 bits I4 and all others R8, strings BSTR, byte
// arrays (Uint8Array and the other buffer objects) VT_ARRAY | VT_UI1, objects
// made by the host VT_DISPATCH (or VT_UNKNOWN). Anything else (plain script
// objects, functions, arrays) cannot be passed: DISP_E_TYPEMISMATCH.
//
// VARIANT to script: EMPTY undefined, NULL null, the numbers, BOOL, BSTR,
// DISPATCH an object proxy (null for a null reference), UNKNOWN a proxy when
// it answers IDispatch (else an opaque object an Enumerator accepts), ERROR
// undefined for a missing argument and the code otherwise, VT_ARRAY | VT_UI1 a
// Uint8Array, VT_ARRAY | VT_VARIANT an Array. By-reference values are read
// through their reference.

#include "host/NativeCall.h"

// Never throws. Fills outError (DISP_E_TYPEMISMATCH) for a value that cannot
// cross; inArgument names the value in that message.
bool ToVariant(duk_context* inContext, duk_idx_t inIndex, VARIANT& outValue, const std::string& inArgument,
               ScriptError& outError);
void PushVariant(duk_context* inContext, const VARIANT& inValue);
