#pragma once
// Writing and removing the registry keys of a server, from its class table.
//
// Per class, under HKEY_CLASSES_ROOT (for the class Canvas of Tessaline4):
//   Tessaline4.Canvas.1              = "Canvas Class", CLSID = {class id}
//   Tessaline4.Canvas                = "Canvas Class", CLSID = {class id}, CurVer = Tessaline4.Canvas.1
//   CLSID\{class id}                 = "Canvas Class"  (removed whole, then written)
//     ProgID                         = Tessaline4.Canvas.1
//     VersionIndependentProgID       = Tessaline4.Canvas
//     Programmable                   (empty key)
//     InprocServer32                 = module path; ThreadingModel [, Synchronization = Required]
//     TypeLib                        = {library id}
// The type library:
//   TypeLib\{library id}\<major>.<minor> = help text, 0\win32 = module path, FLAGS = 0, HELPDIR = module folder
//   Interface\{interface id}         = interface name, TypeLib = {library id} with Version = <major>.<minor>
// Categories:
//   Component Categories\{category id}, value 409 = description
//   CLSID\{class id}\Implemented Categories\{category id}
//
// Functions answer S_OK or the HRESULT of the registry's Windows error.

#include "platform/automation/ClassFactory.h"

#include <string>

enum class ThreadingModel {
  kApartment,             // ThreadingModel = Apartment
  kNeutralSynchronized,   // ThreadingModel = Neutral, Synchronization = Required
  kBoth,                  // ThreadingModel = Both
};

// The full path of the shared library that holds inAddress (a function or a
// static of that library), with symbolic links resolved; empty when unknown.
std::string ModulePathOf(const void* inAddress);

HRESULT RegisterServerClass(const ServerClass& inClass, const TypeLibrary& inLibrary, ThreadingModel inModel,
                            const std::string& inModulePath);
// Removes the two ProgID keys and CLSID\{class id}; keys already gone are no failure.
HRESULT UnregisterServerClass(const ServerClass& inClass);

HRESULT RegisterTypeLibrary(const TypeLibrary& inLibrary, const std::string& inModulePath);
HRESULT UnregisterTypeLibrary(const TypeLibrary& inLibrary);

HRESULT RegisterCategory(REFGUID inCategoryId, const std::string& inDescription);
HRESULT RegisterClassInCategory(REFCLSID inClassId, REFGUID inCategoryId);
// Also removes Implemented Categories when it is left empty, and the class key
// when nothing else is left in it.
HRESULT UnregisterClassFromCategory(REFCLSID inClassId, REFGUID inCategoryId);

// Every class of the module with inModel, then its type library; stops at the
// first failure.
HRESULT RegisterServer(const ServerModule& inModule, ThreadingModel inModel, const std::string& inModulePath);
// Every class and the type library; goes on after a failure and answers the first.
HRESULT UnregisterServer(const ServerModule& inModule);
