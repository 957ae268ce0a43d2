#pragma once
// Native pointers that script objects keep under hidden keys, out of a page's
// reach: read while the object lives, taken off by its finalizer.

#include <duktape.h>

// The pointer the value at inIndex keeps under inKey; null when the value is
// no object or keeps none.
template <class T>
T* HiddenPointer(duk_context* inContext, duk_idx_t inIndex, const char* inKey)
{
  if (!duk_is_object(inContext, inIndex))
    return nullptr;
  duk_get_prop_string(inContext, inIndex, inKey);
  T* thePointer = static_cast<T*>(duk_get_pointer(inContext, -1));
  duk_pop(inContext);
  return thePointer;
}

// Takes the pointer under inKey off the object a finalizer is given
// (argument 0), so that it is freed once only.
template <class T>
T* TakeHiddenPointer(duk_context* inContext, const char* inKey)
{
  T* thePointer = HiddenPointer<T>(inContext, 0, inKey);
  duk_del_prop_string(inContext, 0, inKey);
  return thePointer;
}
