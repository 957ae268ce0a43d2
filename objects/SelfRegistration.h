#pragma once
// What DllRegisterServer and DllUnregisterServer of the library do.
//
// Registration writes every class of the class table with ThreadingModel
// Neutral and Synchronization Required, then the type library; on systems
// before Windows 2000 it rewrites every class with ThreadingModel Apartment.
// Whatever that gave, it stores the module's path as the preference
// ModulePath, creates the event source "Tessaline" and enters the library id
// in the component category Programmable; when the classes and the type
// library were written it logs "Tessaline Registered Successfully" as an
// information event.
//
// Unregistration removes the category entry, every class's keys and the
// type library, and always succeeds; ModulePath and the event source stay.

#include "platform/base/WinTypes.h"

// The first failure of the classes or the type library, else S_OK.
HRESULT RegisterModule();
HRESULT UnregisterModule();

// Every class with ThreadingModel Apartment (inRegister) or every class's
// keys removed, in table order; stops at the first failure and answers it.
HRESULT RegisterApartmentScripts(bool inRegister);
